// The letter layers: four block characters (A, K, 4, 7) of cubes in one 8 x 15 field, each
// lit only while its own instrument sounds, each growing in depth with a partner instrument.
#include "cube_tables.h"
#include "effects.h"

#include "music.h"

#include <GL/gl.h>

namespace {

// One string per row, column 0 first: '#' carries a cube.
constexpr const char* letterRowsText[letterLayerCount][letterRows] = {
    {".#############.", "###############", "###############", "###.........###", "###.........###",
     "###############", "###############", "###.........###"},
    {"###.....#######", "###.....#######", "###....###.....", "###...###......", "##############.",
     "###############", "###.........###", "..............."},
    {"###.........###", "###.........###", "###.........###", "###.........###", "###.........###",
     "###############", ".##############", "............###"},
    {"##############.", "###############", "............###", "............###", "............###",
     "............###", "............###", "..............."},
};

constexpr std::array<int32_t, letterLayerCount * letterRows * letterColumns> expandLetters() {
    std::array<int32_t, letterLayerCount * letterRows * letterColumns> cells{};
    for (int layer = 0; layer < letterLayerCount; ++layer) {
        for (int j = 0; j < letterRows; ++j) {
            const char* row = letterRowsText[layer][j];
            for (int i = 0; i < letterColumns; ++i) {
                // A row shorter or longer than the field makes this fail to compile.
                if (row[i] != '#' && row[i] != '.')
                    throw "letter row shorter than the field";
                cells[120 * layer + 15 * j + i] = row[i] == '#' ? 1 : 0;
            }
            if (row[letterColumns] != '\0')
                throw "letter row longer than the field";
        }
    }
    return cells;
}

// Per layer: which SyncPoint lights it, its base scale, which SyncPoint deepens it.
struct LetterLayer {
    int colourSync;
    float scale;
    int depthSync;
};

// SyncPoints 2, 3, 4 and 0 watch instruments 7, 8, 9 and 10.
const LetterLayer letterLayerTable[letterLayerCount] = {
    {2, 0.72f, 0}, {3, 0.715f, 4}, {4, 0.71f, 3}, {0, 0.705f, 2}};

} // namespace

constexpr std::array<int32_t, letterLayerCount* letterRows* letterColumns> letterTable =
    expandLetters();

void letterLayers(int pose) {
    float level[syncPointCount] = {};
    for (int sync : {2, 3, 4, 0})
        level[sync] = 0.95f * linearDecay(syncPoints[sync], 1.75f);

    glPushMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    if (pose >= 0 && pose <= 3)
        cameraPose(pose + 1);
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glPolygonMode(GL_FRONT, GL_FILL);

    for (int i = 0; i < letterColumns; ++i) {
        for (int j = 0; j < letterRows; ++j) {
            glPushMatrix();
            glTranslatef(static_cast<float>(j - 4), static_cast<float>(i) - 7.5f, 0.0f);
            // No push between layers: a later layer's scale multiplies onto the earlier ones.
            for (int layer = 0; layer < letterLayerCount; ++layer) {
                if (letterTable[120 * layer + 15 * j + i] != 1)
                    continue;
                const LetterLayer& p = letterLayerTable[layer];
                const float e = level[p.colourSync];
                const float d = level[p.depthSync];
                glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                             materialColor(0.77f * e, 0.78f * e, 0.83f * e, e));
                glScalef(p.scale, p.scale, p.scale + d);
                glCallList(solidCubeList);
            }
            glPopMatrix();
        }
    }
    glPopMatrix();
}
