// The acts as a viewer sees them, through the recording stand-in of the effects: the picture
// changes at every quarter unit, every effect shows somewhere in the show, rows of wheels stand
// mirrored about the centre and evenly spaced, and selectors without an act draw nothing.
#include "director.h"

#include "director_effect_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> actCalls(int selector) {
    recordedEffectCalls.clear();
    runAct(selector);
    return recordedEffectCalls;
}

// The acts the show runs: 0 to 23 in its cycle from t = 3.5, 32 and then 30 in the opening.
std::vector<int> shownActs() {
    std::vector<int> acts;
    for (int act = 0; act < 24; ++act)
        acts.push_back(act);
    acts.push_back(30);
    acts.push_back(32);
    return acts;
}

TEST(Acts, ThePictureChangesAtEveryQuarter) {
    // The cycle runs act k + 1 after act k and act 0 after 23; the opening runs 32, then 30,
    // then act 14 at t = 3.5.
    for (int act = 0; act < 24; ++act)
        EXPECT_NE(actCalls(act), actCalls((act + 1) % 24)) << "acts " << act << " and next";
    EXPECT_NE(actCalls(32), actCalls(30));
    EXPECT_NE(actCalls(30), actCalls(14));
}

TEST(Acts, EveryEffectShowsInTheShow) {
    std::set<std::string> shown;
    for (int act : shownActs()) {
        for (const std::string& call : actCalls(act))
            shown.insert(call.substr(0, call.find('(')));
    }
    for (const char* effect :
         {"cubeWheel", "cubeField", "letterLayers", "flipbookPair", "flipbookSections",
          "swirlRings", "swirlCloud", "swirlCloudCubes", "cubeFloor", "logoPicture"})
        EXPECT_EQ(shown.count(effect), 1u) << effect << " is never shown";
}

// Where an act sets wheels side by side, the row is mirrored about the screen's centre (a
// wheel of the same kind and roll at -x for each at x) and evenly spaced.
TEST(Acts, RowsOfWheelsAreMirroredAndEven) {
    int rows = 0;
    for (int act : shownActs()) {
        struct Wheel {
            int variant, offset, roll, mode;
        };
        std::vector<Wheel> wheels;
        for (const std::string& call : actCalls(act)) {
            Wheel w{};
            if (std::sscanf(call.c_str(), "cubeWheel(%d,%d,%d,%d)", &w.variant, &w.offset, &w.roll,
                            &w.mode) == 4)
                wheels.push_back(w);
        }
        if (wheels.size() < 2)
            continue;
        ++rows;
        SCOPED_TRACE("act " + std::to_string(act));
        for (const Wheel& w : wheels) {
            const bool mirrored = std::any_of(wheels.begin(), wheels.end(), [&](const Wheel& m) {
                return m.offset == -w.offset && m.variant == w.variant && m.roll == w.roll;
            });
            EXPECT_TRUE(mirrored) << "no mirror for the wheel at " << w.offset;
        }
        std::vector<int> offsets;
        for (const Wheel& w : wheels)
            offsets.push_back(w.offset);
        std::sort(offsets.begin(), offsets.end());
        EXPECT_GT(offsets[1] - offsets[0], 0);
        for (size_t i = 2; i < offsets.size(); ++i)
            EXPECT_EQ(offsets[i] - offsets[i - 1], offsets[1] - offsets[0]) << "wheel " << i;
    }
    EXPECT_GT(rows, 0);
}

TEST(Acts, SelectorsWithoutAnActDrawNothing) {
    for (int selector : {-1, 24, 25, 29, 31, 33, 666, 1 << 30})
        EXPECT_TRUE(actCalls(selector).empty()) << "selector " << selector;
}

} // namespace
