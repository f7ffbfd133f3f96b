// The display-list builder: every shape the show draws, compiled once under its fixed id.
#include "geometry.h"
#include "glyph_layout.h"

#include <cmath>

namespace {

constexpr GLuint cellCubeList = 1;
constexpr GLuint solidCubeList = 667;
constexpr GLuint wireCubeList = 668;
constexpr GLuint arcOutlineList = 671;

// One cube of list 1, shrunk to 0.75, on every ink cell of the glyph's window. The push,
// translate and pop are recorded for blank cells too.
void compileGlyphList(int listId) {
    const GlyphWindow window = glyphWindow(listId);
    glNewList(static_cast<GLuint>(listId), GL_COMPILE);
    for (int j = 0; j < window.width; ++j) {
        for (int r = 0; r < glyphGridRows; ++r) {
            glPushMatrix();
            glTranslatef(static_cast<float>(r - 5), static_cast<float>(j) - 7.5f, 0.0f);
            if (glyphGrid[r * glyphGridColumns + window.firstColumn + j] == 0) {
                glScalef(0.75f, 0.75f, 0.75f);
                glCallList(cellCubeList);
            }
            glPopMatrix();
        }
    }
    glEndList();
}

// Half size, shifted by -5 cells in x and by the base in y; letters from last to first.
void compileWordList(const WordList& list) {
    int letterCount = 0;
    while (list.word[letterCount] != '\0')
        ++letterCount;
    glNewList(list.id, GL_COMPILE);
    glPushMatrix();
    glScalef(0.5f, 0.5f, 0.5f);
    glTranslatef(-5.0f, list.base, 0.0f);
    for (int k = letterCount - 1; k >= 0; --k) {
        const int glyph = glyphListId(list.word[k]);
        // The blank between two words takes its pitch and draws nothing.
        if (glyph == 0)
            continue;
        glPushMatrix();
        glTranslatef(0.0f, static_cast<float>(letterOffset(list.word, k)), 0.0f);
        glCallList(static_cast<GLuint>(glyph));
        glPopMatrix();
    }
    glPopMatrix();
    glEndList();
}

// A zig-zag between an outer quarter ellipse at x = 0 and an inner one at x = -0.25 and +0.25.
void compileArcOutline() {
    const double pi = 3.14159265358979323846;
    glNewList(arcOutlineList, GL_COMPILE);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < 16; ++i) {
        const float a0 = static_cast<float>(i * pi / 32.0);
        const float a1 = static_cast<float>((i + 1) * pi / 32.0);
        glVertex3f(0.0f, 6.25f * std::cos(a0), 9.25f * std::sin(a0));
        glVertex3f(0.0f, 6.25f * std::cos(a1), 9.25f * std::sin(a1));
        glVertex3f(-0.25f, 5.75f * std::cos(a1), 8.75f * std::sin(a1));
        glVertex3f(-0.25f, 5.75f * std::cos(a0), 8.75f * std::sin(a0));
        glVertex3f(0.25f, 5.75f * std::cos(a0), 8.75f * std::sin(a0));
        glVertex3f(0.25f, 5.75f * std::cos(a1), 8.75f * std::sin(a1));
    }
    glEnd();
    glEndList();
}

// The tube radii are single-precision values widened to double.
struct TorusList {
    GLuint id;
    float innerRadius;
    double outerRadius;
    int sides;
    int rings;
};

constexpr TorusList solidTori[] = {
    {660, 0.17f, 1.5, 4, 21},
    {661, 0.07f, 1.5, 4, 21},
};
constexpr TorusList thinSolidTorus = {666, 0.07f, 1.5, 3, 9};
constexpr TorusList wireTorus = {670, 0.05f, 0.5, 3, 4};

void compileSolidTorus(const TorusList& torus) {
    glNewList(torus.id, GL_COMPILE);
    drawSolidTorus(static_cast<double>(torus.innerRadius), torus.outerRadius, torus.sides,
                   torus.rings);
    glEndList();
}

} // namespace

void buildDisplayLists() {
    glNewList(cellCubeList, GL_COMPILE);
    drawSolidCube(1.25f);
    glEndList();

    for (int id = firstGlyphList; id <= lastGlyphList; ++id)
        compileGlyphList(id);
    for (const WordList& list : spareWordLists)
        compileWordList(list);
    for (const WordList& list : lyricWordLists)
        compileWordList(list);

    for (const TorusList& torus : solidTori)
        compileSolidTorus(torus);
    glNewList(662, GL_COMPILE);
    drawSolidSphere(1.0, 15, 15);
    glEndList();
    compileSolidTorus(thinSolidTorus);

    glNewList(solidCubeList, GL_COMPILE);
    drawSolidCube(1.25f);
    glEndList();
    glNewList(wireCubeList, GL_COMPILE);
    drawWireCube(1.25f);
    glEndList();

    glNewList(wireTorus.id, GL_COMPILE);
    drawWireTorus(static_cast<double>(wireTorus.innerRadius), wireTorus.outerRadius,
                  wireTorus.sides, wireTorus.rings);
    glEndList();
    compileArcOutline();
}
