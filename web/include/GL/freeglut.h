// The browser's toolkit offers the standard GLUT interface only; the demo's code includes
// <GL/freeglut.h>, so this names it. The calls that toolkit lacks (menu, game mode, window
// selection) are in src/platform/web/glut_web.cpp.
#pragma once

#include <GL/freeglut_std.h>
