// Small modules for the music tests: twenty short, loud instruments (200 frames of square wave
// at C-5, then silence) and patterns given row by row, written with the IT writer.
#pragma once

#include "itwriter.h"
#include "music.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// One cell placed in a pattern.
struct PlacedCell {
    int row;
    int channel;
    ItCell cell;
};

inline ItModule fixtureModule(const std::vector<std::vector<PlacedCell>>& patterns,
                              std::vector<int> orders = {}) {
    ItModule module;
    module.title = "fixture";
    module.channels = 4;
    for (int i = 1; i <= 20; ++i) {
        ItInstrument instrument;
        instrument.name = "square " + std::to_string(i);
        for (int f = 0; f < 200; ++f)
            instrument.pcm.push_back(static_cast<int16_t>((f / 10) % 2 == 0 ? 20000 : -20000));
        module.instruments.push_back(instrument);
    }
    for (const auto& cells : patterns) {
        ItPattern pattern;
        for (const PlacedCell& placed : cells) {
            auto& row = pattern.rows.at(static_cast<size_t>(placed.row));
            if (row.size() <= static_cast<size_t>(placed.channel))
                row.resize(static_cast<size_t>(placed.channel) + 1);
            row[static_cast<size_t>(placed.channel)] = placed.cell;
        }
        module.patterns.push_back(pattern);
    }
    if (orders.empty()) {
        for (size_t i = 0; i < patterns.size(); ++i)
            orders.push_back(static_cast<int>(i));
    }
    module.orders = orders;
    return module;
}

inline OfflineRender renderFixture(const ItModule& module) {
    std::vector<uint8_t> bytes;
    std::string error;
    OfflineRender out;
    EXPECT_TRUE(buildItModule(module, bytes, error)) << error;
    EXPECT_TRUE(renderModuleBytesOffline(bytes.data(), bytes.size(), 600.0, out, error)) << error;
    return out;
}

inline void writeFixture(const ItModule& module, const std::string& path) {
    std::string error;
    ASSERT_TRUE(writeItModule(module, path, error)) << error;
}
