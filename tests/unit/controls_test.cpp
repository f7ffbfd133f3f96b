// The viewer's controls as tables of keys and menu values.
#include "controls.h"

#include "clock.h"

#include <gtest/gtest.h>

namespace {
void resetControls() {
    pauseFlag = 0;
    spaceToggle = 1;
    effectSelector = 7;
    modeLetter = 'i';
    speedExponent = 0.0f;
    for (float& value : tuningValues)
        value = 0.0f;
}
} // namespace

TEST(Controls, SpeedKeysStepWithinTheLimits) {
    struct Case {
        float before;
        unsigned char key;
        float after;
    };
    const Case cases[] = {
        {6.99f, 'q', 7.0f},  {7.0f, 'q', 7.0f},    {-7.0f, 'a', -7.0f}, {-6.99f, 'A', -7.0f},
        {0.0f, 'Q', 0.025f}, {0.0f, 'a', -0.025f}, {3.5f, 'z', 0.0f},   {-2.0f, 'Z', 0.0f},
    };
    for (const Case& c : cases) {
        resetControls();
        speedExponent = c.before;
        EXPECT_EQ(applyKey(c.key), ControlResult::redraw) << c.key;
        EXPECT_FLOAT_EQ(speedExponent.load(), c.after) << c.before << " " << c.key;
    }
}

TEST(Controls, TwoHundredEightyStepsReachTheLimit) {
    resetControls();
    for (int i = 0; i < 279; ++i)
        applyKey('w');
    EXPECT_LT(tuningValues[0], 7.0f);
    applyKey('w');
    applyKey('w');
    EXPECT_EQ(tuningValues[0], 7.0f);
}

TEST(Controls, TuningKeysMoveTheirOwnValue) {
    const char keys[4][3] = {{'w', 's', 'x'}, {'e', 'd', 'c'}, {'r', 'f', 'v'}, {'t', 'g', 'b'}};
    for (int value = 0; value < 4; ++value) {
        resetControls();
        applyKey(static_cast<unsigned char>(keys[value][0]));
        applyKey(static_cast<unsigned char>(keys[value][0] - 'a' + 'A'));
        EXPECT_FLOAT_EQ(tuningValues[value], 0.05f);
        for (int other = 0; other < 4; ++other) {
            if (other != value) {
                EXPECT_EQ(tuningValues[other], 0.0f);
            }
        }
        applyKey(static_cast<unsigned char>(keys[value][1]));
        EXPECT_FLOAT_EQ(tuningValues[value], 0.025f);
        applyKey(static_cast<unsigned char>(keys[value][2]));
        EXPECT_EQ(tuningValues[value], 0.0f);
    }
    EXPECT_EQ(speedExponent.load(), 0.0f);
}

TEST(Controls, DigitsSpaceAndModeLetters) {
    resetControls();
    for (unsigned char digit = '0'; digit <= '9'; ++digit) {
        EXPECT_EQ(applyKey(digit), ControlResult::redraw);
        EXPECT_EQ(effectSelector, digit - '0');
    }
    EXPECT_EQ(applyKey(' '), ControlResult::redraw);
    EXPECT_EQ(spaceToggle, 0);
    applyKey(' ');
    EXPECT_EQ(spaceToggle, 1);
    applyKey('O');
    EXPECT_EQ(modeLetter, 'o');
    applyKey('p');
    EXPECT_EQ(modeLetter, 'p');
    applyKey('i');
    EXPECT_EQ(modeLetter, 'i');
}

TEST(Controls, EscapeQuitsAndOtherKeysDoNothing) {
    resetControls();
    EXPECT_EQ(applyKey(27), ControlResult::quit);
    // Unknown keys, including keys whose upper-case form is not a control.
    const unsigned char idleKeys[] = {'y', 'Y', 'h', 'u', '!', '\r', 200};
    for (unsigned char key : idleKeys) {
        EXPECT_EQ(applyKey(key), ControlResult::nothing) << int(key);
    }
    EXPECT_EQ(effectSelector, 7);
    EXPECT_EQ(spaceToggle, 1);
    EXPECT_EQ(modeLetter, 'i');
}

TEST(Controls, MenuValues) {
    struct Case {
        int value;
        ControlResult result;
        int pause;
        int selector;
    };
    const Case cases[] = {
        {1, ControlResult::redraw, 1, 7},    {666, ControlResult::redraw, 0, 0},
        {667, ControlResult::redraw, 0, 1},  {668, ControlResult::redraw, 0, 2},
        {695, ControlResult::redraw, 0, 29}, {696, ControlResult::redraw, 0, 7},
        {665, ControlResult::redraw, 0, 7},  {3, ControlResult::redraw, 0, 7},
        {2, ControlResult::quit, 0, 7},
    };
    for (const Case& c : cases) {
        resetControls();
        EXPECT_EQ(applyMenu(c.value), c.result) << c.value;
        EXPECT_EQ(pauseFlag, c.pause) << c.value;
        EXPECT_EQ(effectSelector, c.selector) << c.value;
    }
    resetControls();
    applyMenu(1);
    applyMenu(1);
    EXPECT_EQ(pauseFlag, 0);
}
