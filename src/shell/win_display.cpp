// The demo's display on Windows: the desktop needs no connection held, the window is Win32's
// under GLUT (closing or destroying it ends GLUT's main loop), -geometry as freeglut reads it
// there, and the swap interval through WGL.
#include "shell.h"

#include "music.h"
#include "platform.h"

#include <windows.h>

#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// freeglut's own reading of -geometry on Windows, the one glutInit uses (Xlib's rules).
extern "C" int XParseGeometry(const char* string, int* x, int* y, unsigned int* width,
                              unsigned int* height);

namespace {
// Xlib's bits for the parts a geometry gives.
constexpr int widthValue = 0x0004;
constexpr int heightValue = 0x0008;

HWND demoWindow = nullptr;

// The toolkit's fatal errors (no pixel format, no context), said in the program's words after
// the music is stopped.
[[noreturn]] void toolkitFailed(const char* format, va_list arguments) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, arguments);
    haltMusic();
    std::fprintf(stderr, "parade: the toolkit failed: %s\n", text);
    exitImmediately(1);
}

template <typename Function> Function wglFunction(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}
} // namespace

bool parseGeometrySize(const char* geometry, unsigned& width, unsigned& height) {
    int x = 0, y = 0;
    const int given = XParseGeometry(geometry, &x, &y, &width, &height);
    return (given & widthValue) && (given & heightValue);
}

bool holdDisplay(const char*) {
    // GLUT on Windows reads DISPLAY as the name of a display device (\\.\DISPLAY1) for the
    // screen's size and the game mode; an X display name left there by Wine or Cygwin names
    // none, so GLUT is not shown it.
    const char* name = std::getenv("DISPLAY");
    if (name && std::strncmp(name, "\\\\.\\", 4) != 0)
        _putenv("DISPLAY=");
    return true;
}

void releaseHeldDisplay() {}

void catchDisplayErrors(const char*) {
    glutInitErrorFunc(toolkitFailed);
}

void watchDisplayConnection() {
    demoWindow = WindowFromDC(wglGetCurrentDC());
}

bool demoWindowSize(int& width, int& height) {
    RECT client{};
    if (demoWindow == nullptr || !GetClientRect(demoWindow, &client))
        return false;
    width = static_cast<int>(client.right - client.left);
    height = static_cast<int>(client.bottom - client.top);
    return true;
}

const char* useSwapInterval() {
    const HDC device = wglGetCurrentDC();
    if (device == nullptr)
        return "";
    // The WGL extensions are listed by either of two calls, depending on the driver.
    using ExtensionsArb = const char*(WINAPI*)(HDC);
    using ExtensionsExt = const char*(WINAPI*)();
    const char* extensions = nullptr;
    if (auto listArb = wglFunction<ExtensionsArb>("wglGetExtensionsStringARB"))
        extensions = listArb(device);
    if (!extensionListed(extensions, "WGL_EXT_swap_control")) {
        if (auto listExt = wglFunction<ExtensionsExt>("wglGetExtensionsStringEXT"))
            extensions = listExt();
    }
    if (!extensionListed(extensions, "WGL_EXT_swap_control"))
        return "";
    using SwapInterval = BOOL(WINAPI*)(int);
    auto swapInterval = wglFunction<SwapInterval>("wglSwapIntervalEXT");
    if (swapInterval && swapInterval(wantedSwapInterval()))
        return "WGL_EXT_swap_control";
    return "";
}
