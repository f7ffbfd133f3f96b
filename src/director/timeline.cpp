// The timeline: which backdrop, layer motion and beat modifier belong to each range of the
// demo time, the act schedule, the overlay windows and the colour of light 0.
#include "director.h"

#include "music.h"

#include <cmath>

int backdropNumber = 0;

namespace {

// One half-open range [from, to) of the scene table. A row with an odd-eighth backdrop
// alternates every eighth of a unit: on odd trunc(8t) it shows that backdrop and motion.
struct RangeRow {
    float from;
    float to;
    int backdrop;
    LayerMotion motion;
    int flicker;
    BeatModifier modifier;
    int oddBackdrop;
    LayerMotion oddMotion;
};

using M = LayerMotion;
using B = BeatModifier;

const RangeRow rangeTable[] = {
    {0.0f, 1.5f, 3, M::zoomStack, 0, B::early, 0, M::flat},
    {1.5f, 1.75f, 1, M::twist, 1, B::none, 0, M::flat},
    {1.75f, 3.375f, 1, M::quadrantZoom, 1, B::none, 0, M::flat},
    {3.375f, 3.5f, 2, M::quadrantZoom, 1, B::none, 0, M::flat},
    {3.5f, 4.5f, 6, M::whirl, 1, B::none, 0, M::flat},
    {4.5f, 5.25f, 7, M::whirl, 1, B::none, 0, M::flat},
    {5.25f, 5.5f, 4, M::twist, 0, B::none, 0, M::flat},
    {5.5f, 5.75f, 5, M::zoomStack, 1, B::none, 0, M::flat},
    {5.75f, 7.5f, 5, M::quadrantZoom, 1, B::none, 0, M::flat},
    {7.5f, 9.5f, 6, M::whirl, 1, B::none, 0, M::flat},
    {9.5f, 9.75f, 4, M::zoomStack, 1, B::none, 0, M::flat},
    {9.75f, 10.5f, 6, M::whirl, 1, B::none, 0, M::flat},
    {10.5f, 11.5f, 6, M::twist, 1, B::none, 0, M::flat},
    {11.5f, 13.5f, 7, M::whirl, 1, B::none, 0, M::flat},
    {13.5f, 15.5f, 8, M::zoomStack, 1, B::none, 0, M::flat},
    {15.5f, 17.5f, 9, M::whirl, 1, B::none, 0, M::flat},
    {17.5f, 18.5f, 10, M::zoomStack, 1, B::none, 0, M::flat},
    {18.5f, 19.25f, 1, M::quadrantZoom, 1, B::none, 0, M::flat},
    {19.25f, 19.5f, 2, M::quadrantZoom, 1, B::none, 0, M::flat},
    {19.5f, 21.0f, 11, M::whirl, 1, B::none, 2, M::zoomStack},
    {21.0f, 22.0f, 9, M::flat, 1, B::quarter, 0, M::flat},
    {22.0f, 23.0f, 12, M::whirl, 1, B::none, 0, M::flat},
    {23.0f, 23.5f, 14, M::whirl, 1, B::none, 0, M::flat},
    {23.5f, 25.5f, 11, M::whirl, 1, B::fadeOut, 0, M::flat},
};

bool inRange(float t, double from, double to) {
    return t >= from && t < to;
}

bool inOpenRange(float t, double from, double to) {
    return t > from && t < to;
}

} // namespace

SceneRange sceneRangeAt(float t) {
    for (const RangeRow& row : rangeTable) {
        if (!(t >= row.from && t < row.to))
            continue;
        // 8t is exact in double for every float t, so the parity flips exactly on eighths.
        if (row.oddBackdrop != 0 && std::fmod(std::trunc(8.0 * t), 2.0) != 0.0)
            return {true, row.oddBackdrop, row.oddMotion, row.flicker, row.modifier};
        return {true, row.backdrop, row.motion, row.flicker, row.modifier};
    }
    // Before the show and in its last half unit the stack keeps the backdrop and whirls on.
    return {false, 0, LayerMotion::whirl, 1, BeatModifier::none};
}

bool showHasEnded(float t) {
    return t > showLength;
}

float modifyBeatLevel(float level, BeatModifier modifier, float t) {
    switch (modifier) {
    case BeatModifier::none:
        return level;
    case BeatModifier::quarter:
        return level * 0.25f;
    case BeatModifier::fadeOut:
        return static_cast<float>(level - 2.0 * (t - 23.5));
    case BeatModifier::early:
        // Until 0.2 every never-fired SyncPoint still reads as just struck, so the level is held
        // at 0; after that the lead instrument's flash counts twice.
        if (t <= 0.2)
            return 0.0f;
        return level + 5.0f * expDecay(syncPoints[12], 1.2f);
    }
    return level;
}

int scheduledSelector(float t, int current) {
    if (inRange(t, 0.0, 1.5))
        return 32;
    if (inRange(t, 1.5, 3.5))
        return 30;
    if (inRange(t, 3.5, showLength))
        return static_cast<int>(std::trunc(4.0 * t)) % 24;
    return current;
}

bool sponsorOverlayShown(float t) {
    return inRange(t, 5.25, 5.5) || inRange(t, 11.5, 13.5) || inRange(t, 19.5, 21.0);
}

bool closingPicturesShown(float t) {
    return inRange(t, 24.5, 25.5);
}

bool extraFlipbookShown(float t) {
    return inOpenRange(t, 5.5, 7.5) || inOpenRange(t, 9.5, 11.5) || inOpenRange(t, 13.5, 15.5);
}

LightColour lightDiffuse(float t) {
    if (inRange(t, 3.5, 4.5)) {
        const float red = static_cast<float>(6.0 - 4.0 * (t - 3.5));
        const float other = static_cast<float>(6.0 - 4.0 * (t - 3.25));
        return {red, other, other};
    }
    return {2.0f, 2.0f, 2.0f};
}
