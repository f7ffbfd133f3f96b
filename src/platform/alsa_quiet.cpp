// Keeping ALSA's own error lines off the console while SDL looks for a sound card.
#include "platform_internal.h"

#include <alsa/asoundlib.h>

namespace {
void dropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
} // namespace

void quietAudioLibrary(bool on) {
    snd_lib_error_set_handler(on ? dropAlsaMessage : nullptr);
}
