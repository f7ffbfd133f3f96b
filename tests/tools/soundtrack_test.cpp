// The default soundtrack, made by the composer into a temporary folder: it loads in libopenmpt
// without warnings, keeps the show's fixed pace, lasts the whole show, stays below -1 dBFS,
// comes out the same on every run, and strikes each watched instrument where the picture
// reacts to it.
#include "../support/temp_folder.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// Runs the composer into a fresh temporary folder and returns the module's bytes.
std::vector<uint8_t> compose() {
    const std::string dir = makeTempFolder("parade-soundtrack");
    if (dir.empty()) {
        ADD_FAILURE() << "mkdtemp failed";
        return {};
    }
    const std::string out = dir + "/mod2.it";
    const std::string cmd = std::string(PARADE_COMPOSE) + " " + out + " > /dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::vector<uint8_t> bytes = readFile(out);
    std::remove(out.c_str());
    rmdir(dir.c_str());
    return bytes;
}

struct Strike {
    int instrument;
    double t; // pattern units: order + row / 64
};

struct Soundtrack {
    std::vector<uint8_t> bytes;
    std::string log;
    std::unique_ptr<openmpt::module> mod;
    std::vector<Strike> strikes;
};

std::ostringstream loadLog;

// Note-ons per instrument from the pattern data, in play order: a note with an instrument,
// or a note alone, which plays the channel's previous instrument.
std::vector<Strike> strikesOf(openmpt::module& mod) {
    std::vector<Strike> out;
    std::vector<int> last(mod.get_num_channels(), 0);
    for (int o = 0; o < mod.get_num_orders(); ++o) {
        const int p = mod.get_order_pattern(o);
        for (int r = 0; r < mod.get_pattern_num_rows(p); ++r) {
            for (int c = 0; c < mod.get_num_channels(); ++c) {
                const int note =
                    mod.get_pattern_row_channel_command(p, r, c, openmpt::module::command_note);
                const int ins = mod.get_pattern_row_channel_command(
                    p, r, c, openmpt::module::command_instrument);
                if (ins != 0) {
                    last[c] = ins;
                }
                if (note >= 1 && note <= 120 && last[c] != 0) {
                    out.push_back({last[c], o + r / 64.0});
                }
            }
        }
    }
    return out;
}

const Soundtrack& soundtrack() {
    static Soundtrack s = [] {
        Soundtrack s;
        s.bytes = compose();
        s.mod = std::make_unique<openmpt::module>(s.bytes, loadLog);
        s.log = loadLog.str();
        s.strikes = strikesOf(*s.mod);
        return s;
    }();
    return s;
}

int strikesIn(int instrument, double from, double to) {
    int n = 0;
    for (const Strike& s : soundtrack().strikes) {
        n += s.instrument == instrument && s.t >= from && s.t < to;
    }
    return n;
}

// The section starts of the show, and its drops (the sweep's targets).
const double sectionStarts[] = {1.5,  3.5,  5.5,  7.5, 9.5, 11.5, 13.5,
                                15.5, 17.5, 19.5, 21,  22,  23.5, 24.5};
const double breakdown[2] = {21.0, 22.0};

// The act of quarter q from t = 3.5 on, as the director schedules it.
int actOfQuarter(int q) {
    return q % 24;
}

TEST(Soundtrack, LoadsCleanlyAtTheShowsPaceAndLength) {
    const Soundtrack& s = soundtrack();
    ASSERT_FALSE(s.bytes.empty());
    EXPECT_EQ(s.log, "") << "libopenmpt logged while loading";
    openmpt::module& mod = *s.mod;
    EXPECT_EQ(mod.get_metadata("type"), "it");
    EXPECT_EQ(mod.get_current_tempo(), 125);
    EXPECT_EQ(mod.get_current_speed(), 6);
    EXPECT_GE(mod.get_num_orders(), 27) << "26 patterns of show and an ending";
    EXPECT_GE(mod.get_duration_seconds(), 199.68);

    // Nothing changes the pace: no speed or tempo command, no jumps, no row or pattern delays.
    for (int o = 0; o < mod.get_num_orders(); ++o) {
        const int p = mod.get_order_pattern(o);
        ASSERT_EQ(mod.get_pattern_num_rows(p), 64) << "order " << o;
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < mod.get_num_channels(); ++c) {
                const std::string fx = mod.format_pattern_row_channel_command(
                    p, r, c, openmpt::module::command_effect);
                const std::string param = mod.format_pattern_row_channel_command(
                    p, r, c, openmpt::module::command_parameter);
                const bool pace = fx == "A" || fx == "T" || fx == "B" || fx == "C" ||
                                  (fx == "S" && (param[0] == 'E' || param[0] == '6'));
                EXPECT_FALSE(pace)
                    << "order " << o << " row " << r << " channel " << c << ": " << fx << param;
            }
        }
    }
    // Played through, the pace holds on every row.
    openmpt::module player(s.bytes, loadLog);
    std::vector<float> buffer(2 * 5292); // one row: 6 ticks of 20 ms
    for (int row = 0; row < 27 * 64; ++row) {
        ASSERT_EQ(player.get_current_speed(), 6) << "row " << row;
        ASSERT_EQ(player.get_current_tempo(), 125) << "row " << row;
        if (player.read_interleaved_stereo(44100, 5292, buffer.data()) == 0) {
            break;
        }
    }
}

TEST(Soundtrack, PeakStaysBelowMinusOneDbfs) {
    openmpt::module player(soundtrack().bytes, loadLog);
    std::vector<float> buffer(2 * 4096);
    double peak = 0.0;
    size_t frames = 0;
    while (const size_t n = player.read_interleaved_stereo(44100, 4096, buffer.data())) {
        for (size_t i = 0; i < 2 * n; ++i) {
            peak = std::max(peak, static_cast<double>(std::abs(buffer[i])));
        }
        frames += n;
    }
    EXPECT_GE(frames, static_cast<size_t>(199.68 * 44100));
    EXPECT_LT(20.0 * std::log10(peak), -1.0);
    EXPECT_GT(20.0 * std::log10(peak), -6.0) << "needlessly quiet";
}

TEST(Soundtrack, SameBytesOnEveryRun) {
    EXPECT_EQ(compose(), soundtrack().bytes);
}

// Each watched instrument plays where its effect is on screen.
TEST(Soundtrack, InstrumentsStrikeWhereThePictureReacts) {
    // Layer brightness of the opening, where instrument 2 counts twice, and the logo's swells
    // on 2, 3 and 4 while it flies in.
    for (int ins : {2, 3, 4}) {
        EXPECT_GE(strikesIn(ins, 0.2, 1.5), 4) << "instrument " << ins << " in the opening";
    }
    // Instrument 4 brightens the build before the drop; the pad swells everywhere.
    EXPECT_GE(strikesIn(4, 1.5, 3.5), 8);
    const double sections[] = {0,    1.5,  3.5,  5.5, 7.5, 9.5,  11.5, 13.5,
                               15.5, 17.5, 19.5, 21,  22,  23.5, 24.5, 26};
    for (size_t i = 0; i + 1 < std::size(sections); ++i) {
        EXPECT_GE(strikesIn(5, sections[i], sections[i + 1]), 1) << "pad from " << sections[i];
        // Clap, kick and hats drive the layers in every section with a beat.
        if (sections[i] >= 1.5 && sections[i] != breakdown[0]) {
            for (int ins : {2, 3, 6}) {
                EXPECT_GE(strikesIn(ins, sections[i], sections[i + 1]), 4)
                    << "instrument " << ins << " from " << sections[i];
            }
        }
    }
    // The percussion section of the wheels' growing flashes.
    EXPECT_GE(strikesIn(13, 9.5, 11.5), 32);

    // Per quarter (16 rows) of the act cycle: letter layers flash on 7 to 10, wheels on 3, 4,
    // 13 and spike on 6, the cube field on 14, the logo swells on 3 and 4. The breakdown is
    // left quiet on purpose.
    const std::set<int> letterActs = {0, 5, 6, 17, 18, 22};
    const std::set<int> wheelActs = {2, 6, 9, 10, 12, 22, 23};
    const std::set<int> fieldActs = {0, 2, 5, 7, 15, 17, 18, 19, 20, 21};
    int letterQuarters = 0, wheelQuarters = 0, fieldQuarters = 0;
    for (int q = 14; q < 104; ++q) {
        const double from = q / 4.0, to = (q + 1) / 4.0;
        if (from >= breakdown[0] && from < breakdown[1]) {
            continue;
        }
        const int act = actOfQuarter(q);
        const auto require = [&](std::initializer_list<int> list, const char* what) {
            for (int ins : list) {
                EXPECT_GE(strikesIn(ins, from, to), 1)
                    << what << " at t = " << from << " (act " << act << "): instrument " << ins;
            }
        };
        if (letterActs.count(act)) {
            require({7, 8, 9, 10}, "letters");
            ++letterQuarters;
        }
        if (wheelActs.count(act)) {
            require({3, 4, 6, 13}, "wheels");
            ++wheelQuarters;
        }
        if (fieldActs.count(act)) {
            require({14}, "cube field");
            ++fieldQuarters;
        }
        if (act == 8) {
            require({3, 4}, "logo");
        }
    }
    EXPECT_EQ(letterQuarters, 24);
    EXPECT_GT(wheelQuarters, 20);
    EXPECT_GT(fieldQuarters, 30);
}

// The crash marks exactly the section starts; the sweep fills the sixteen rows before a drop.
TEST(Soundtrack, CrashOnSectionStartsAndSweepBeforeDrops) {
    std::set<double> crashes, sweeps;
    for (const Strike& s : soundtrack().strikes) {
        if (s.instrument == 15 && s.t < 26.0) {
            crashes.insert(s.t);
        }
        if (s.instrument == 16) {
            sweeps.insert(s.t);
        }
    }
    EXPECT_EQ(crashes, std::set<double>(std::begin(sectionStarts), std::end(sectionStarts)));
    EXPECT_TRUE(sweeps.count(3.25)) << "no sweep before the drop at 3.5";
    for (double t : sweeps) {
        bool beforeSection = false;
        for (double s : sectionStarts) {
            beforeSection = beforeSection || t == s - 0.25;
        }
        EXPECT_TRUE(beforeSection) << "sweep at t = " << t << " leads to no section start";
    }
    EXPECT_GE(sweeps.size(), 3u);
}

} // namespace
