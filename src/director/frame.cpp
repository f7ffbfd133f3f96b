// drawFrame: one frame of the show, composed in a fixed order (the pictures are added without
// depth test before the 3D act, so the order is part of the picture). Every state it changes
// is undone by one attribute pop and one pop on each matrix stack.
#include "director.h"

#include "clock.h"
#include "controls.h"
#include "effects.h"
#include "music.h"

#include <cmath>
#include <cstdlib>

void drawFrame() {
    const float t = demoTime;

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (showHasEnded(t)) {
        // The audio thread must be stopped before the runtime's exit tears down what it uses.
        haltMusic();
        std::exit(0);
    }

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1.0f, 1.0f, 1.0f, 0.0f);

    float beat = beatLevel();
    const SceneRange range = sceneRangeAt(t);
    if (range.matched)
        backdropNumber = range.backdrop;
    beat = modifyBeatLevel(beat, range.modifier, t);
    effectSelector = scheduledSelector(t, effectSelector);

    // The flat pictures lie at eye depth 0, where the linear fog from 30 to 60 leaves them
    // untouched; turning it off until the 3D part saves about a sixth of their fill time.
    glDisable(GL_FOG);
    if (spaceToggle != 0)
        drawLayerStack(backdropNumber, range.motion, range.flicker, beat);
    glDisable(GL_TEXTURE_2D);
    if (sponsorOverlayShown(t))
        drawSponsorOverlay(t);
    drawPipeOverlay(t);
    if (closingPicturesShown(t))
        drawClosingPictures(t);

    glEnable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
    // Lines and points grow with the band, so that they keep their share of it.
    const float lineWidth = placedLineScale();
    glPointSize(4.0f * lineWidth);
    glLineWidth(lineWidth);
    // Our GL layer clips wide lines and points to the viewport like triangles; the real GL
    // draws them whole wherever their centre is in view, also past the viewport's edge, so
    // there the scissor keeps them inside the band.
#if !defined(PARADE_FIXEDGL)
    GLint band[4];
    glGetIntegerv(GL_VIEWPORT, band);
    glScissor(band[0], band[1], band[2], band[3]);
    glEnable(GL_SCISSOR_TEST);
#endif

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glFrustum(-1.0, 1.0, -0.5, 0.5, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();

    // The light circles the viewer at radius 2; its position is given in eye coordinates.
    const double turn = 4.0 * t;
    glLightfv(GL_LIGHT0, GL_POSITION,
              materialColorOpaque(static_cast<float>(2.0 * std::sin(turn)), 0.0f,
                                  static_cast<float>(2.0 * std::cos(turn))));
    const LightColour diffuse = lightDiffuse(t);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, materialColorOpaque(diffuse.r, diffuse.g, diffuse.b));
    glLightfv(GL_LIGHT0, GL_AMBIENT, materialColorOpaque(0.22f, 0.43f, 0.55f));

    glPolygonMode(GL_FRONT, GL_FILL);
    runAct(effectSelector);
    if (extraFlipbookShown(t))
        flipbookSections(1);

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}
