// The shared material colour: one static array that every colour passes through on its way
// to a material or light call.
#include "effects.h"

namespace {
float colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
} // namespace

float* materialColor(float r, float g, float b, float a) {
    colour[0] = r;
    colour[1] = g;
    colour[2] = b;
    colour[3] = a;
    return colour;
}

float* materialColorOpaque(float r, float g, float b) { return materialColor(r, g, b, 1.0f); }
