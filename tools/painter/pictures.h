// The seventeen default pictures of the texture set, each painted for its role on screen.
#pragma once

#include "canvas.h"

constexpr int pictureCount = 17;

// File names in the texture set's load order.
extern const char* const pictureNames[pictureCount];

// Paints picture `index` (0..16, in load order) onto a fresh canvas.
Canvas paintPicture(int index);
