// Geometry: every shape compiled once into a display list under a fixed id (the cell cube 1,
// glyph lists 33-68, spare words 100-112, lyric words 200-225, toolkit shapes 660-666, the solid
// and wire cubes 667 and 668, the arc 671 and the meshes 669, 676, 679, 680). Users call the
// lists by number; nothing allocates or looks them up.
#pragma once

#include <GL/gl.h>
#include <array>
#include <cstdint>

constexpr int glyphGridRows = 10;
constexpr int glyphGridColumns = 599;

// The cube-bitmap font: 10 rows x 599 columns, row by row; 0 is ink, 1 is blank.
extern const std::array<int32_t, glyphGridRows * glyphGridColumns> glyphGrid;

// One triangle mesh carried as constant tables.
struct MeshTable {
    const float* vertices; // vertexCount x (x, y, z)
    const float* normals;  // vertexCount unit normals
    const uint16_t* indices;
    int vertexCount;
    int indexCount;
};

// The four carried meshes, generated at build time: a handgun (list 669), a slab of lettering
// (676), a round emblem (679) and a coarse emblem (680).
extern const MeshTable meshHandgun, meshLettering, meshEmblem, meshEmblemCoarse;

// Axis-aligned cubes centred on the origin through vertex arrays; meant for list compilation.
void drawSolidCube(float size);
void drawWireCube(float size);

// The toolkit's torus (around the z axis) and sphere (radius around the origin), as it builds
// them, drawn through vertex and normal arrays; meant for list compilation.
void drawSolidTorus(GLdouble innerRadius, GLdouble outerRadius, GLint sides, GLint rings);
void drawWireTorus(GLdouble innerRadius, GLdouble outerRadius, GLint sides, GLint rings);
void drawSolidSphere(GLdouble radius, GLint slices, GLint stacks);

// Compiles every list but the meshes; needs a current context (no window).
void buildDisplayLists();

// Compiles one mesh table into list `id`.
void buildMeshList(GLuint id, const MeshTable& mesh);
