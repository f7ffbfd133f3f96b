// A recording stand-in for the eleven object effects: each call notes its name and integer
// arguments, so the director's act table can be checked without drawing anything.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Calls since the last clear, as "name(a,b,...)".
extern std::vector<std::string> recordedEffectCalls;

// Runs at every recorded call, before it is noted; tests use it to look at the GL state that
// the effects would start in. Empty by default.
extern std::function<void(const std::string& call)> onEffectCall;

// The recorded calls joined by spaces.
std::string recordedCallList();
