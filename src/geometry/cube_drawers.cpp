// Axis-aligned cubes centred on the origin, emitted through vertex arrays. Meant to run while a
// display list is being compiled: the list stores the dereferenced vertices, positions only.
#include "geometry.h"

namespace {

// Vertex v has x = +h when bit 2 is set, y = +h for bit 1, z = +h for bit 0.
void writeCubeVertices(float* vertices, float size) {
    const float h = size * 0.5f;
    for (int v = 0; v < 8; ++v) {
        vertices[v * 3 + 0] = (v & 4) ? h : -h;
        vertices[v * 3 + 1] = (v & 2) ? h : -h;
        vertices[v * 3 + 2] = (v & 1) ? h : -h;
    }
}

// Each drawer owns its tables and rewrites them on every call.
float solidVertices[8 * 3];
GLubyte solidStripA[8];
GLubyte solidStripB[8];
float wireVertices[8 * 3];
GLubyte wireIndices[24];

// Inside the caller's saved client state: positions only, so no other array the caller left
// enabled is read (or stored in the list being compiled).
void usePositionsOnly(const float* vertices) {
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
}

} // namespace

void drawSolidCube(float size) {
    writeCubeVertices(solidVertices, size);
    // Two strips of three quads each; every face winds counter-clockwise seen from outside.
    const GLubyte stripA[8] = {0, 1, 2, 3, 6, 7, 4, 5};
    const GLubyte stripB[8] = {2, 6, 0, 4, 1, 5, 3, 7};
    for (int i = 0; i < 8; ++i) {
        solidStripA[i] = stripA[i];
        solidStripB[i] = stripB[i];
    }
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    usePositionsOnly(solidVertices);
    glDrawElements(GL_QUAD_STRIP, 8, GL_UNSIGNED_BYTE, solidStripA);
    glDrawElements(GL_QUAD_STRIP, 8, GL_UNSIGNED_BYTE, solidStripB);
    glPopClientAttrib();
}

void drawWireCube(float size) {
    writeCubeVertices(wireVertices, size);
    // Edges along z, then along y, then along x.
    const GLubyte edges[24] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 2, 1, 3,
                               4, 6, 5, 7, 0, 4, 1, 5, 2, 6, 3, 7};
    for (int i = 0; i < 24; ++i)
        wireIndices[i] = edges[i];
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    usePositionsOnly(wireVertices);
    glDrawElements(GL_LINES, 24, GL_UNSIGNED_BYTE, wireIndices);
    glPopClientAttrib();
}
