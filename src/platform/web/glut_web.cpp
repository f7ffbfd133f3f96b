// The GLUT calls the browser's toolkit lacks: the popup menu, handed to the page, which shows
// it on the right button and sends the chosen value back; game mode, which a page cannot
// enter (the caller then opens a window, the canvas, and the page offers its full-screen
// button); and window selection, where the canvas is the only window.
#include <emscripten.h>

#include <string>
#include <vector>

namespace {
void (*menuCallback)(int) = nullptr;
} // namespace

// clang-format off
EM_JS(void, jsMenuReset, (), {
    Module.paradeMenu = { entries: [], button: -1 };
});

EM_JS(void, jsMenuAdd, (const char* label, int value), {
    Module.paradeMenu.entries.push({ label: UTF8ToString(label), value: value });
    if (Module.paradeMenuChanged)
        Module.paradeMenuChanged();
});

EM_JS(void, jsMenuAttach, (int button), {
    Module.paradeMenu.button = button;
    if (Module.paradeMenuChanged)
        Module.paradeMenuChanged();
});
// clang-format on

extern "C" {

void glutIdleFunc(void (*callback)());
void glutKeyboardFunc(void (*callback)(unsigned char, int, int));
void glutSpecialFunc(void (*callback)(int, int, int));

// The page calls this once the program has ended (exit from a key, the menu or the end of the
// show): the browser's toolkit would otherwise go on calling the idle and key callbacks.
EMSCRIPTEN_KEEPALIVE void webStopShow() {
    glutIdleFunc(nullptr);
    glutKeyboardFunc(nullptr);
    glutSpecialFunc(nullptr);
    menuCallback = nullptr;
}

int glutCreateMenu(void (*callback)(int)) {
    menuCallback = callback;
    jsMenuReset();
    return 1;
}

void glutAddMenuEntry(const char* label, int value) {
    jsMenuAdd(label, value);
}

void glutAttachMenu(int button) {
    jsMenuAttach(button);
}

// The page calls this with the value of the entry the viewer chose.
EMSCRIPTEN_KEEPALIVE void webMenuChoose(int value) {
    if (menuCallback != nullptr)
        menuCallback(value);
}

void glutGameModeString(const char*) {}

int glutGameModeGet(unsigned int) {
    return 0;
}

int glutEnterGameMode() {
    return 0;
}

void glutSetWindow(int) {}
}
