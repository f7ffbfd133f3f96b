// The demo's X display: the check before start-up, what happens when the connection breaks or
// the window is destroyed under us, the swap interval of the window, -geometry as Xlib reads
// it, and the window on a private X server for rendering without a display.
#include "shell.h"

#include "music.h"
#include "platform.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace {
Display* heldDisplay = nullptr;
const char* displayName = nullptr; // the display the demo was started on
GLXDrawable demoWindow = 0;
int glxErrorBase = -1;

// The GLX protocol's error numbers for a drawable that is not there (added to its error base).
constexpr int glxBadDrawable = 2;
constexpr int glxBadCurrentDrawable = 11;
constexpr int glxBadWindow = 12;

bool windowGoneError(const XErrorEvent& event) {
    if (demoWindow == 0 || event.resourceid != demoWindow)
        return false;
    const int code = event.error_code;
    if (code == BadWindow || code == BadDrawable)
        return true;
    return glxErrorBase >= 0 &&
           (code == glxErrorBase + glxBadDrawable || code == glxErrorBase + glxBadCurrentDrawable ||
            code == glxErrorBase + glxBadWindow);
}

[[noreturn]] int connectionLost(Display*) {
    // Xlib's own handler would call exit with the audio thread still running.
    haltMusic();
    std::fputs("parade: the connection to the X display was lost\n", stderr);
    exitImmediately(1);
}

// True when the server has closed the connection (it went away, or another client killed ours),
// also while replies it sent before are still unread. Makes no request, so an error handler may
// ask.
bool connectionClosed(Display* display) {
    pollfd watch{ConnectionNumber(display), POLLRDHUP, 0};
    return poll(&watch, 1, 0) > 0 && (watch.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

// Whether the toolkit's connection is gone: once a context is current, from its socket; before
// (the toolkit opening the display or the window), from whether the display can still be
// reached at all.
bool toolkitConnectionLost() {
    if (Display* display = glXGetCurrentDisplay())
        return connectionClosed(display);
    Display* probe = XOpenDisplay(displayName);
    if (probe == nullptr)
        return true;
    XCloseDisplay(probe);
    return false;
}

// The toolkit's fatal errors. A connection lost at a moment when the toolkit makes a context (a
// menu's, say) or opens the display fails there rather than in Xlib: it is said as every lost
// connection is. Anything else is the toolkit's own failure, said in the program's words.
[[noreturn]] void toolkitFailed(const char* format, va_list arguments) {
    if (toolkitConnectionLost())
        connectionLost(nullptr);
    char text[256];
    std::vsnprintf(text, sizeof text, format, arguments);
    haltMusic();
    std::fprintf(stderr, "parade: the toolkit failed: %s\n", text);
    exitImmediately(1);
}

int protocolError(Display* display, XErrorEvent* event) {
    // Requests made as the server closed the connection fail first, or are failed by the GL
    // library itself: the connection was lost.
    if (connectionClosed(display))
        connectionLost(display);
    // Another client destroyed the window: GLUT learns it from the server and ends its main
    // loop as when the window is closed; requests already on their way fail and are let pass.
    if (windowGoneError(*event)) {
        if (glutGet(GLUT_INIT_STATE))
            glutLeaveMainLoop();
        return 0;
    }
    char text[160] = "";
    XGetErrorText(display, event->error_code, text, sizeof text);
    haltMusic();
    std::fprintf(stderr, "parade: X error: %s (request %d.%d)\n", text, event->request_code,
                 event->minor_code);
    exitImmediately(1);
}

bool swapRefused = false;

int noteRefusal(Display*, XErrorEvent*) {
    swapRefused = true;
    return 0;
}

template <typename Function> Function glxFunction(const char* name) {
    return reinterpret_cast<Function>(glXGetProcAddress(reinterpret_cast<const GLubyte*>(name)));
}
} // namespace

bool parseGeometrySize(const char* geometry, unsigned& width, unsigned& height) {
    int x = 0, y = 0;
    const int given = XParseGeometry(geometry, &x, &y, &width, &height);
    return (given & WidthValue) && (given & HeightValue);
}

namespace {
// The GL library can crash on a reply that never came when the server goes away while the
// toolkit sets up the display and the window. While the check's connection is held, such a
// crash with that connection closed too is said as a lost connection; any other crash is one.
int heldConnection = -1;
struct sigaction crashAction {};

void crashedWhileStarting(int) {
    pollfd watch{heldConnection, POLLRDHUP, 0};
    if (heldConnection >= 0 && poll(&watch, 1, 0) > 0 &&
        (watch.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
        static const char line[] = "parade: the connection to the X display was lost\n";
        if (write(STDERR_FILENO, line, sizeof line - 1) < 0) {
        }
        _exit(1);
    }
    // Returning re-runs the faulting instruction, which now crashes as it would have.
    sigaction(SIGSEGV, &crashAction, nullptr);
}
} // namespace

bool holdDisplay(const char* name) {
    releaseHeldDisplay();
    heldDisplay = XOpenDisplay(name);
    if (heldDisplay == nullptr)
        return false;
    heldConnection = ConnectionNumber(heldDisplay);
    struct sigaction guard {};
    guard.sa_handler = crashedWhileStarting;
    sigemptyset(&guard.sa_mask);
    sigaction(SIGSEGV, &guard, &crashAction);
    return true;
}

void releaseHeldDisplay() {
    if (heldDisplay == nullptr)
        return;
    sigaction(SIGSEGV, &crashAction, nullptr);
    heldConnection = -1;
    XCloseDisplay(heldDisplay);
    heldDisplay = nullptr;
}

void catchDisplayErrors(const char* name) {
    displayName = name;
    XSetIOErrorHandler(connectionLost);
    XSetErrorHandler(protocolError);
    glutInitErrorFunc(toolkitFailed);
}

void watchDisplayConnection() {
    demoWindow = glXGetCurrentDrawable();
    int eventBase = 0;
    if (!glXQueryExtension(glXGetCurrentDisplay(), &glxErrorBase, &eventBase))
        glxErrorBase = -1;
}

bool demoWindowSize(int& width, int& height) {
    Display* display = glXGetCurrentDisplay();
    if (!display || demoWindow == 0)
        return false;
    Window root = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, demoWindow, &root, &x, &y, &w, &h, &border, &depth))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

const char* useSwapInterval() {
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || drawable == 0)
        return "";
    int screen = DefaultScreen(display);
    glXQueryContext(display, glXGetCurrentContext(), GLX_SCREEN, &screen);
    const char* extensions = glXQueryExtensionsString(display, screen);
    const int interval = wantedSwapInterval();

    if (extensionListed(extensions, "GLX_EXT_swap_control")) {
        auto swapInterval = glxFunction<PFNGLXSWAPINTERVALEXTPROC>("glXSwapIntervalEXT");
        if (swapInterval) {
            // A driver that refuses the request answers with an X error: the demo runs on
            // without the interval rather than ending on it.
            swapRefused = false;
            XErrorHandler previous = XSetErrorHandler(noteRefusal);
            swapInterval(display, drawable, interval);
            XSync(display, False);
            XSetErrorHandler(previous);
            if (!swapRefused)
                return "GLX_EXT_swap_control";
        }
    }
    if (extensionListed(extensions, "GLX_MESA_swap_control")) {
        auto swapInterval = glxFunction<PFNGLXSWAPINTERVALMESAPROC>("glXSwapIntervalMESA");
        if (swapInterval && swapInterval(static_cast<unsigned>(interval)) == 0)
            return "GLX_MESA_swap_control";
    }
    // This one cannot turn the interval off; with PARADE_VSYNC=0 the driver's default stays.
    if (interval != 0 && extensionListed(extensions, "GLX_SGI_swap_control")) {
        auto swapInterval = glxFunction<PFNGLXSWAPINTERVALSGIPROC>("glXSwapIntervalSGI");
        if (swapInterval && swapInterval(interval) == 0)
            return "GLX_SGI_swap_control";
    }
    return "";
}

bool openHeadlessWindow(const char* name, int width, int height, std::string& error) {
    if (startPrivateXServer(std::max(width, 64), std::max(height, 64), error).empty())
        return false;
    int argc = 1;
    std::string programName = name;
    char* argv[] = {programName.data(), nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    // Without a window manager GLUT would leave it a pixel off the screen's corner.
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width, height);
    if (glutCreateWindow(name) != 1 || glutGet(GLUT_WINDOW_WIDTH) != width ||
        glutGet(GLUT_WINDOW_HEIGHT) != height) {
        error = "cannot open a " + std::to_string(width) + "x" + std::to_string(height) + " window";
        return false;
    }
    return true;
}
