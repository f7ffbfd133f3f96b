// The demo shell: main, the start-up sequence and the toolkit callbacks that run the show. It
// sits on top of every other subsystem and nothing below includes it; besides main, only the
// programs that render the show without a display (capture, benchmarks) and tests use it.
#pragma once

#include "clock.h"
#include "controls.h"

#include <string>

// The command-line scan: true for full-screen game mode (the default), false for a window.
// An argument containing "window" selects the window, then one containing "full" full screen;
// the last argument with either word decides.
bool fullScreenRequested(int argc, char** argv);

// Writes the two-line banner (no line break after the title) to standard output, with the
// letter a-umlaut in UTF-8 when the console's character set is UTF-8, else as byte 0x84.
void printBanner();

// Opens the 640x480 window, or the full-screen game mode; where game mode cannot be entered,
// a full-screen window at the screen's resolution instead (said on standard error).
void openDemoWindow(bool fullScreen, const char* title);

// For programs that render the show without a display (capture, benchmarks): starts a private
// X server big enough for the window, initialises GLUT with the demo's display mode and opens
// a width x height window (window 1) whose context stays current. False with `error` filled
// when the server or the window cannot be had.
bool openHeadlessWindow(const char* name, int width, int height, std::string& error);

// Registers the idle, reshape, display and keyboard callbacks and the right-button menu.
void registerCallbacks();

// Stops the music at once (no fade) and ends the process with status 0: Escape and "Quit".
[[noreturn]] void quitDemo();

void idleHandler();
void displayHandler();
void reshapeHandler(int width, int height);
void keyboardHandler(unsigned char key, int x, int y);
void menuHandler(int value);
void initGraphicsState();
void initOnce();
