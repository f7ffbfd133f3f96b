// Scene director: drawFrame turns the demo time into one frame: the end of the show, the
// scene ranges and act schedule of the timeline, the picture layers and overlays, projection,
// fog and light 0, and the act of object effects.
#pragma once

#include <GL/gl.h>

#include <functional>

// Draws the frame of demoTime. Ends the process (status 0, music stopped first) on the first
// frame with demoTime above 26.
void drawFrame();

// ---- The frame of a moment -------------------------------------------------------------------

// Puts the clock and the SyncPoints at a moment (and whatever else a caller draws with, such as
// the band) before that moment's frame is drawn.
using MomentSetter = std::function<void(float time)>;

// Draws the frame of `time` that follows the frame drawn before it: setMoment(time), demoTime
// := time, the projection matrix selected and loaded with the identity, drawFrame.
void drawNextFrame(float time, const MomentSetter& setMoment);

// A frame carries over from the ones before it the backdrop number (set at most a unit
// earlier), the effect selector and the texture left bound. Draws the frames a show drawing
// frames `frameStep` apart would have drawn just before `time` that decide them: a unit
// earlier and a frame earlier, those at or after 0.
void primeFrameAt(double time, double frameStep, const MomentSetter& setMoment);

// The frame of the moment `time` exactly as a show running at frames `frameStep` apart draws
// it: primeFrameAt, then drawNextFrame(time).
void drawFrameAt(double time, double frameStep, const MomentSetter& setMoment);

// Which picture the layer stack shows (1 to 11; other numbers bind nothing). Written only by
// drawFrame; keeps its value between frames.
extern int backdropNumber;

// ---- The screen band ------------------------------------------------------------------------

// Where the picture goes on a drawable (glViewport's arguments, origin bottom left).
struct ViewportBand {
    int x, y, width, height;
};

// The largest rectangle of 640x270 shape that fits a width x height drawable, each side rounded
// to the nearest pixel (halves up) and at least 1; the rows left over are split 90 above to
// 120 below (the rows below rounded to the nearest), the columns left over evenly (the odd one
// on the right). 640x480 gives (0, 120, 640, 270), 1280x960 exactly twice that; a drawable
// without pixels gives an empty band at 0, 0.
ViewportBand viewportBand(int width, int height);

// How many times wider than on 640x480 lines and points are drawn on a band bandHeight rows
// high: the height over 270 (1 at 640x480, 3 at 1920x1080, 6 at 3840x2160), so the wire
// effects keep their light on every screen. Never below 1: a line is at least one pixel, and
// a band lower than 270 rows draws them as 640x480 does.
float lineScale(int bandHeight);

// Places the band on a width x height drawable: sets the viewport, and the line width and
// point size that drawFrame uses from then on.
void placeBand(int width, int height);

// The line scale of the band placed last (1 before any).
float placedLineScale();

// ---- The timeline: per-frame decisions, each a function of the demo time -------------------

// How the ten layers of the picture stack are moved.
enum class LayerMotion { twist, zoomStack, quadrantZoom, flat, whirl };

// What a scene range does to the beat level after it has been summed.
enum class BeatModifier { none, early, quarter, fadeOut };

// The scene settings of one frame. `matched` is false where no range covers t (before 0 and
// from 25.5 on): the backdrop number is then left as it is, the stack whirls with flicker.
struct SceneRange {
    bool matched;
    int backdrop;
    LayerMotion motion;
    int flicker;
    BeatModifier modifier;
};

SceneRange sceneRangeAt(float t);

// True once the show is over: t strictly above 26.
bool showHasEnded(float t);

// Applies the range modifier (quarter, fade-out) and the early rule of the opening to a
// summed beat level; the early rule reads SyncPoint 12 through its envelope.
float modifyBeatLevel(float level, BeatModifier modifier, float t);

// The effect selector for the frame at t; `current` is kept where the schedule has no entry
// (t < 0, t >= 26).
int scheduledSelector(float t, int current);

// Overlay and extra-act windows of the frame.
bool sponsorOverlayShown(float t);
bool closingPicturesShown(float t);
bool extraFlipbookShown(float t);

// Light 0's diffuse colour at t: white at level 2, with the red flash of [3.5, 4.5).
struct LightColour {
    float r, g, b;
};
LightColour lightDiffuse(float t);

// Runs the effects of one act in their order; a selector without an act draws nothing.
void runAct(int selector);

// ---- Picture layers and overlays --------------------------------------------------------------

// The music-driven brightness of the layer stack, before the range modifiers.
float beatLevel();

// The alpha shared by the ten layers of a frame.
float layerAlpha(float t, int flicker, float beat);

// The texture a backdrop number shows, or 0 for a number without a picture of its own.
GLuint backdropTexture(int number);

// The layers move with demoTime; the overlays take the time they draw.
void drawLayerStack(int backdrop, LayerMotion motion, int flicker, float beat);
void drawSponsorOverlay(float t);
void drawPipeOverlay(float t);
void drawClosingPictures(float t);
