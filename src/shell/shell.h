// The demo shell: the demo clock, the values the viewer steers from the keyboard and the
// popup menu, and the toolkit callbacks that start and run the show. Music, director and
// effects read the clock and the control values through this header; only main uses the
// callbacks and the start-up.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// ---- The demo clock -------------------------------------------------------------------------

// Demo time in pattern units (64 rows, 7.68 s at speed 1); the idle handler's copy of the
// clock, constant while a frame is drawn. Main thread only.
extern float demoTime;

// Advances the clock by the counter ticks since the previous call (by any caller, any thread),
// scaled by exp(speedExponent), and returns the new accumulator.
float demoClock();

// Speed control in [-7, 7]; read by demoClock on any thread, written by the keyboard handler.
extern std::atomic<float> speedExponent;

// Returns the clock to its state at load (never called, accumulator 0). Tests and the capture
// tool only; not safe while another thread calls demoClock.
void resetDemoClock();

// ---- Controls -------------------------------------------------------------------------------

extern int pauseFlag;      // 0 = running; the menu's "(un)Pause" flips it
extern int spaceToggle;    // 1 = layer stack drawn, 0 = hidden
extern int effectSelector; // chosen act; the director overwrites it every frame of the show
extern char modeLetter;    // 'i', 'o' or 'p'
extern float tuningValues[4];

// What a key or menu entry asks of the toolkit once its value has been applied.
enum class ControlResult { nothing, redraw, quit };

// The keyboard handler's work for one key code: updates the control values and says whether
// to request a redraw or to end the demo (Escape).
ControlResult applyKey(unsigned char key);

// The menu handler's work for one entry value ("(un)Pause" 1, "Quit" 2, effects 666 to 695).
ControlResult applyMenu(int value);

// ---- Start-up and callbacks (main only) -----------------------------------------------------

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
