// The frame in a real Mesa context, with synthetic single-colour pictures in the texture
// slots and the effects replaced by the recording stand-in: the lit colours and alphas of the
// layers and overlays, the composition of drawFrame, and the state it leaves and hands on.
#include "director.h"

#include "clock.h"
#include "controls.h"
#include "director_effect_recorder.h"
#include "effects.h"
#include "gl_harness.h"
#include "music.h"
#include "platform.h"
#include "textures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int size = 64;
constexpr double pi = 3.14159265358979323846;

struct Rgb {
    int r, g, b;
};

// A 4x4 picture whose left two columns are `left` and right two columns `right`.
GLuint makePicture(Rgb left, Rgb right) {
    std::vector<unsigned char> pixels;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            for (int channel : column < 2 ? std::vector<int>{left.r, left.g, left.b}
                                          : std::vector<int>{right.r, right.g, right.b})
                pixels.push_back(static_cast<unsigned char>(channel));
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

GLuint makePicture(Rgb colour) {
    return makePicture(colour, colour);
}

Rgb pixelAt(int x, int y) {
    const std::vector<uint8_t> p = readPixelsRgba(x, y, 1, 1);
    return {p[0], p[1], p[2]};
}

void expectPixel(int x, int y, Rgb expected, int tolerance = 4) {
    const Rgb p = pixelAt(x, y);
    SCOPED_TRACE(testing::Message() << "pixel (" << x << ", " << y << ") = (" << p.r << ", " << p.g
                                    << ", " << p.b << ")");
    EXPECT_NEAR(p.r, expected.r, tolerance);
    EXPECT_NEAR(p.g, expected.g, tolerance);
    EXPECT_NEAR(p.b, expected.b, tolerance);
}

GLuint* const allSlots[textureSetSize] = {
    &texHappy2,  &texHappy3, &texKuvio,  &texTurin,  &texTurin2,   &texMilan,
    &texSponssi, &texLogo,   &texGreets, &texHappy4, &texSponssi1, &texSponssi2,
    &texPutket3, &texH1,     &texH2,     &texH3,     &texRenpils};

class FrameTest : public testing::Test {
  protected:
    void SetUp() override {
        openTestWindow(size, size);
        glViewport(0, 0, size, size);
        black = makePicture({0, 0, 0});
        white = makePicture({255, 255, 255});
        for (GLuint* slot : allSlots)
            *slot = black;
        glBindTexture(GL_TEXTURE_2D, black);
        // The clock stands at 0; every SyncPoint is long past, so all envelopes are quiet.
        useVirtualCounter(1);
        resetDemoClock();
        demoClock();
        for (SyncPoint& sync : syncPoints)
            sync.stamp.store(-1000.0f);
        spaceToggle = 1;
        effectSelector = 7;
        recordedEffectCalls.clear();
        onEffectCall = nullptr;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
    }
    void TearDown() override { onEffectCall = nullptr; }

    // As the display handler calls it.
    void frameAt(float t) {
        demoTime = t;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        drawFrame();
    }

    // The state drawFrame gives the pictures, for drawing one of them alone.
    template <typename Draw> void pictureAlone(float t, Draw draw) {
        demoTime = t;
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        draw();
        glPopAttrib();
    }

    GLuint black = 0;
    GLuint white = 0;
};

// The lit colour of a layer is 1.2 x 0.1 of the picture, added ten times with the layer alpha,
// which lighting clamps to [0, 1].
TEST_F(FrameTest, LayerColourAndAlpha) {
    texKuvio = makePicture({100, 50, 200});
    struct Case {
        float t;
        int flicker;
        float beat;
        float expectedAlpha;
    };
    const float peak = static_cast<float>(pi / 64); // sin(32 t) = 1
    const float trough = static_cast<float>(3 * pi / 64);
    const Case cases[] = {
        {0.0f, 0, 8.0f, 1.0f},      {0.0f, 0, 4.0f, 0.5f},    {0.0f, 0, 0.0f, 0.0f},
        {0.0f, 0, -8.0f, 0.0f},     {0.0f, 0, 16.0f, 1.0f},   {peak, 1, 6.25f, 1.0f},
        {peak, 0, 6.25f, 0.78125f}, {trough, 1, 8.0f, 0.72f}, {trough, 0, 8.0f, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "t = " << c.t << ", flicker " << c.flicker << ", beat " << c.beat);
        pictureAlone(c.t, [&] { drawLayerStack(3, LayerMotion::flat, c.flicker, c.beat); });
        const float a = c.expectedAlpha;
        expectPixel(
            size / 2, size / 2,
            {int(std::lround(120 * a)), int(std::lround(60 * a)), int(std::lround(240 * a))}, 5);
        expectPixel(
            1, size - 2,
            {int(std::lround(120 * a)), int(std::lround(60 * a)), int(std::lround(240 * a))}, 5);
    }
}

// The twice-enlarged picture shows one quadrant per half unit: q = 0 at t = 2.0 translates
// by (0.5, 0.5), which puts the picture's lower left quadrant on screen.
TEST_F(FrameTest, QuadrantZoomShowsOneQuadrantAtATime) {
    // Quadrants: upper left red, upper right green, lower left blue, lower right grey.
    std::vector<unsigned char> pixels;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            const bool upper = row < 2, left = column < 2;
            pixels.push_back(upper && left ? 200 : !upper && !left ? 100 : 0);
            pixels.push_back(upper && !left ? 200 : !upper && !left ? 100 : 0);
            pixels.push_back(!upper && left ? 200 : !upper && !left ? 100 : 0);
        }
    texTurin = makePicture({0, 0, 0});
    glBindTexture(GL_TEXTURE_2D, texTurin);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    struct Case {
        float t;
        Rgb colour;
    };
    const Case cases[] = {
        {2.0f, {0, 0, 240}}, {2.5f, {240, 0, 0}}, {3.0f, {120, 120, 120}}, {1.75f, {0, 240, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        pictureAlone(c.t, [&] { drawLayerStack(4, LayerMotion::quadrantZoom, 0, 8.0f); });
        expectPixel(40, 32, c.colour, 5);
    }
}

TEST_F(FrameTest, SponsorOverlayShowsTheLeftHalfWithoutGreen) {
    texSponssi2 = makePicture({255, 255, 255}, {0, 0, 255});
    const float brightest = static_cast<float>((pi / 2 - 0.5) / 4);
    pictureAlone(brightest, [&] { drawSponsorOverlay(brightest); });
    for (int x : {1, size / 4, size / 2 - 2}) {
        expectPixel(x, size / 2, {31, 0, 31}, 2);
        expectPixel(x, 1, {31, 0, 31}, 2);
    }
    for (int x : {size / 2 + 1, size - 2})
        expectPixel(x, size / 2, {0, 0, 0}, 0);

    const float darkest = static_cast<float>((3 * pi / 2 - 0.5) / 4);
    pictureAlone(darkest, [&] { drawSponsorOverlay(darkest); });
    expectPixel(size / 4, size / 2, {0, 0, 0}, 1);
}

// 0.035 tan((t - 0.5) pi/2): flares up before each pole, hidden for the unit after it.
TEST_F(FrameTest, PipeOverlayAlphaAroundItsPoles) {
    texPutket3 = white;
    struct Case {
        float t;
        int level; // red and blue; 255 x 0.12 x clamped alpha
    };
    const Case cases[] = {{0.5f, 0},  {1.46f, 17}, {1.49f, 31}, {1.51f, 0},
                          {2.49f, 0}, {3.49f, 31}, {5.51f, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        pictureAlone(c.t, [&] { drawPipeOverlay(c.t); });
        expectPixel(size / 2, size / 2, {c.level, 0, c.level}, 2);
        expectPixel(size - 2, 1, {c.level, 0, c.level}, 2);
    }
}

TEST_F(FrameTest, ClosingPicturesFadeInOneAfterTheOther) {
    struct Case {
        float t;
        float alphas[3]; // texH1, texH2, texH3
    };
    const Case cases[] = {
        {24.5f, {0, 0, 0}},
        {25.0f, {0.5f, 0.25f, 0}},
        {25.25f, {0.75f, 0.625f, 0.5f}},
        {std::nextafter(25.5f, 0.0f), {1, 1, 1}},
    };
    GLuint* const pictures[3] = {&texH1, &texH2, &texH3};
    for (const Case& c : cases) {
        for (int shown = 0; shown < 3; ++shown) {
            SCOPED_TRACE(testing::Message() << "t = " << c.t << ", picture " << shown + 1);
            for (int k = 0; k < 3; ++k)
                *pictures[k] = k == shown ? white : black;
            pictureAlone(c.t, [&] { drawClosingPictures(c.t); });
            const int level = int(std::lround(30.6 * c.alphas[shown]));
            expectPixel(size / 2, size / 2, {level, 0, level}, 2);
        }
    }
}

TEST_F(FrameTest, ClosingPicturesOnlyInTheirWindow) {
    texH1 = texH2 = texH3 = white;
    struct Case {
        float t;
        bool visible;
    };
    for (const Case& c : {Case{24.5f, false}, Case{25.4f, true}, Case{25.5f, false}}) {
        frameAt(c.t);
        EXPECT_EQ(pixelAt(size / 2, size / 2).r > 10, c.visible) << "t = " << c.t;
    }
}

// Backdrop numbers 12 and 14 bind nothing: the stack shows the texture bound before the frame.
TEST_F(FrameTest, Backdrop12ShowsTheTextureBoundAtFrameStart) {
    syncPoints[7].stamp.store(0.0f); // a beat level of 8
    glBindTexture(GL_TEXTURE_2D, white);
    frameAt(22.0f);
    EXPECT_EQ(backdropNumber, 12);
    const Rgb lit = pixelAt(size / 2, size / 2);
    EXPECT_GT(lit.r, 60);
    EXPECT_EQ(lit.r, lit.g);
    EXPECT_EQ(lit.g, lit.b);

    glBindTexture(GL_TEXTURE_2D, black);
    frameAt(22.0f);
    expectPixel(size / 2, size / 2, {0, 0, 0}, 0);
}

// One frame per backdrop number, with every picture slot a colour of its own: the stack at the
// centre of the screen shows the colour of the slot the number names. Numbers 12 and 14 name
// none and show the picture bound when the frame begins. The overlays' slots stay black.
TEST_F(FrameTest, EachBackdropNumberShowsItsPicture) {
    struct Slot {
        const char* name;
        GLuint* slot;
        Rgb colour;
    };
    GLuint boundAtStart = 0;
    const Slot slots[] = {
        {"texHappy2", &texHappy2, {200, 0, 0}},
        {"texHappy3", &texHappy3, {0, 200, 0}},
        {"texKuvio", &texKuvio, {0, 0, 200}},
        {"texTurin", &texTurin, {200, 200, 0}},
        {"texTurin2", &texTurin2, {200, 0, 200}},
        {"texMilan", &texMilan, {0, 200, 200}},
        {"texSponssi", &texSponssi, {200, 100, 0}},
        {"texLogo", &texLogo, {200, 0, 100}},
        {"texGreets", &texGreets, {100, 200, 0}},
        {"texHappy4", &texHappy4, {0, 200, 100}},
        {"texRenpils", &texRenpils, {100, 0, 200}},
        {"texSponssi1", &texSponssi1, {0, 100, 200}},
        {"bound at start", &boundAtStart, {200, 200, 200}},
    };
    for (const Slot& s : slots)
        *s.slot = makePicture(s.colour);

    struct Case {
        float t;
        int backdrop;
        const char* picture;
    };
    const Case cases[] = {
        {1.6f, 1, "texHappy2"},         {3.4f, 2, "texHappy3"},     {1.0f, 3, "texKuvio"},
        {9.6f, 4, "texTurin"},          {6.0f, 5, "texTurin2"},     {8.0f, 6, "texMilan"},
        {4.7f, 7, "texSponssi"},        {14.0f, 8, "texLogo"},      {16.0f, 9, "texGreets"},
        {18.0f, 10, "texHappy4"},       {19.55f, 11, "texRenpils"}, {22.5f, 12, "bound at start"},
        {23.45f, 14, "bound at start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t << ", backdrop " << c.backdrop);
        syncPoints[7].stamp.store(0.0f); // a beat level of 8
        glBindTexture(GL_TEXTURE_2D, boundAtStart);
        frameAt(c.t);
        ASSERT_EQ(backdropNumber, c.backdrop);
        // The slot whose colour points the same way as the pixel's.
        const Rgb p = pixelAt(size / 2, size / 2);
        ASSERT_GT(std::max({p.r, p.g, p.b}), 60);
        const char* shown = nullptr;
        double best = -1;
        for (const Slot& s : slots) {
            const Rgb& q = s.colour;
            const double cosine = (p.r * q.r + p.g * q.g + p.b * q.b) /
                                  std::sqrt(double(p.r * p.r + p.g * p.g + p.b * p.b) *
                                            (q.r * q.r + q.g * q.g + q.b * q.b));
            if (cosine > best) {
                best = cosine;
                shown = s.name;
            }
        }
        EXPECT_STREQ(shown, c.picture);
        EXPECT_GT(best, 0.995);
    }
}

TEST_F(FrameTest, SpaceToggleHidesOnlyTheStack) {
    texSponssi = white;  // backdrop 7 in [11.5, 13.5)
    texSponssi2 = white; // the sponsor overlay, left half
    syncPoints[7].stamp.store(0.0f);
    const int left = size / 4, right = size / 2 + 6;
    const float t = 12.834f; // the sponsor overlay near its brightest

    frameAt(t);
    const std::string callsWithStack = recordedCallList();
    EXPECT_GT(pixelAt(right, size / 2).g, 40);
    EXPECT_GT(pixelAt(left, size / 2).g, 40);

    spaceToggle = 0;
    recordedEffectCalls.clear();
    frameAt(t);
    expectPixel(right, size / 2, {0, 0, 0}, 0);
    const Rgb sponsor = pixelAt(left, size / 2);
    EXPECT_GT(sponsor.r, 20);
    EXPECT_EQ(sponsor.g, 0);
    EXPECT_EQ(recordedCallList(), callsWithStack);
    EXPECT_FALSE(callsWithStack.empty());
}

// A beat level at or below zero hides the stack whatever the motion.
TEST_F(FrameTest, QuietOrNegativeBeatHidesTheStack) {
    for (GLuint* slot : allSlots)
        *slot = white;
    texPutket3 = texSponssi2 = texH1 = texH2 = texH3 = black;
    struct Case {
        float t;
        int struck; // SyncPoint struck just now, -1 for none
    };
    const Case cases[] = {{0.1f, 7}, {2.0f, -1}, {8.0f, 2}, {12.0f, 0}, {16.0f, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        for (SyncPoint& sync : syncPoints)
            sync.stamp.store(-1000.0f);
        if (c.struck >= 0)
            syncPoints[c.struck].stamp.store(0.0f);
        frameAt(c.t);
        const std::vector<uint8_t> all = readPixelsRgba(0, 0, size, size);
        int brightest = 0;
        for (size_t i = 0; i < all.size(); ++i)
            if (i % 4 != 3)
                brightest = std::max(brightest, int(all[i]));
        EXPECT_EQ(brightest, 0);
    }
}

TEST_F(FrameTest, TheActRunsWithItsScheduledSelector) {
    struct Case {
        float t;
        int selectorBefore;
        const char* calls;
        int selectorAfter;
    };
    const Case cases[] = {
        {0.5f, 7, "logoPicture(2) cubeField(4)", 32},
        {1.5f, 7, "flipbookPair(1) swirlCloudCubes(3)", 30},
        {3.5f, 7, "swirlCloud(1) cubeFloor(3)", 14},
        {5.5f, 7, "cubeWheel(1,-2,90,1) cubeWheel(0,0,0,1) cubeWheel(1,2,90,1) letterLayers(0)",
         22},
        {6.0f, 7, "letterLayers(3) swirlCloud(1) cubeField(4) flipbookSections(1)", 0},
        // A digit key chose act 3 since the last frame: the schedule overrides it.
        {10.0f, 3, "flipbookSections(1) cubeFloor(2) flipbookSections(1)", 16},
        {11.5f, 7, "cubeWheel(1,-2,90,1) cubeWheel(0,0,0,1) cubeWheel(1,2,90,1) letterLayers(0)",
         22},
        {25.75f, 7, "cubeField(4) swirlRings(2)", 7},
        // At 26 exactly the frame is drawn with the selector left as it was.
        {26.0f, 5, "cubeField(4) letterLayers(0)", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        effectSelector = c.selectorBefore;
        recordedEffectCalls.clear();
        frameAt(c.t);
        EXPECT_EQ(recordedCallList(), c.calls);
        EXPECT_EQ(effectSelector, c.selectorAfter);
    }
}

TEST_F(FrameTest, BackdropNumberFollowsTheRangesAndKeepsItsLastValue) {
    frameAt(1.5f);
    EXPECT_EQ(backdropNumber, 1);
    frameAt(3.5f);
    EXPECT_EQ(backdropNumber, 6);
    frameAt(25.0f);
    EXPECT_EQ(backdropNumber, 11);
    backdropNumber = 4;
    frameAt(25.75f);
    EXPECT_EQ(backdropNumber, 4);
}

// The state the effects begin in: additive blending, no depth test, no texture, fog, the
// frustum, an identity model-view, light 0 with its colours.
TEST_F(FrameTest, EffectsStartInTheFrameState) {
    struct Seen {
        GLboolean blend, depthTest, texture, fog, lighting, light0, cullFace;
        GLint blendSource, blendDestination, polygonMode[2];
        GLfloat pointSize, diffuse[4], ambient[4], position[4], modelView[16], projection[16];
    } seen{};
    onEffectCall = [&](const std::string&) {
        seen.blend = glIsEnabled(GL_BLEND);
        seen.depthTest = glIsEnabled(GL_DEPTH_TEST);
        seen.texture = glIsEnabled(GL_TEXTURE_2D);
        seen.fog = glIsEnabled(GL_FOG);
        seen.lighting = glIsEnabled(GL_LIGHTING);
        seen.light0 = glIsEnabled(GL_LIGHT0);
        seen.cullFace = glIsEnabled(GL_CULL_FACE);
        glGetIntegerv(GL_BLEND_SRC, &seen.blendSource);
        glGetIntegerv(GL_BLEND_DST, &seen.blendDestination);
        glGetIntegerv(GL_POLYGON_MODE, seen.polygonMode);
        glGetFloatv(GL_POINT_SIZE, &seen.pointSize);
        glGetLightfv(GL_LIGHT0, GL_DIFFUSE, seen.diffuse);
        glGetLightfv(GL_LIGHT0, GL_AMBIENT, seen.ambient);
        glGetLightfv(GL_LIGHT0, GL_POSITION, seen.position);
        glGetFloatv(GL_MODELVIEW_MATRIX, seen.modelView);
        glGetFloatv(GL_PROJECTION_MATRIX, seen.projection);
    };
    frameAt(3.5f);
    ASSERT_FALSE(recordedEffectCalls.empty());
    EXPECT_TRUE(seen.blend);
    EXPECT_FALSE(seen.depthTest);
    EXPECT_FALSE(seen.texture);
    EXPECT_TRUE(seen.fog);
    EXPECT_TRUE(seen.lighting);
    EXPECT_TRUE(seen.light0);
    EXPECT_TRUE(seen.cullFace);
    EXPECT_EQ(seen.blendSource, GL_SRC_ALPHA);
    EXPECT_EQ(seen.blendDestination, GL_ONE);
    EXPECT_EQ(seen.polygonMode[0], GL_FILL);
    EXPECT_EQ(seen.pointSize, 4.0f);
    const float flash[4] = {6, 5, 5, 1}, ambient[4] = {0.22f, 0.43f, 0.55f, 1};
    const float position[4] = {float(2 * std::sin(14.0)), 0, float(2 * std::cos(14.0)), 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(seen.diffuse[i], flash[i], 1e-5) << i;
        EXPECT_NEAR(seen.ambient[i], ambient[i], 1e-5) << i;
        EXPECT_NEAR(seen.position[i], position[i], 1e-5) << i;
    }
    // glFrustum(-1, 1, -0.5, 0.5, 1, 500) on the identity.
    const float frustum[16] = {
        1, 0, 0, 0, 0, 2, 0, 0, 0, 0, -501.0f / 499, -1, 0, 0, -1000.0f / 499, 0};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(seen.projection[i], frustum[i], 1e-5) << i;
        EXPECT_EQ(seen.modelView[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    }
}

// Every state drawFrame changes is undone: matrices, stack depths, enables, the bound picture.
TEST_F(FrameTest, LeavesEveryStateAsOnEntry) {
    glEnable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, white);
    for (float t : {0.1f, 3.5f, 5.3f, 12.0f, 20.0f, 22.0f, 24.8f, 26.0f}) {
        SCOPED_TRACE(testing::Message() << "t = " << t);
        frameAt(t);
        GLint mode = 0, projectionDepth = 0, modelViewDepth = 0, bound = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelViewDepth);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(mode, GL_PROJECTION);
        EXPECT_EQ(projectionDepth, 1);
        EXPECT_EQ(modelViewDepth, 1);
        EXPECT_EQ(GLuint(bound), white);
        GLfloat projection[16], modelView[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(projection[i], i % 5 == 0 ? 1.0f : 0.0f);
            EXPECT_EQ(modelView[i], i % 5 == 0 ? 1.0f : 0.0f);
        }
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        for (GLenum cap : {GL_BLEND, GL_TEXTURE_2D, GL_LIGHTING, GL_LIGHT0, GL_FOG, GL_CULL_FACE})
            EXPECT_FALSE(glIsEnabled(cap)) << cap;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

} // namespace
