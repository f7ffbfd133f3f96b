// Scene director: drawFrame turns the demo time into one frame: the end of the show, the
// scene ranges and act schedule of the timeline, the picture layers and overlays, projection,
// fog and light 0, and the act of object effects.
#pragma once

// Draws the frame of demoTime. Ends the process (status 0, music stopped first) on the first
// frame with demoTime above 26.
void drawFrame();

// Which picture the layer stack shows (1 to 11; other numbers bind nothing). Written only by
// drawFrame; keeps its value between frames.
extern int backdropNumber;
