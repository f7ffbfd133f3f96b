// The viewer's controls: keys and menu entries turned into changes of the shared values.
#include "controls.h"

#include "clock.h"

#include <cctype>

int pauseFlag = 0;
int spaceToggle = 1;
int effectSelector = 7;
char modeLetter = 'i';
float tuningValues[4] = {0.0f, 0.0f, 0.0f, 0.0f};

namespace {
constexpr double stepSize = 0.025;
constexpr float limit = 7.0f;

float stepUp(float value) {
    const float sum = static_cast<float>(value + stepSize);
    return sum > limit ? limit : sum;
}

float stepDown(float value) {
    const float difference = static_cast<float>(value - stepSize);
    return difference < -limit ? -limit : difference;
}

// Keys that step a value: up, down and reset, for the speed and the four tuning values.
struct SteppedKeys {
    char up, down, reset;
};
constexpr SteppedKeys tuningKeys[4] = {
    {'w', 's', 'x'}, {'e', 'd', 'c'}, {'r', 'f', 'v'}, {'t', 'g', 'b'}};

bool stepValue(char key, const SteppedKeys& keys, float& value) {
    if (key == keys.up)
        value = stepUp(value);
    else if (key == keys.down)
        value = stepDown(value);
    else if (key == keys.reset)
        value = 0.0f;
    else
        return false;
    return true;
}
} // namespace

ControlResult applyKey(unsigned char keyCode) {
    const char key = static_cast<char>(std::tolower(keyCode & 0xFF));
    if (keyCode == 27)
        return ControlResult::quit;
    if (key == ' ') {
        spaceToggle ^= 1;
        return ControlResult::redraw;
    }
    if (key >= '0' && key <= '9') {
        effectSelector = key - '0';
        return ControlResult::redraw;
    }
    float speed = speedExponent.load(std::memory_order_relaxed);
    if (stepValue(key, {'q', 'a', 'z'}, speed)) {
        speedExponent.store(speed, std::memory_order_relaxed);
        return ControlResult::redraw;
    }
    for (int i = 0; i < 4; ++i) {
        if (stepValue(key, tuningKeys[i], tuningValues[i]))
            return ControlResult::redraw;
    }
    if (key == 'i' || key == 'o' || key == 'p') {
        modeLetter = key;
        return ControlResult::redraw;
    }
    return ControlResult::nothing;
}

ControlResult applyMenu(int value) {
    if (value == 1)
        pauseFlag = pauseFlag == 0 ? 1 : 0;
    else if (value == 2)
        return ControlResult::quit;
    else if (value >= 666 && value < 696)
        effectSelector = value - 666;
    return ControlResult::redraw;
}
