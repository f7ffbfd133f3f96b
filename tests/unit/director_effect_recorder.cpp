// Recording stand-in for the effects library (see the header).
#include "director_effect_recorder.h"

#include "effects.h"

std::vector<std::string> recordedEffectCalls;
std::function<void(const std::string& call)> onEffectCall;

namespace {
void note(const char* name, std::initializer_list<int> arguments) {
    std::string call = std::string(name) + "(";
    bool first = true;
    for (int argument : arguments) {
        if (!first)
            call += ",";
        call += std::to_string(argument);
        first = false;
    }
    call += ")";
    if (onEffectCall)
        onEffectCall(call);
    recordedEffectCalls.push_back(call);
}
} // namespace

std::string recordedCallList() {
    std::string list;
    for (const std::string& call : recordedEffectCalls)
        list += (list.empty() ? "" : " ") + call;
    return list;
}

void cubeWheel(int variant, int offset, int roll, int mode) {
    note("cubeWheel", {variant, offset, roll, mode});
}
void cubeField(int mode) {
    note("cubeField", {mode});
}
void letterLayers(int pose) {
    note("letterLayers", {pose});
}
void flipbookPair(int pose) {
    note("flipbookPair", {pose});
}
void flipbookSections(int pose) {
    note("flipbookSections", {pose});
}
void swirlRings(int pose) {
    note("swirlRings", {pose});
}
void swirlCloud(int pose) {
    note("swirlCloud", {pose});
}
void swirlCloudCubes(int pose) {
    note("swirlCloudCubes", {pose});
}
void cubeFloor(int pose) {
    note("cubeFloor", {pose});
}
void logoPicture(int pose) {
    note("logoPicture", {pose});
}
void logoGrid() {
    note("logoGrid", {});
}
