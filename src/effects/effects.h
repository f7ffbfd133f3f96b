// Effects: the object effects that the director's acts call, each a function of the demo
// time, the sync envelopes and small integer arguments, plus the shared material colour and
// the camera choreography that places them.
#pragma once

// Fills the one shared colour array and returns it, to be handed at once to a material or
// light call; valid until the next call.
float* materialColor(float r, float g, float b, float a);
float* materialColorOpaque(float r, float g, float b);

// Multiplies the current matrix by the camera pose that the time schedule gives `slot` now
// (slots 1 to 4; any other slot takes the fallback).
void cameraPose(int slot);

// The schedule behind cameraPose, for tests and tools: the rate (phase changes per pattern
// unit) at demo time t, the phase 0-7 it gives, and the pose that `slot` receives then.
enum class CameraPose { swing, sway, orbit, tumble, fallback };
int cameraRate(float t);
int cameraPhase(float t);
CameraPose cameraPoseOfSlot(int slot, float t);

void cubeWheel(int variant, int offset, int roll, int mode);
void cubeField(int mode);
void letterLayers(int pose);
void flipbookPair(int pose);
void flipbookSections(int pose);
void swirlRings(int pose);
void swirlCloud(int pose);
void swirlCloudCubes(int pose);
void cubeFloor(int pose);
void logoPicture(int pose);
void logoGrid();
