// Start-up: the command-line scan, the banner, the window or game mode, the fixed OpenGL
// state, the one-time building of lists and textures, and the callbacks with the menu.
#include "shell.h"

#include "geometry.h"
#include "platform.h"
#include "textures.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

void printBanner() {
    // The console of old spoke code page 437, where 0x84 is the letter a-umlaut.
    const char* aUmlaut = consoleSpeaksUtf8() ? "\xC3\xA4" : "\x84";
    std::printf("qvh tarna kerho esitt%s%s:\n\"Quiet Harbour Parade\"", aUmlaut, aUmlaut);
    std::fflush(stdout);
}

int maxWindowWidth = INT_MAX;
int maxWindowHeight = INT_MAX;

namespace {
// The limits need a context, so a large window starts at a size every renderer draws and
// grows to what it asked for once they are known.
constexpr int safeWindowSide = 2048;

void readWindowLimits() {
#if defined(PARADE_FIXEDGL)
    // Our GL layer answers no limit queries; in the page the canvas has the size it is given.
#else
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    // GL 1.1 has no renderbuffers; where the query is unknown it leaves 0 and an error behind.
    GLint renderbuffer = 0;
    glGetIntegerv(0x84E8 /* GL_MAX_RENDERBUFFER_SIZE */, &renderbuffer);
    while (glGetError() != GL_NO_ERROR) {
    }
    maxWindowWidth = viewport[0] > 0 ? viewport[0] : INT_MAX;
    maxWindowHeight = viewport[1] > 0 ? viewport[1] : INT_MAX;
    if (renderbuffer > 0) {
        maxWindowWidth = std::min(maxWindowWidth, static_cast<int>(renderbuffer));
        maxWindowHeight = std::min(maxWindowHeight, static_cast<int>(renderbuffer));
    }
#endif
}
} // namespace

void openDemoWindow(bool fullScreen, const char* title, int givenWidth, int givenHeight) {
    if (!fullScreen) {
        const bool sizeGiven = givenWidth > 0 && givenHeight > 0;
        if (sizeGiven)
            glutInitWindowSize(std::min(givenWidth, safeWindowSide),
                               std::min(givenHeight, safeWindowSide));
        else
            glutInitWindowSize(640, 480);
        glutCreateWindow(title);
        readWindowLimits();
        if (!sizeGiven)
            return;
        const int width = std::min(givenWidth, maxWindowWidth);
        const int height = std::min(givenHeight, maxWindowHeight);
        if (width != givenWidth || height != givenHeight)
            std::fprintf(stderr,
                         "parade: the renderer draws at most %dx%d pixels; "
                         "opening a %dx%d window instead of %dx%d\n",
                         maxWindowWidth, maxWindowHeight, width, height, givenWidth, givenHeight);
        if (width > safeWindowSide || height > safeWindowSide)
            glutReshapeWindow(width, height);
        return;
    }
    glutGameModeString("640x480:32");
    if (glutGameModeGet(GLUT_GAME_MODE_POSSIBLE)) {
        glutEnterGameMode();
        if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE))
            return;
    }
    // Without game mode freeglut would end in its main loop with no window at all.
    const int width = glutGet(GLUT_SCREEN_WIDTH);
    const int height = glutGet(GLUT_SCREEN_HEIGHT);
    std::fprintf(stderr,
                 "parade: full-screen game mode 640x480:32 is not available here; "
                 "showing a full-screen window of %dx%d instead\n",
                 width, height);
    // Without a window manager GLUT would leave it a pixel off the screen's corner.
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width, height);
    glutCreateWindow(title);
    readWindowLimits();
    glutFullScreen();
}

void initOnce() {
    static int initialised = 0;
    if (initialised != 0)
        return;
    initialised = 1;
    buildDisplayLists();
    buildMeshList(669, meshHandgun);
    buildMeshList(676, meshLettering);
    buildMeshList(679, meshEmblem);
    buildMeshList(680, meshEmblemCoarse);
}

void initGraphicsState() {
    glutSetWindow(1);
    initShowGraphics();
}

void initShowGraphics() {
    initOnce();
    loadTextureSet();
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glFogf(GL_FOG_MODE, static_cast<GLfloat>(GL_LINEAR));
    glFogf(GL_FOG_START, 30.0f);
    glFogf(GL_FOG_END, 60.0f);
    const GLfloat fogColour[4] = {0.0f, 0.02f, 0.1f, 0.5f};
    glFogfv(GL_FOG_COLOR, fogColour);
    glEnable(GL_NORMALIZE);
    glEnable(GL_FOG);
    const GLenum hints[] = {GL_PERSPECTIVE_CORRECTION_HINT, GL_POINT_SMOOTH_HINT,
                            GL_LINE_SMOOTH_HINT, GL_POLYGON_SMOOTH_HINT, GL_FOG_HINT};
    for (GLenum hint : hints)
        glHint(hint, GL_NICEST);
}

void registerCallbacks() {
    glutIdleFunc(idleHandler);
    glutReshapeFunc(reshapeHandler);
    glutDisplayFunc(displayHandler);
    glutKeyboardFunc(keyboardHandler);
    glutSpecialFunc(specialKeyHandler);
    glutCreateMenu(menuHandler);
    glutAddMenuEntry("(un)Pause", 1);
    glutAddMenuEntry("No effect", 666);
    glutAddMenuEntry("Effect1", 667);
    glutAddMenuEntry("Effect2", 668);
    glutAddMenuEntry("Quit", 2);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}

bool fullScreenRequested(int argc, char** argv) {
    bool fullScreen = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strstr(argv[i], "window"))
            fullScreen = false;
        if (std::strstr(argv[i], "full"))
            fullScreen = true;
    }
    return fullScreen;
}
