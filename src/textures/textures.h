// Textures: turns picture files (JPEG through libjpeg, or raw 512x512 RGB) into OpenGL
// textures of 512x512 (256x256 when the implementation refuses the larger size), and loads
// the fixed set of seventeen pictures into named slots.
#pragma once

#include <GL/gl.h>

// Texture slots, in load order; 0 until loadTextureSet has run.
extern GLuint texHappy2, texHappy3, texKuvio, texTurin, texTurin2, texMilan, texSponssi, texLogo,
    texGreets, texHappy4, texSponssi1, texSponssi2, texPutket3, texH1, texH2, texH3, texRenpils;

constexpr int textureSetSize = 17;

// Creates one texture from `path` (JPEG when the path contains ".jpg"), leaves it bound to
// GL_TEXTURE_2D and returns its name. A file that cannot be opened is reported on standard
// error and still yields a name; a folder, FIFO or device is reported and shown black.
GLuint loadTexture(const char* path);

// Decodes a JPEG into a newly allocated 512x512 RGB buffer (free with std::free), scaling
// other sizes and widening grayscale. A picture that cannot be turned into RGB, is too large
// to decode cheaply or is not a regular file is reported and comes back black; a file that
// cannot be opened or a buffer that cannot be allocated is reported and gives nullptr.
// Corrupt data ends the process (status 1): a line naming the file, then the library's
// message.
unsigned char* loadJpeg(const char* path);

// Uploads a 512x512 RGB buffer (or none) to the bound texture, box-filtering it in place to
// 256x256 when the 512x512 upload reports an error.
void uploadTexture(unsigned char* pixels);

// Halves a 512x512 RGB picture in place to 256x256 with a rounding 2x2 box filter.
void boxFilterHalve(unsigned char* pixels);

// Loads the seventeen pictures of "deita/" into their slots, in load order.
void loadTextureSet();
