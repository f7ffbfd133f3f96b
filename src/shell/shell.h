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

// Opens the 640x480 window (or one of `givenWidth` x `givenHeight`, the size GLUT's -geometry
// gave, when both are above 0), or the full-screen game mode; where game mode cannot be
// entered, a full-screen window at the screen's resolution instead (said on standard error).
// A window larger than the renderer can draw is made as large as it can, with a line saying so.
void openDemoWindow(bool fullScreen, const char* title, int givenWidth = 0, int givenHeight = 0);

// The largest window the renderer draws (GL_MAX_VIEWPORT_DIMS and GL_MAX_RENDERBUFFER_SIZE),
// read once the window's context exists; no limit before. The reshape handler asks for a
// smaller window when a resize goes past it.
extern int maxWindowWidth;
extern int maxWindowHeight;

// When width x height goes past those limits: cuts them to the limits, asks GLUT for a window
// of that size, says so once on standard error, and returns true.
bool keepWindowWithinLimits(int& width, int& height);

// ---- The display (desktop only: x_display.cpp on X, win_display.cpp on Windows) --------------

// The display GLUT will open: the name after the last "-display" argument, else $DISPLAY
// (nullptr when unset). A "-display" with no name after it sets `nameMissing`.
const char* displayArgument(int argc, char** argv, bool& nameMissing);

// True when a "-geometry" argument (GLUT's option, read by glutInit) gives the window's width
// and height, which it stores (each at most 65535); a position alone leaves the size to the
// program.
bool geometryGivesSize(int argc, char** argv, int& width, int& height);

// Reads the width and height of a -geometry value as GLUT does on this platform; false when it
// does not give both.
bool parseGeometrySize(const char* geometry, unsigned& width, unsigned& height);

// Opens a connection to the display and holds it until releaseHeldDisplay(), to be called once
// glutInit holds its own: an X server that resets when its last client leaves (xvfb-run) must
// never see the check's connection close before GLUT's opens. Meanwhile a crash in the GL
// library while the server is gone (it crashes on replies that never came) is said as a lost
// connection. False when it cannot be opened. On Windows there is no connection to hold: the
// desktop is there; an X display name in DISPLAY (Wine, Cygwin) is taken out of GLUT's sight,
// which there reads it as a device's.
bool holdDisplay(const char* name);
void releaseHeldDisplay();

// From the start, on display `name`: a lost X connection, whenever it is noticed (by Xlib, by
// the GL library, or by the toolkit failing to make a context on it), stops the music and ends
// the process with one line and status 1; any other X error or toolkit failure ends it the same
// way with a line of its own.
void catchDisplayErrors(const char* name);

// Once the window exists: an X error about the window (another client destroyed it) leaves the
// main loop as closing the window does. On Windows it notes the window (GLUT ends its main loop
// when the window is destroyed).
void watchDisplayConnection();

// The size of the demo's window as the X server (or Windows) has it now, which may be ahead
// of the last reshape. False before watchDisplayConnection or when it cannot be read.
bool demoWindowSize(int& width, int& height);

// Asks for a swap interval of 1 (0 when PARADE_VSYNC=0) through GLX_EXT_swap_control,
// GLX_MESA_swap_control or GLX_SGI_swap_control (on Windows WGL_EXT_swap_control), the first
// the driver offers, for the current window. Returns the extension used, or "" when none is
// offered and swaps stay as they are.
const char* useSwapInterval();

// The swap interval asked for: 1, or 0 when PARADE_VSYNC=0.
int wantedSwapInterval();

// True when `name` is a whole word of the space-separated `list` (GLX_EXT_swap_control is not
// listed by GLX_EXT_swap_control_tear alone).
bool extensionListed(const char* list, const char* name);

// For programs that render the show without a display (capture, benchmarks; Linux): starts a
// private X server big enough for the window, initialises GLUT with the demo's display mode
// and opens a width x height window (window 1) whose context stays current. False with `error`
// filled when the server or the window cannot be had.
bool openHeadlessWindow(const char* name, int width, int height, std::string& error);

// Registers the idle, reshape, display and keyboard callbacks and the right-button menu.
void registerCallbacks();

// Stops the music at once (no fade) and ends the process with status 0: Escape and "Quit".
[[noreturn]] void quitDemo();

// ---- Jumps and the loop ----------------------------------------------------------------------

// True when an argument contains "loop" ("loop", "--loop"): the show starts again at its end.
bool loopRequested(int argc, char** argv);
extern bool loopShow;

// Jumps the show to demo time `time` (kept within 0 to 26): the music plays on from there, the
// SyncPoints, backdrop, act and bound texture are put where the capture's frame at `time` has
// them, and that frame is drawn and shown at once. The pictures then run on from the moment
// the music is heard from there, at their speed; while paused, that frame stays on screen.
void seekShow(double time);

// At the show's end with the loop on: the demo clock goes back 26 units, keeping its pace and
// its place on the music (which went round at the same moment), and the SyncPoints are put
// where the strikes leave them by the new time. Returns the new time.
float startShowAgain();

// Asks for a jump by `patterns` from the time shown (askJump) or to demo time `time`
// (askJumpTo), made when the next frame is drawn: asks that come before it add up into one
// jump, and one to a time replaces those before it.
void askJump(double patterns);
void askJumpTo(double time);

// True while a jump is asked for and not yet made.
bool jumpIsAsked();

// Makes the jump asked for since the last frame, if any (forward past the end goes round when
// the show loops), drawing and showing its frame; false when none was asked for. The display
// handler calls it first.
bool makeAskedJump();

// The special keys ask for jumps: Left and Right one pattern back and forward, Home to the
// start.
void specialKeyHandler(int key, int x, int y);

// ---- The clock log ----------------------------------------------------------------------------

// With PARADE_CLOCK_LOG=FILE, the idle handler adds a line a frame: the steady clock in seconds,
// then the music heard just before the demo clock is read, the demo time, and the music heard
// just after, in patterns (-1 while no music plays). clockLogOn opens the file at its first
// call and is true while lines are written; a file that cannot be opened or written is said
// once on standard error, with the system's reason, and the show goes on without it. Neither
// ever waits: a FIFO with no reader yet is opened once one comes, and while its reader is
// behind lines are left out (said once).
bool clockLogOn();
void writeClockLine(double heardBefore, double time, double heardAfter);

// Where the music is heard now, in patterns into the song; -1 while none plays.
double heardMusicPatterns();

// Copies the demo clock into the demo time and asks for a frame unless paused; with the loop
// on, a time past the show's end starts it again.
void idleHandler();
void displayHandler();
void reshapeHandler(int width, int height);
void keyboardHandler(unsigned char key, int x, int y);
void menuHandler(int value);
// Makes the demo's window current and prepares its graphics (initShowGraphics).
void initGraphicsState();
// The one-time building (initOnce), the texture set and the fixed GL state, on the current
// context: no toolkit call, so that a context without a window (the capture's) takes it too.
void initShowGraphics();
void initOnce();
