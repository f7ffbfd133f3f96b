// The act table, through the recording stand-in of the effects: the right effects in the
// right order with the right arguments, and nothing for selectors without an act.
#include "director.h"

#include "director_effect_recorder.h"

#include <gtest/gtest.h>

namespace {

std::string actCalls(int selector) {
    recordedEffectCalls.clear();
    runAct(selector);
    return recordedCallList();
}

TEST(ActTable, EveryActCallsItsEffectsInOrder) {
    struct Case {
        int selector;
        const char* calls;
    };
    const Case cases[] = {
        {0, "letterLayers(3) swirlCloud(1) cubeField(4)"},
        {1, "swirlRings(1) cubeFloor(1)"},
        {2, "cubeField(4) cubeWheel(1,-2,90,3) cubeWheel(0,0,0,2) cubeWheel(1,2,90,1)"},
        {3, "flipbookPair(1) swirlCloudCubes(1)"},
        {4, "flipbookPair(0) cubeFloor(0)"},
        {5, "cubeField(4) letterLayers(0)"},
        {6, "letterLayers(2) cubeWheel(1,-12,0,3) cubeWheel(0,-10,0,3) cubeWheel(1,-8,0,3) "
            "cubeWheel(0,-6,0,3) cubeWheel(1,-4,0,3) cubeWheel(0,-2,0,3) cubeWheel(1,0,0,3) "
            "cubeWheel(0,2,0,3) cubeWheel(1,4,0,3) cubeWheel(0,6,0,3) cubeWheel(1,8,0,3) "
            "cubeWheel(0,10,0,3) cubeWheel(1,12,0,3)"},
        {7, "cubeField(4) swirlRings(2)"},
        {8, "cubeFloor(0) logoPicture(0)"},
        {9, "swirlCloud(3) cubeWheel(0,-15,0,3) cubeWheel(1,-12,0,3) cubeWheel(0,-9,0,3) "
            "cubeWheel(1,-6,0,3) cubeWheel(0,-3,0,3) cubeWheel(1,0,0,3) cubeWheel(0,3,0,3) "
            "cubeWheel(1,6,0,3) cubeWheel(0,9,0,3) cubeWheel(1,12,0,3) cubeWheel(0,15,0,3)"},
        {10, "cubeFloor(1) cubeWheel(1,-2,1,3) cubeWheel(0,0,0,2) cubeWheel(1,2,1,3)"},
        {11, "flipbookPair(1) swirlCloud(0)"},
        {12, "swirlCloudCubes(3) cubeWheel(1,-2,1,2) cubeWheel(0,0,0,3) cubeWheel(1,2,1,2)"},
        {13, "cubeFloor(3)"},
        {14, "swirlCloud(1) cubeFloor(3)"},
        {15, "swirlRings(0) swirlCloudCubes(0) cubeField(4)"},
        {16, "flipbookSections(1) cubeFloor(2)"},
        {17, "letterLayers(3) swirlCloud(1) cubeField(4)"},
        {18, "swirlRings(3) letterLayers(1) cubeField(4)"},
        {19, "swirlCloudCubes(3) swirlCloudCubes(0) cubeField(4)"},
        {20, "cubeFloor(1) cubeField(4)"},
        {21, "cubeFloor(2) cubeFloor(1) cubeField(4)"},
        {22, "cubeWheel(1,-2,90,1) cubeWheel(0,0,0,1) cubeWheel(1,2,90,1) letterLayers(0)"},
        {23, "cubeFloor(1) cubeWheel(1,-12,0,1) cubeWheel(1,-8,0,1) cubeWheel(1,-4,0,1) "
             "cubeWheel(1,0,0,1) cubeWheel(1,4,0,1) cubeWheel(1,8,0,1) cubeWheel(1,12,0,1)"},
        {30, "flipbookPair(1) swirlCloudCubes(3)"},
        {32, "logoPicture(2) cubeField(4)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(actCalls(c.selector), c.calls) << "act " << c.selector;
}

TEST(ActTable, SelectorsWithoutAnActDrawNothing) {
    for (int selector : {-1, 24, 25, 29, 31, 33, 666, 1 << 30})
        EXPECT_EQ(actCalls(selector), "") << "selector " << selector;
}

} // namespace
