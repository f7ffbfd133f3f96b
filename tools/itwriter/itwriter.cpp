// Impulse Tracker writer: validates an ItModule and lays it out as an IT 2.14 file in
// instrument mode (header, orders, offset tables, instruments, sample headers, packed
// patterns, then the uncompressed 16-bit sample data).
#include "itwriter.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr size_t instrumentSize = 554;
constexpr size_t sampleHeaderSize = 80;
constexpr int maxInstruments = 99;
constexpr int maxPatterns = 200;
constexpr int maxOrders = 255; // plus the end marker
constexpr int maxRows = 200;

void put8(std::vector<uint8_t>& b, int v) {
    b.push_back(static_cast<uint8_t>(v));
}

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void set32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// A fixed-size text field, zero padded; callers have checked the length.
void putText(std::vector<uint8_t>& b, const std::string& s, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        b.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
}

bool validVolumeColumn(int v) {
    return v == -1 || (v >= 0 && v <= 124) || (v >= 128 && v <= 212);
}

bool validNote(int n) {
    return n <= 120 || n == itNoteOff || n == itNoteCut || n == itNoteFade;
}

bool validLoop(const ItLoop& l, size_t length) {
    return !l.on || (l.start < l.end && l.end <= length);
}

bool fail(std::string& error, const std::string& what) {
    error = what;
    return false;
}

bool validate(const ItModule& m, std::string& error) {
    if (m.title.size() > 25) {
        return fail(error, "title longer than 25 characters");
    }
    if (m.channels < 1 || m.channels > 64) {
        return fail(error, "channel count must be 1 to 64");
    }
    if (m.channelPan.size() > static_cast<size_t>(m.channels) ||
        m.channelVolume.size() > static_cast<size_t>(m.channels)) {
        return fail(error, "more channel pans or volumes than channels");
    }
    for (int p : m.channelPan) {
        if ((p < 0 || p > 64) && p != 100) {
            return fail(error, "channel pan must be 0 to 64 or 100");
        }
    }
    for (int v : m.channelVolume) {
        if (v < 0 || v > 64) {
            return fail(error, "channel volume must be 0 to 64");
        }
    }
    if (m.tempo < 31 || m.tempo > 255 || m.speed < 1 || m.speed > 255) {
        return fail(error, "tempo must be 31 to 255 and speed 1 to 255");
    }
    if (m.globalVolume < 0 || m.globalVolume > 128 || m.mixVolume < 0 || m.mixVolume > 128) {
        return fail(error, "global and mix volume must be 0 to 128");
    }
    if (m.orders.size() > static_cast<size_t>(maxOrders)) {
        return fail(error, "more than 255 orders");
    }
    if (m.patterns.size() > static_cast<size_t>(maxPatterns)) {
        return fail(error, "more than 200 patterns");
    }
    for (size_t i = 0; i < m.orders.size(); ++i) {
        const int o = m.orders[i];
        if (o != 254 && (o < 0 || static_cast<size_t>(o) >= m.patterns.size())) {
            return fail(error, "order " + std::to_string(i) + " names a missing pattern");
        }
    }
    if (m.instruments.size() > static_cast<size_t>(maxInstruments)) {
        return fail(error, "more than 99 instruments");
    }
    for (size_t i = 0; i < m.instruments.size(); ++i) {
        const ItInstrument& in = m.instruments[i];
        const std::string which = "instrument " + std::to_string(i + 1) + ": ";
        if (in.name.size() > 25) {
            return fail(error, which + "name longer than 25 characters");
        }
        if (in.pcm.size() > 0xFFFFFFFu) {
            return fail(error, which + "sample too long");
        }
        if (in.c5Speed < 1 || in.c5Speed > 9999999) {
            return fail(error, which + "C5 speed must be 1 to 9999999");
        }
        if (in.defaultVolume < 0 || in.defaultVolume > 64 || in.sampleVolume < 0 ||
            in.sampleVolume > 64 || in.instrumentVolume < 0 || in.instrumentVolume > 128) {
            return fail(error, which + "volume out of range");
        }
        if (!validLoop(in.loop, in.pcm.size()) || !validLoop(in.sustainLoop, in.pcm.size())) {
            return fail(error, which + "loop outside the sample");
        }
        if (in.fadeOut < 0 || in.fadeOut > 256) {
            return fail(error, which + "fade-out must be 0 to 256");
        }
        if (in.newNoteAction < 0 || in.newNoteAction > 3) {
            return fail(error, which + "new note action must be 0 to 3");
        }
    }
    for (size_t p = 0; p < m.patterns.size(); ++p) {
        const ItPattern& pat = m.patterns[p];
        const std::string which = "pattern " + std::to_string(p) + ": ";
        if (pat.rows.empty() || pat.rows.size() > static_cast<size_t>(maxRows)) {
            return fail(error, which + "row count must be 1 to 200");
        }
        for (size_t r = 0; r < pat.rows.size(); ++r) {
            if (pat.rows[r].size() > static_cast<size_t>(m.channels)) {
                return fail(error, which + "row " + std::to_string(r) + " has too many cells");
            }
            for (size_t c = 0; c < pat.rows[r].size(); ++c) {
                const ItCell& cell = pat.rows[r][c];
                const std::string at =
                    which + "row " + std::to_string(r) + " channel " + std::to_string(c) + ": ";
                if (!validNote(cell.note)) {
                    return fail(error, at + "invalid note " + std::to_string(cell.note));
                }
                if (cell.instrument > m.instruments.size()) {
                    return fail(error, at + "instrument " + std::to_string(cell.instrument) +
                                           " does not exist");
                }
                if (!validVolumeColumn(cell.volume)) {
                    return fail(error, at + "invalid volume column value");
                }
                if (cell.command != 0 && (cell.command < 'A' || cell.command > 'Z')) {
                    return fail(error, at + "effect command must be a letter A to Z");
                }
                if (cell.command == 0 && cell.param != 0) {
                    return fail(error, at + "effect parameter without a command");
                }
            }
        }
    }
    return true;
}

// The IT pattern packing: per cell a channel byte with bit 7 set, a mask of the fields that
// follow (1 note, 2 instrument, 4 volume, 8 effect), the fields; a zero byte ends each row.
std::vector<uint8_t> packPattern(const ItPattern& pat) {
    std::vector<uint8_t> data;
    for (const auto& row : pat.rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            const ItCell& cell = row[c];
            int mask = 0;
            if (cell.note != 0) {
                mask |= 1;
            }
            if (cell.instrument != 0) {
                mask |= 2;
            }
            if (cell.volume >= 0) {
                mask |= 4;
            }
            if (cell.command != 0) {
                mask |= 8;
            }
            if (mask == 0) {
                continue;
            }
            put8(data, static_cast<int>(c + 1) | 0x80);
            put8(data, mask);
            if (mask & 1) {
                // IT stores C-0 as 0; the special notes keep their values.
                put8(data, cell.note <= 120 ? cell.note - 1 : cell.note);
            }
            if (mask & 2) {
                put8(data, cell.instrument);
            }
            if (mask & 4) {
                put8(data, cell.volume);
            }
            if (mask & 8) {
                put8(data, cell.command - 'A' + 1);
                put8(data, cell.param);
            }
        }
        put8(data, 0);
    }
    return data;
}

void putEnvelope(std::vector<uint8_t>& b, int level) {
    // Disabled envelope with two flat nodes, as a fresh instrument has.
    put8(b, 0); // flags
    put8(b, 2); // node count
    put8(b, 0); // loop start, loop end, sustain start, sustain end
    put8(b, 0);
    put8(b, 0);
    put8(b, 0);
    for (int node = 0; node < 25; ++node) {
        put8(b, node < 2 ? level : 0);
        put16(b, node == 1 ? 100 : 0);
    }
    put8(b, 0);
}

void putInstrument(std::vector<uint8_t>& b, const ItInstrument& in, int number) {
    const size_t start = b.size();
    b.insert(b.end(), {'I', 'M', 'P', 'I'});
    putText(b, "", 12);
    put8(b, 0);
    put8(b, in.newNoteAction);
    put8(b, 0); // duplicate check type: off
    put8(b, 0); // duplicate check action
    put16(b, static_cast<uint32_t>(in.fadeOut));
    put8(b, 0);  // pitch-pan separation
    put8(b, 60); // pitch-pan centre C-5
    put8(b, in.instrumentVolume);
    put8(b, 32 | 128); // default pan, not used
    put8(b, 0);        // random volume variation
    put8(b, 0);        // random pan variation
    put16(b, 0x0214);  // tracker version
    put8(b, 1);        // sample count
    put8(b, 0);
    putText(b, in.name, 26);
    put8(b, 0);    // filter cutoff: off
    put8(b, 0);    // filter resonance: off
    put8(b, 0);    // MIDI channel: none
    put8(b, 0xFF); // MIDI program: none
    put16(b, 0xFFFF);
    for (int note = 0; note < 120; ++note) {
        put8(b, note);
        put8(b, number);
    }
    putEnvelope(b, 64); // volume
    putEnvelope(b, 0);  // panning
    putEnvelope(b, 0);  // pitch
    b.resize(start + instrumentSize, 0);
}

void putSampleHeader(std::vector<uint8_t>& b, const ItInstrument& in, uint32_t dataOffset) {
    b.insert(b.end(), {'I', 'M', 'P', 'S'});
    putText(b, "", 12);
    put8(b, 0);
    put8(b, in.sampleVolume);
    int flags = 2; // 16-bit
    if (!in.pcm.empty()) {
        flags |= 1;
    }
    if (in.loop.on) {
        flags |= 16 | (in.loop.pingPong ? 64 : 0);
    }
    if (in.sustainLoop.on) {
        flags |= 32 | (in.sustainLoop.pingPong ? 128 : 0);
    }
    put8(b, flags);
    put8(b, in.defaultVolume);
    putText(b, in.name, 26);
    put8(b, 1);  // signed samples
    put8(b, 32); // default pan, not used
    put32(b, static_cast<uint32_t>(in.pcm.size()));
    put32(b, in.loop.on ? in.loop.start : 0);
    put32(b, in.loop.on ? in.loop.end : 0);
    put32(b, in.c5Speed);
    put32(b, in.sustainLoop.on ? in.sustainLoop.start : 0);
    put32(b, in.sustainLoop.on ? in.sustainLoop.end : 0);
    put32(b, dataOffset);
    put32(b, 0); // vibrato speed, depth, rate, type
}

} // namespace

bool buildItModule(const ItModule& m, std::vector<uint8_t>& bytes, std::string& error) {
    if (!validate(m, error)) {
        return false;
    }
    std::vector<std::vector<uint8_t>> packed;
    for (size_t p = 0; p < m.patterns.size(); ++p) {
        packed.push_back(packPattern(m.patterns[p]));
        if (packed.back().size() > 0xFFFF) {
            return fail(error, "pattern " + std::to_string(p) + " packs to more than 65535 bytes");
        }
    }

    const uint32_t orderCount = static_cast<uint32_t>(m.orders.size() + 1);
    const uint32_t instrumentCount = static_cast<uint32_t>(m.instruments.size());
    const uint32_t patternCount = static_cast<uint32_t>(m.patterns.size());

    std::vector<uint8_t> b;
    b.insert(b.end(), {'I', 'M', 'P', 'M'});
    putText(b, m.title, 26);
    put8(b, 4);  // row highlight: beat
    put8(b, 16); // row highlight: bar
    put16(b, orderCount);
    put16(b, instrumentCount);
    put16(b, instrumentCount); // one sample per instrument
    put16(b, patternCount);
    put16(b, 0x0214);    // made with
    put16(b, 0x0214);    // compatible with
    put16(b, 1 | 4 | 8); // stereo, instrument mode, linear slides
    put16(b, 0);         // no message, no MIDI configuration
    put8(b, m.globalVolume);
    put8(b, m.mixVolume);
    put8(b, m.speed);
    put8(b, m.tempo);
    put8(b, 128); // pan separation
    put8(b, 0);   // pitch wheel depth
    put16(b, 0);  // message length
    put32(b, 0);  // message offset
    put32(b, 0);
    for (int c = 0; c < 64; ++c) {
        if (c >= m.channels) {
            put8(b, 32 | 128); // disabled channel
        } else {
            put8(b, static_cast<size_t>(c) < m.channelPan.size() ? m.channelPan[c] : 32);
        }
    }
    for (int c = 0; c < 64; ++c) {
        put8(b, static_cast<size_t>(c) < m.channelVolume.size() ? m.channelVolume[c] : 64);
    }
    for (int o : m.orders) {
        put8(b, o);
    }
    put8(b, 255);

    // Offset tables, filled in as the parts are laid out.
    const size_t instrumentTable = b.size();
    const size_t sampleTable = instrumentTable + 4 * instrumentCount;
    const size_t patternTable = sampleTable + 4 * instrumentCount;
    b.resize(patternTable + 4 * patternCount, 0);

    for (uint32_t i = 0; i < instrumentCount; ++i) {
        set32(b, instrumentTable + 4 * i, static_cast<uint32_t>(b.size()));
        putInstrument(b, m.instruments[i], static_cast<int>(i + 1));
    }
    const size_t sampleHeaders = b.size();
    b.resize(sampleHeaders + sampleHeaderSize * instrumentCount, 0);
    for (uint32_t p = 0; p < patternCount; ++p) {
        set32(b, patternTable + 4 * p, static_cast<uint32_t>(b.size()));
        put16(b, static_cast<uint32_t>(packed[p].size()));
        put16(b, static_cast<uint32_t>(m.patterns[p].rows.size()));
        put32(b, 0);
        b.insert(b.end(), packed[p].begin(), packed[p].end());
    }
    for (uint32_t i = 0; i < instrumentCount; ++i) {
        const ItInstrument& in = m.instruments[i];
        const uint32_t dataOffset = in.pcm.empty() ? 0 : static_cast<uint32_t>(b.size());
        if (b.size() + 2 * in.pcm.size() > 0xFFFFFFFFu) {
            return fail(error, "module larger than 4 GiB");
        }
        for (int16_t s : in.pcm) {
            put16(b, static_cast<uint16_t>(s));
        }
        std::vector<uint8_t> header;
        putSampleHeader(header, in, dataOffset);
        std::copy(header.begin(), header.end(), b.begin() + sampleHeaders + sampleHeaderSize * i);
        set32(b, sampleTable + 4 * i, static_cast<uint32_t>(sampleHeaders + sampleHeaderSize * i));
    }
    bytes.swap(b);
    return true;
}

bool writeItModule(const ItModule& m, const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!buildItModule(m, bytes, error)) {
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return fail(error, "cannot open " + path + " for writing");
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::remove(path.c_str());
        return fail(error, "cannot write " + path);
    }
    return true;
}
