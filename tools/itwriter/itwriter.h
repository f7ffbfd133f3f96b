// Impulse Tracker module writer: turns a flat description of a module (header values, order
// list, one instrument per 16-bit mono sample, patterns of cells) into a valid IT file.
// Used by the soundtrack composer and by tests that need small fixture modules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Special notes of the note column; ordinary notes are 1 (C-0) to 120 (B-9).
constexpr uint8_t itNoteOff = 255;  // "===": releases the note
constexpr uint8_t itNoteCut = 254;  // "^^^": silences it at once
constexpr uint8_t itNoteFade = 246; // "~~~": starts the instrument's fade-out
constexpr uint8_t itNoteC5 = 61;    // middle C, where a sample plays at its C5 speed

// One pattern cell. Example: {itNoteC5, 3, -1, 'S', 0xD3} plays C-5 with instrument 3 delayed
// by three ticks.
struct ItCell {
    uint8_t note = 0;       // 0 none, 1..120, or itNoteOff / itNoteCut / itNoteFade
    uint8_t instrument = 0; // 0 none, else 1..instruments.size()
    int volume = -1;        // volume column: -1 none, 0..64 volume, or any other IT value to 212
    char command = 0;       // effect letter 'A'..'Z', 0 none
    uint8_t param = 0;      // effect parameter (needs a command)
};

// A pattern: rows[r][c] is the cell of row r in channel c. A row may hold fewer cells than the
// module has channels; the missing ones are empty. IT allows 1 to 200 rows.
struct ItPattern {
    std::vector<std::vector<ItCell>> rows = std::vector<std::vector<ItCell>>(64);
};

struct ItLoop {
    bool on = false;
    bool pingPong = false;
    uint32_t start = 0; // first sample frame of the loop
    uint32_t end = 0;   // one past the last frame; start < end <= length
};

// Instrument n (1-based) maps every note to its own sample n, which holds `pcm`.
struct ItInstrument {
    std::string name;           // up to 25 characters
    std::vector<int16_t> pcm;   // 16-bit signed mono sample frames
    uint32_t c5Speed = 44100;   // playback rate at C-5, 1..9999999 Hz
    int defaultVolume = 64;     // 0..64, used when a note comes without a volume
    int sampleVolume = 64;      // sample global volume 0..64
    int instrumentVolume = 128; // instrument global volume 0..128
    ItLoop loop;                // normal loop
    ItLoop sustainLoop;         // loop held until note-off
    int fadeOut = 0;            // 0..256; after note-off or note-fade the volume falls by this step
    int newNoteAction = 0;      // 0 cut, 1 continue, 2 note-off, 3 note-fade
};

struct ItModule {
    std::string title;              // up to 25 characters
    int channels = 4;               // 1..64
    std::vector<int> channelPan;    // per channel 0..64 (32 centre) or 100 surround; missing 32
    std::vector<int> channelVolume; // per channel 0..64; missing 64
    int tempo = 125;                // 31..255
    int speed = 6;                  // ticks per row, 1..255
    int globalVolume = 128;         // 0..128
    int mixVolume = 48;             // 0..128
    std::vector<int> orders;        // pattern indices, or 254 to skip; the end marker is added
    std::vector<ItInstrument> instruments; // at most 99
    std::vector<ItPattern> patterns;       // at most 200
};

// Builds the file's bytes. Returns false with `error` saying what is wrong when the module
// breaks a limit above (nothing is written into `bytes` then).
bool buildItModule(const ItModule& module, std::vector<uint8_t>& bytes, std::string& error);

// Builds the module and writes it to `path`. Returns false with `error` filled when the module
// is invalid or the file cannot be written whole (a partly written file is removed).
bool writeItModule(const ItModule& module, const std::string& path, std::string& error);
