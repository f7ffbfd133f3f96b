// Strike detection while rendering. libopenmpt starts a tick lazily, on the first frame read
// after the previous tick ran out, so blocks are cut at the predicted tick boundaries: a row
// change seen after a block then began at that block's first frame. The row's pattern cells
// say which notes it plays and at which tick (note delay).
#include "module_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr int lowestNote = 1;
constexpr int highestNote = 120;

// The effect letter of a cell as the module's format writes it ('G', 'S', ...), 0 if none.
char effectLetter(openmpt_module* module, int pattern, int row, int channel, int command) {
    if (openmpt_module_get_pattern_row_channel_command(module, pattern, row, channel, command) == 0)
        return 0;
    const char* text =
        openmpt_module_format_pattern_row_channel_command(module, pattern, row, channel, command);
    if (text == nullptr)
        return 0;
    const char letter = text[0];
    openmpt_free_string(text);
    return letter == '.' || letter == ' ' ? 0 : letter;
}

// Frames per tick at `tempo` in the classic tempo mode: 2.5 / tempo seconds.
int64_t framesPerTick(int rate, int tempo) {
    if (tempo <= 0)
        tempo = 125;
    return std::max<int64_t>(1, std::llround(rate * 2.5 / tempo));
}

// A row begins at frame `start`: read its cells, schedule its note-ons, note its length.
void beginRow(ModuleScan& scan, int64_t start, std::vector<Strike>& strikes) {
    openmpt_module* module = scan.module;
    scan.ticksOnRow = 0;
    ++scan.rowsBegun;
    scan.nextTick = start + scan.tickFrames;

    const int channels = static_cast<int>(scan.lastInstrument.size());
    int patternDelay = 0; // SEx: the row plays 1 + x times, its notes only the first time
    int fineDelay = 0;    // S6x: x extra ticks
    bool mayReplayItself = false;
    bool changesTempo = false;
    for (int channel = 0; channel < channels; ++channel) {
        const int note = openmpt_module_get_pattern_row_channel_command(
            module, scan.pattern, scan.row, channel, OPENMPT_MODULE_COMMAND_NOTE);
        const int instrumentColumn = openmpt_module_get_pattern_row_channel_command(
            module, scan.pattern, scan.row, channel, OPENMPT_MODULE_COMMAND_INSTRUMENT);
        const char effect =
            effectLetter(module, scan.pattern, scan.row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
        const char volumeEffect = effectLetter(module, scan.pattern, scan.row, channel,
                                               OPENMPT_MODULE_COMMAND_VOLUMEEFFECT);
        int parameter = openmpt_module_get_pattern_row_channel_command(
            module, scan.pattern, scan.row, channel, OPENMPT_MODULE_COMMAND_PARAMETER);

        int delayTick = 0;
        if (effect == 'S') {
            // S00 repeats the channel's previous S command.
            if (parameter == 0)
                parameter = scan.lastSParam[channel];
            else
                scan.lastSParam[channel] = parameter;
            const int kind = parameter >> 4;
            const int value = parameter & 0x0F;
            if (kind == 0xD)
                delayTick = value == 0 ? 1 : value; // SD0 delays as SD1 does
            else if (kind == 0xE)
                patternDelay = std::max(patternDelay, value);
            else if (kind == 0x6)
                fineDelay += value;
            else if (kind == 0xB && value > 0)
                mayReplayItself = true;
        } else if (effect == 'B' || effect == 'C') {
            mayReplayItself = true;
        } else if (effect == 'T') {
            changesTempo = true;
        }

        if (instrumentColumn != 0)
            scan.lastInstrument[channel] = instrumentColumn;
        const int instrument = scan.lastInstrument[channel];
        // Tone portamento slides the playing note to the new pitch instead of striking it.
        const bool portamento = effect == 'G' || effect == 'L' || volumeEffect == 'g';
        const bool noteOn = note >= lowestNote && note <= highestNote;
        if (!noteOn || portamento || instrument == 0 || delayTick >= scan.speed)
            continue;
        Strike strike;
        strike.instrument = instrument;
        strike.samplePosition = start + delayTick * scan.tickFrames;
        strike.order = scan.order;
        strike.pattern = scan.pattern;
        strike.row = scan.row;
        strike.tick = delayTick;
        strike.channel = channel;
        strike.note = note;
        strikes.push_back(strike);
    }
    // A row that loops or jumps onto itself shows no row change when it plays again; it is
    // counted out in ticks instead. Tempo slides would make that count unreliable.
    scan.replayTicks =
        mayReplayItself && !changesTempo ? (scan.speed + fineDelay) * (1 + patternDelay) : 0;
}
} // namespace

void beginModuleScan(ModuleScan& scan, openmpt_module* module, int rate, bool playedOnce) {
    scan = ModuleScan{};
    scan.module = module;
    scan.rate = rate;
    const double seconds = openmpt_module_get_duration_seconds(module);
    if (playedOnce && std::isfinite(seconds) && seconds > 0.0)
        scan.endFrame = std::llround(seconds * rate);
    const int channels = std::max(0, openmpt_module_get_num_channels(module));
    scan.lastInstrument.assign(static_cast<size_t>(channels), 0);
    scan.lastSParam.assign(static_cast<size_t>(channels), 0);
}

int renderScannedBlock(ModuleScan& scan, int16_t* out, int maxFrames,
                       std::vector<Strike>& strikes) {
    const int64_t start = scan.framesRendered;
    const bool tickBegins = scan.order < 0 || start >= scan.nextTick;
    int64_t length = std::min(maxFrames, scanBlockFrames);
    if (!tickBegins)
        length = std::min(length, scan.nextTick - start);
    if (length <= 0)
        return 0;
    const size_t frames = openmpt_module_read_interleaved_stereo(scan.module, scan.rate,
                                                                 static_cast<size_t>(length), out);
    if (frames == 0)
        return 0;
    scan.framesRendered += static_cast<int64_t>(frames);

    scan.tempo = openmpt_module_get_current_tempo(scan.module);
    scan.speed = openmpt_module_get_current_speed(scan.module);
    scan.tickFrames = framesPerTick(scan.rate, scan.tempo);
    // The last row begins at least a tick (over 256 frames) before the end.
    if (scan.endFrame >= 0 && start + scanBlockFrames > scan.endFrame)
        return static_cast<int>(frames);
    const int order = openmpt_module_get_current_order(scan.module);
    const int row = openmpt_module_get_current_row(scan.module);
    if (order != scan.order || row != scan.row) {
        scan.order = order;
        scan.row = row;
        scan.pattern = openmpt_module_get_current_pattern(scan.module);
        beginRow(scan, start, strikes);
    } else if (tickBegins) {
        ++scan.ticksOnRow;
        scan.nextTick = start + scan.tickFrames;
        if (scan.replayTicks > 0 && scan.ticksOnRow >= scan.replayTicks)
            beginRow(scan, start, strikes);
    }
    return static_cast<int>(frames);
}
