// The arrangement of the soundtrack: a house piece in A minor at 125 BPM (tempo 125, speed 6,
// four rows a beat, sixteen a bar). Its blocks follow the show's sections, which begin at
// row 32 of a pattern (t = 1.5, 3.5, ...): intro, build, drop, grooves, a percussion break,
// a second drop, a climax, a breakdown, a last build and drop, the outro and a final chord.
#include "composer.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

constexpr int rowsPerPattern = 64;
constexpr int patternCount = 27; // the 26 of the show and the ending
constexpr int totalRows = patternCount * rowsPerPattern;

// Channels and instruments. The show flashes on instruments 2 to 16 except 11 and 12.
enum Channel {
    chKick,
    chClap,
    chHat,
    chPerc,
    chBass,
    chSub,
    chPad,              // three channels
    chStab = chPad + 3, // three channels
    chArp = chStab + 3,
    chLead,
    chCrash,
    chSweep,
    chBell,
    channelCount
};

enum Instrument {
    instSub = 1,
    instClap,
    instKick,
    instBass,
    instPad,
    instHat,
    instArp, // 7 to 10: root, third, fifth and octave of the chord
    instLead = 11,
    instBell,
    instConga,
    instStab,
    instCrash,
    instSweep
};

const int channelPan[channelCount] = {32, 32, 40, 22, 32, 32, 14, 32, 50,
                                      20, 32, 44, 42, 32, 36, 32, 24};

// "A-4" or "C#5" as a note of the note column (C-0 = 1, C-5 = 61 = middle C).
int note(const char* name) {
    static const int semitone[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    const int base = semitone[name[0] - 'A'] + (name[1] == '#' ? 1 : 0);
    return 1 + 12 * (name[2] - '0') + base;
}

struct Chord {
    const char* bass;   // root of the bass stab
    const char* pad[3]; // pad voicing
    const char* arp[4]; // root, third, fifth, octave of the arpeggio
};

enum ChordName { Am, F, C, G, Em, Dm };

const Chord chords[] = {
    {"A-2", {"A-3", "C-4", "E-4"}, {"A-4", "C-5", "E-5", "A-5"}},
    {"F-2", {"A-3", "C-4", "F-4"}, {"F-4", "A-4", "C-5", "F-5"}},
    {"C-3", {"G-3", "C-4", "E-4"}, {"C-5", "E-5", "G-5", "C-6"}},
    {"G-2", {"G-3", "B-3", "D-4"}, {"G-4", "B-4", "D-5", "G-5"}},
    {"E-2", {"G-3", "B-3", "E-4"}, {"E-4", "G-4", "B-4", "E-5"}},
    {"D-3", {"A-3", "D-4", "F-4"}, {"D-4", "F-4", "A-4", "D-5"}},
};

// A melody note: start row from the block start, name, length in rows.
struct MelodyNote {
    int row;
    const char* name;
    int length;
};

// Over Am, F, C, G: a 6-4-2-4 figure that climbs and answers itself.
const MelodyNote melodyA[] = {
    {0, "A-5", 6},    {6, "C-6", 4},  {10, "B-5", 2},  {12, "A-5", 4},  {16, "E-5", 6},
    {22, "G-5", 4},   {26, "A-5", 6}, {32, "A-5", 6},  {38, "C-6", 4},  {42, "D-6", 2},
    {44, "C-6", 4},   {48, "A-5", 8}, {56, "F-5", 4},  {60, "G-5", 4},  {64, "G-5", 6},
    {70, "E-5", 4},   {74, "G-5", 2}, {76, "C-6", 4},  {80, "B-5", 6},  {86, "A-5", 4},
    {90, "G-5", 6},   {96, "D-6", 6}, {102, "B-5", 4}, {106, "G-5", 2}, {108, "A-5", 4},
    {112, "B-5", 12},
};

// Over F, G, Em, Am: rising broken chords that fall back to the tonic.
const MelodyNote melodyB[] = {
    {0, "C-5", 4},   {4, "A-4", 4},   {8, "C-5", 4},   {12, "F-5", 4},  {16, "E-5", 8},
    {24, "C-5", 8},  {32, "D-5", 4},  {36, "B-4", 4},  {40, "D-5", 4},  {44, "G-5", 4},
    {48, "D-5", 8},  {56, "B-4", 8},  {64, "B-4", 4},  {68, "G-4", 4},  {72, "B-4", 4},
    {76, "E-5", 4},  {80, "D-5", 6},  {86, "B-4", 4},  {90, "G-4", 6},  {96, "A-4", 4},
    {100, "C-5", 4}, {104, "E-5", 4}, {108, "D-5", 4}, {112, "C-5", 4}, {116, "B-4", 4},
    {120, "A-4", 8},
};

enum Lead { noLead, leadA, leadB, leadAHigh };
enum Hats { noHats, offbeatHats, fullHats };

// One block of the arrangement: its rows, its chords (32 rows each, cycled) and which parts
// play, with their levels (0 = silent).
struct Block {
    int start, end;
    std::array<ChordName, 4> progression;
    int chordCount;
    int kick, clap;
    Hats hats;
    int perc, bass, sub, pad, arp, stab, bell;
    Lead lead;
    int roll; // rows of snare roll at the end (the kick rests in its last 16)
};

// Levels are volume-column values (0..64).
const Block blocks[] = {
    // intro: pad and bell, then the beat comes in
    {0, 32, {Am}, 1, 0, 0, noHats, 0, 0, 36, 40, 0, 0, 40, noLead, 0},
    {32, 64, {F}, 1, 44, 40, noHats, 0, 0, 36, 40, 0, 0, 40, noLead, 0},
    {64, 96, {G}, 1, 52, 48, offbeatHats, 0, 40, 40, 40, 0, 0, 36, noLead, 0},
    // build to the drop
    {96, 224, {Am, F, C, G}, 4, 60, 52, offbeatHats, 0, 46, 36, 38, 28, 0, 0, noLead, 32},
    // the drop and its second half
    {224, 352, {Am, F, C, G}, 4, 64, 56, fullHats, 36, 52, 32, 34, 36, 40, 0, leadA, 0},
    {352, 480, {Am, F, C, G}, 4, 64, 56, fullHats, 36, 52, 32, 34, 36, 40, 0, leadA, 0},
    // groove on the second progression
    {480, 608, {F, G, Em, Am}, 4, 64, 56, fullHats, 36, 52, 32, 34, 36, 40, 0, leadB, 0},
    // percussion break: the congas grow through it
    {608, 736, {Am, F, C, G}, 4, 64, 56, fullHats, 60, 52, 32, 34, 32, 36, 0, noLead, 0},
    {736, 864, {F, G, Em, Am}, 4, 64, 56, fullHats, 36, 52, 32, 34, 36, 40, 0, leadB, 16},
    // second drop, lead an octave up
    {864, 992, {Am, F, C, G}, 4, 64, 56, fullHats, 36, 52, 32, 34, 36, 40, 0, leadAHigh, 0},
    // greetings: bells answer the groove
    {992, 1120, {Dm, F, C, G}, 4, 64, 56, fullHats, 36, 52, 32, 36, 34, 38, 40, noLead, 0},
    // second build
    {1120, 1248, {Am, F, C, G}, 4, 62, 54, offbeatHats, 36, 48, 32, 38, 32, 32, 0, noLead, 32},
    // climax
    {1248, 1344, {Am, F, C}, 3, 64, 58, fullHats, 40, 54, 32, 34, 38, 42, 0, leadAHigh, 0},
    // breakdown
    {1344, 1408, {F, G}, 2, 0, 0, noHats, 0, 0, 38, 44, 0, 0, 44, noLead, 0},
    // last build
    {1408, 1440, {Am}, 1, 0, 0, noHats, 0, 0, 44, 42, 30, 30, 36, noLead, 0},
    {1440, 1504, {F, G}, 2, 60, 52, offbeatHats, 30, 44, 36, 40, 34, 32, 0, noLead, 32},
    // last drop
    {1504, 1568, {Am, F}, 2, 64, 58, fullHats, 40, 54, 32, 34, 38, 42, 0, leadA, 0},
    // outro: the beat thins out under the closing pictures
    {1568, 1648, {Am, F, G}, 3, 54, 46, offbeatHats, 30, 44, 36, 40, 32, 34, 36, noLead, 0},
    {1648, 1664, {G}, 1, 0, 0, offbeatHats, 0, 0, 40, 40, 0, 30, 36, noLead, 0},
    // the final chord
    {1664, 1728, {Am}, 1, 0, 0, noHats, 0, 0, 48, 44, 0, 44, 40, noLead, 0},
};

// Section starts (rows): a crash on each.
const int sectionStarts[] = {96,   224,  352,  480,  608,  736,  864, 992,
                             1120, 1248, 1344, 1408, 1504, 1568, 1664};
// Drops: the sweep rises over the sixteen rows before each.
const int drops[] = {224, 864, 1248, 1504};

std::vector<std::vector<ItCell>> grid;

void put(int row, int channel, int n, int instrument, int volume) {
    grid[row][channel] = {static_cast<uint8_t>(n), static_cast<uint8_t>(instrument), volume};
}

void noteOff(int row, int channel) {
    if (row < totalRows && grid[row][channel].note == 0) {
        grid[row][channel].note = itNoteOff;
    }
}

const Chord& chordAt(const Block& b, int row) {
    return chords[b.progression[((row - b.start) / 32) % b.chordCount]];
}

void drums(const Block& b) {
    const int rollStart = b.end - b.roll;
    for (int r = b.start; r < b.end; ++r) {
        const int beat = r % 16;
        const bool inRoll = b.roll > 0 && r >= rollStart;
        if (b.kick && r % 4 == 0 && !(inRoll && r >= b.end - 16)) {
            put(r, chKick, note("C-5"), instKick, b.kick);
        }
        if (b.clap) {
            if (inRoll) {
                // Every other row, then every row, louder towards the drop.
                const int step = r >= b.end - b.roll / 2 ? 1 : 2;
                if ((r - rollStart) % step == 0) {
                    const int v = 20 + 40 * (r - rollStart) / b.roll;
                    put(r, chClap, note("C-5") + (r - rollStart) / 8, instClap, v);
                }
            } else if (beat == 4 || beat == 12) {
                put(r, chClap, note("C-5"), instClap, b.clap);
            } else if (b.end - b.start >= 128 && r >= b.end - 3) {
                // A short clap fill leads into the next block.
                put(r, chClap, note("C-5") + 2, instClap, b.clap - 24 + 8 * (r - b.end + 3));
            }
        }
        if (b.hats == offbeatHats && r % 4 == 2) {
            put(r, chHat, note("C-5"), instHat, 44);
        }
        if (b.hats == fullHats) {
            const int level[4] = {22, 14, 48, 14};
            put(r, chHat, r % 4 == 2 ? note("A-4") : note("C-5"), instHat, level[r % 4]);
        }
        if (b.perc) {
            // A conga figure on the off-sixteenths; the break doubles it and swells.
            static const struct {
                int row;
                const char* name;
            } figure[] = {{3, "E-5"}, {7, "C-5"}, {10, "A-4"}, {14, "E-5"}};
            static const int extra[] = {1, 6, 9, 11, 15};
            const bool isBreak = b.perc >= 60;
            const int v = isBreak ? 26 + 36 * (r - b.start) / (b.end - b.start) : b.perc;
            for (const auto& f : figure) {
                if (beat == f.row) {
                    put(r, chPerc, note(f.name), instConga, v);
                }
            }
            if (isBreak) {
                for (int e : extra) {
                    if (beat == e && ((r - b.start) >= 32 || e != 1)) {
                        put(r, chPerc, note(e % 2 ? "G-5" : "D-5"), instConga, v - 8);
                    }
                }
            }
        }
    }
}

void bassAndPad(const Block& b) {
    for (int r = b.start; r < b.end; ++r) {
        const Chord& c = chordAt(b, r);
        const bool chordStart = (r - b.start) % 32 == 0;
        if (b.bass && r % 4 == 2) {
            // Offbeat stabs; the last of each bar jumps an octave.
            put(r, chBass, note(c.bass) + (r % 16 == 14 ? 12 : 0), instBass, b.bass);
        }
        if (chordStart && b.sub) {
            put(r, chSub, note(c.bass) - 12, instSub, b.sub);
        }
        if (chordStart && b.pad) {
            for (int v = 0; v < 3; ++v) {
                put(r, chPad + v, note(c.pad[v]), instPad, b.pad);
            }
        }
        if (b.arp && r % 2 == 0) {
            // Eight steps a bar over the four chord tones; each tone has its own voice.
            static const int tone[8] = {0, 1, 2, 3, 2, 1, 3, 2};
            const int t = tone[(r % 16) / 2];
            const int v = b.arp + (r % 4 == 0 ? 6 : 0);
            put(r, chArp, note(c.arp[t]), instArp + t, v);
        }
        if (b.stab) {
            // Full grooves answer the clap with a three-hit figure; quieter blocks stab once.
            const bool full = b.stab >= 38 || b.lead != noLead;
            const int pos = r % 16;
            if (pos == 6 || (full && (pos == 12 || (pos == 0 && r % 32 < 16)))) {
                for (int v = 0; v < 3; ++v) {
                    put(r, chStab + v, note(c.pad[v]) + 12, instStab, b.stab);
                }
            }
        }
        if (b.bell) {
            // A slow counter-melody over the chord tones, an octave above the arpeggio.
            static const struct {
                int row, tone;
            } line[] = {{0, 3}, {6, 2}, {12, 1}, {20, 2}, {26, 0}};
            for (const auto& l : line) {
                if ((r - b.start) % 32 == l.row) {
                    put(r, chBell, note(c.arp[l.tone]) + 12, instBell, b.bell);
                }
            }
        }
    }
}

void lead(const Block& b) {
    if (b.lead == noLead) {
        return;
    }
    const MelodyNote* melody = b.lead == leadB ? melodyB : melodyA;
    const size_t count = b.lead == leadB ? std::size(melodyB) : std::size(melodyA);
    const int shift = b.lead == leadAHigh ? 12 : 0;
    for (size_t i = 0; i < count; ++i) {
        const int r = b.start + melody[i].row;
        if (r >= b.end) {
            break;
        }
        put(r, chLead, note(melody[i].name) + shift, instLead, 44);
        const int end = r + melody[i].length;
        // Long notes sing: a gentle vibrato from their third row.
        for (int v = r + 2; v < std::min(end, b.end) && melody[i].length >= 6; ++v) {
            grid[v][chLead].command = 'H';
            grid[v][chLead].param = v == r + 2 ? 0x42 : 0x00;
        }
        const bool joined = i + 1 < count && b.start + melody[i + 1].row == end && end < b.end;
        if (!joined) {
            noteOff(std::min(end, b.end), chLead);
        }
    }
}

} // namespace

ItModule composeSoundtrack() {
    grid.assign(totalRows, std::vector<ItCell>(channelCount));
    for (const Block& b : blocks) {
        drums(b);
        bassAndPad(b);
        lead(b);
    }
    for (int s : sectionStarts) {
        put(s, chCrash, note("C-5"), instCrash, s == 1664 || s == 1344 ? 52 : 60);
    }
    for (int d : drops) {
        put(d - 16, chSweep, note("C-5"), instSweep, 56);
    }
    // The final chord: a last kick under the crash, then everything is let go.
    put(1664, chKick, note("C-5"), instKick, 64);
    for (int ch : {int(chPad), chPad + 1, chPad + 2, int(chSub)}) {
        noteOff(1700, ch);
    }

    ItModule m;
    m.title = "Quiet Harbour Parade";
    m.channels = channelCount;
    m.channelPan.assign(channelPan, channelPan + channelCount);
    m.tempo = 125;
    m.speed = 6;
    m.globalVolume = 128;
    m.mixVolume = 96;
    m.instruments = synthesizeInstruments();
    for (int p = 0; p < patternCount; ++p) {
        ItPattern pattern;
        pattern.rows.assign(grid.begin() + p * rowsPerPattern,
                            grid.begin() + (p + 1) * rowsPerPattern);
        m.patterns.push_back(pattern);
        m.orders.push_back(p);
    }
    return m;
}
