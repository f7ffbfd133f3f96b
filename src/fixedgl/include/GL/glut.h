// <GL/glut.h> built against the fixed-function layer: the same as the layer's <GL/freeglut.h>,
// which brings in the real toolkit and maps its shapes and its buffer swap onto the layer.
#pragma once
#include <GL/freeglut.h>
