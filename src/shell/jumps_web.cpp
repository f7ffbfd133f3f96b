// The page's side of jumps: its scrub bar and its ?at= parameter move the show through these,
// and read where the pictures and the music are.
#include "shell.h"

#include "music.h"

#include <emscripten.h>

extern "C" {

// Jumps the show to `seconds` of music from its start (kept within the show).
EMSCRIPTEN_KEEPALIVE void webSeekSeconds(double seconds) {
    seekShow(seconds * unitsPerSecond);
}

// Where the pictures are: the demo time in seconds of music.
EMSCRIPTEN_KEEPALIVE double webShowSeconds() {
    return demoTime / unitsPerSecond;
}

// Where the music is heard: seconds into the song, -1 while none plays.
EMSCRIPTEN_KEEPALIVE double webMusicSeconds() {
    return musicHeardSeconds();
}

// 1 when the show starts again at its end.
EMSCRIPTEN_KEEPALIVE int webShowLoops() {
    return loopShow ? 1 : 0;
}
}
