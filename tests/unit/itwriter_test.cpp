// The IT writer: modules it writes read back through libopenmpt with exactly the header,
// orders, cells and sample data that went in, with no loader warnings; invalid modules are
// refused with a reason.
#include "itwriter.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace {

ItInstrument toneInstrument(const std::string& name) {
    ItInstrument in;
    in.name = name;
    for (int i = 0; i < 400; ++i) {
        in.pcm.push_back(static_cast<int16_t>((i % 100) < 50 ? 12000 : -4000));
    }
    return in;
}

std::vector<uint8_t> build(const ItModule& m) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(buildItModule(m, bytes, error)) << error;
    return bytes;
}

// Loads the bytes in libopenmpt, collecting everything its loader logs.
std::unique_ptr<openmpt::module> load(const std::vector<uint8_t>& bytes, std::string& log) {
    static std::ostringstream sink;
    sink.str("");
    auto mod = std::make_unique<openmpt::module>(bytes, sink);
    log = sink.str();
    return mod;
}

struct KnownCell {
    int pattern, row, channel;
    ItCell cell;
    int expectNote; // as libopenmpt reports it
    const char* expectEffect;
    const char* expectParam;
};

TEST(ItWriter, KnownCellsReadBackThroughLibopenmpt) {
    ItModule m;
    m.title = "round trip";
    m.channels = 5;
    m.channelPan = {0, 64, 32};
    m.tempo = 125;
    m.speed = 6;
    m.instruments = {toneInstrument("one"), toneInstrument("two"), toneInstrument("three")};
    m.patterns.resize(2);
    m.patterns[1].rows.resize(16);
    m.orders = {1, 0, 254, 1};

    const KnownCell cells[] = {
        {0, 0, 0, {itNoteC5, 1}, 61, "", ""},
        {0, 0, 4, {1, 3, 40, 'S', 0xD3}, 1, "S", "D3"},
        {0, 5, 1, {120, 2, -1, 'S', 0xE2}, 120, "S", "E2"},
        {0, 8, 2, {0, 0, -1, 'S', 0xB0}, 0, "S", "B0"},
        {0, 12, 2, {0, 0, -1, 'S', 0xB1}, 0, "S", "B1"},
        {0, 20, 3, {72, 0, -1, 'G', 0x10}, 72, "G", "10"},
        {0, 24, 0, {itNoteC5, 1, -1, 'Q', 0x13}, 61, "Q", "13"},
        {0, 30, 0, {itNoteCut}, 254, "", ""},
        {0, 31, 1, {itNoteOff}, 255, "", ""},
        {0, 32, 3, {itNoteFade}, 253, "", ""},
        {0, 63, 4, {49, 2, -1, 'T', 0x7D}, 49, "T", "7D"},
        {1, 15, 0, {itNoteC5, 3}, 61, "", ""},
    };
    for (const KnownCell& k : cells) {
        auto& row = m.patterns[k.pattern].rows[k.row];
        row.resize(k.channel + 1);
        row[k.channel] = k.cell;
    }

    std::string log;
    auto mod = load(build(m), log);
    EXPECT_EQ(log, "");
    EXPECT_EQ(mod->get_metadata("title"), "round trip");
    EXPECT_EQ(mod->get_metadata("type"), "it");
    EXPECT_EQ(mod->get_current_tempo(), 125);
    EXPECT_EQ(mod->get_current_speed(), 6);
    EXPECT_EQ(mod->get_num_channels(), 5);
    EXPECT_EQ(mod->get_num_instruments(), 3);
    EXPECT_EQ(mod->get_num_samples(), 3);
    EXPECT_EQ(mod->get_instrument_names(), (std::vector<std::string>{"one", "two", "three"}));
    ASSERT_EQ(mod->get_num_orders(), 4);
    EXPECT_EQ(mod->get_order_pattern(0), 1);
    EXPECT_EQ(mod->get_order_pattern(1), 0);
    EXPECT_EQ(mod->get_order_pattern(3), 1);
    EXPECT_EQ(mod->get_pattern_num_rows(0), 64);
    EXPECT_EQ(mod->get_pattern_num_rows(1), 16);

    for (const KnownCell& k : cells) {
        SCOPED_TRACE(testing::Message()
                     << "pattern " << k.pattern << " row " << k.row << " channel " << k.channel);
        const auto get = [&](int what) {
            return mod->get_pattern_row_channel_command(k.pattern, k.row, k.channel, what);
        };
        const auto text = [&](int what) {
            std::string s =
                mod->format_pattern_row_channel_command(k.pattern, k.row, k.channel, what);
            return s.find_first_not_of(" .") == std::string::npos ? std::string() : s;
        };
        EXPECT_EQ(get(openmpt::module::command_note), k.expectNote);
        EXPECT_EQ(get(openmpt::module::command_instrument), k.cell.instrument);
        EXPECT_EQ(text(openmpt::module::command_effect), k.expectEffect);
        EXPECT_EQ(text(openmpt::module::command_parameter), k.expectParam);
        if (k.cell.volume >= 0) {
            EXPECT_EQ(get(openmpt::module::command_volume), k.cell.volume);
        }
    }
    // An untouched cell stays empty.
    EXPECT_EQ(mod->get_pattern_row_channel_command(0, 1, 0, openmpt::module::command_note), 0);
    EXPECT_EQ(mod->get_pattern_row_channel_command(0, 1, 0, openmpt::module::command_effect), 0);
}

// The sample's waveform comes out of the mixer: a looped pulse of period 100 frames at its
// C5 speed keeps flipping sign every 50 frames long after the 400 frames of data, while the
// same sample without its loop falls silent.
TEST(ItWriter, SampleDataAndLoopsPlay) {
    for (bool looped : {true, false}) {
        SCOPED_TRACE(looped ? "looped" : "one shot");
        ItModule m;
        m.channels = 1;
        m.instruments = {toneInstrument("square")};
        m.instruments[0].loop = {looped, false, 0, 400};
        m.patterns.resize(1);
        m.patterns[0].rows[0] = {{itNoteC5, 1}};
        m.orders = {0};
        std::string log;
        auto mod = load(build(m), log);
        EXPECT_EQ(log, "");
        mod->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 1);
        mod->set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, 0);
        std::vector<float> left(4410), right(4410);
        ASSERT_EQ(mod->read(44100, left.size(), left.data(), right.data()), left.size());

        // Find the first sign flip after the first 1000 frames, then check the half period.
        int flips = 0;
        int lastFlip = -1;
        bool halfPeriodHolds = true;
        for (size_t i = 1001; i < left.size(); ++i) {
            if ((left[i] > 0) != (left[i - 1] > 0) && std::abs(left[i]) > 0.01f) {
                if (lastFlip >= 0 && i - lastFlip != 50) {
                    halfPeriodHolds = false;
                }
                lastFlip = static_cast<int>(i);
                ++flips;
            }
        }
        // The first half period is the positive one: signed data, read in the right byte order.
        EXPECT_GT(left[10], 0.01f);
        EXPECT_LT(left[60], -0.001f);
        if (looped) {
            EXPECT_GT(flips, 50);
            EXPECT_TRUE(halfPeriodHolds);
            EXPECT_GT(left[1000 + 10] * left[0 + 10], 0.0f) << "waveform not periodic";
        } else {
            EXPECT_EQ(flips, 0);
        }
    }
}

TEST(ItWriter, InvalidModulesAreRefusedWithAReason) {
    struct Case {
        const char* what;
        void (*spoil)(ItModule&);
        const char* expect; // part of the error text
    };
    const Case cases[] = {
        {"instrument beyond the table",
         [](ItModule& m) {
             m.patterns[0].rows[0] = {{61, 2}};
         },
         "instrument 2"},
        {"note between 120 and the special notes",
         [](ItModule& m) { m.patterns[0].rows[0] = {{130}}; }, "note"},
        {"parameter without command",
         [](ItModule& m) {
             m.patterns[0].rows[0] = {{0, 0, -1, 0, 5}};
         },
         "parameter"},
        {"command not a letter",
         [](ItModule& m) {
             m.patterns[0].rows[0] = {{0, 0, -1, '1', 5}};
         },
         "letter"},
        {"volume column 125",
         [](ItModule& m) {
             m.patterns[0].rows[0] = {{0, 0, 125}};
         },
         "volume"},
        {"more cells than channels", [](ItModule& m) { m.patterns[0].rows[3].resize(3); },
         "too many cells"},
        {"no rows", [](ItModule& m) { m.patterns[0].rows.clear(); }, "row count"},
        {"201 rows", [](ItModule& m) { m.patterns[0].rows.resize(201); }, "row count"},
        {"order to a missing pattern", [](ItModule& m) { m.orders.push_back(1); }, "order 1"},
        {"loop past the end",
         [](ItModule& m) {
             m.instruments[0].loop = {true, false, 0, 401};
         },
         "loop"},
        {"empty loop",
         [](ItModule& m) {
             m.instruments[0].sustainLoop = {true, false, 9, 9};
         },
         "loop"},
        {"65 channels", [](ItModule& m) { m.channels = 65; }, "channel"},
        {"tempo 30", [](ItModule& m) { m.tempo = 30; }, "tempo"},
        {"speed 0", [](ItModule& m) { m.speed = 0; }, "speed"},
        {"pan 65", [](ItModule& m) { m.channelPan = {65}; }, "pan"},
        {"long title", [](ItModule& m) { m.title = std::string(26, 'x'); }, "title"},
        {"C5 speed 0", [](ItModule& m) { m.instruments[0].c5Speed = 0; }, "C5 speed"},
        {"100 instruments", [](ItModule& m) { m.instruments.resize(100, m.instruments[0]); }, "99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ItModule m;
        m.channels = 2;
        m.instruments = {toneInstrument("a")};
        m.patterns.resize(1);
        m.orders = {0};
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(buildItModule(m, bytes, error)) << error;
        c.spoil(m);
        bytes.clear();
        EXPECT_FALSE(buildItModule(m, bytes, error));
        EXPECT_NE(error.find(c.expect), std::string::npos) << error;
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(ItWriter, WritesTheFileOrSaysWhy) {
    ItModule m;
    m.instruments = {toneInstrument("a")};
    m.patterns.resize(1);
    m.orders = {0};
    const std::string path = testing::TempDir() + "itwriter_test.it";
    std::string error;
    ASSERT_TRUE(writeItModule(m, path, error)) << error;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> onDisk((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, build(m));
    std::remove(path.c_str());

    EXPECT_FALSE(writeItModule(m, "/nonexistent-dir/x.it", error));
    EXPECT_NE(error.find("/nonexistent-dir/x.it"), std::string::npos) << error;

    m.orders = {3};
    EXPECT_FALSE(writeItModule(m, path, error));
    EXPECT_FALSE(std::ifstream(path).good()) << "an invalid module left a file behind";
}

} // namespace
