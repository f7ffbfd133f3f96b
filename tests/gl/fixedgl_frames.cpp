// Renders a table of scenes headless into raw RGBA files (640x480 unless another size is
// given, rows bottom up): one frame
// of each of the 26 acts with every sync struck one row before, the resident shapes and meshes
// that no act draws, and polygon line mode. Built twice: against real GL 1.1 and against the
// fixed-function layer (PARADE_FIXEDGL, on a GL 3.3 core context); the comparison test holds
// the two sets of files against each other.
//
// Usage: fixedgl-frames-{gl,layer} DATADIR OUTDIR [WIDTHxHEIGHT LINEWIDTH]
//        (at another size, with lines LINEWIDTH pixels wide and points that many times larger)
//        fixedgl-frames-{gl,layer} --bench FRAMES DATADIR   (per act: median ms per frame,
//                                         processor ms, the layer's ms and draw calls)
#include "director.h"
#include "effects.h"
#include "music.h"
#include "platform.h"
#include "shell.h"
#include "textures.h"

#include <GL/freeglut.h>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
int width = 640;
int height = 480;
// Line width and the scale of point sizes: the band's height over 270, as the show draws them.
float sceneLineWidth = 1.0f;

// Each act at a time inside a quarter unit where it runs (the quarters of parade-actframes).
struct ActTime {
    int act;
    int quarter;
};
const ActTime actTimes[] = {
    {0, 48},  {1, 49},  {2, 50},  {3, 51},  {4, 52},  {5, 53},  {6, 30},  {7, 31},  {8, 32},
    {9, 33},  {10, 34}, {11, 35}, {12, 36}, {13, 37}, {14, 14}, {15, 15}, {16, 40}, {17, 17},
    {18, 18}, {19, 19}, {20, 20}, {21, 21}, {22, 46}, {23, 47}, {30, 12}, {32, 5},
};

// Keeps every shared object loaded so far resident until the process ends, so that the leak
// checker can name Mesa's driver, which would otherwise be unloaded before it reports.
int pinLoadedObject(dl_phdr_info* info, size_t, void*) {
    if (info->dlpi_name && info->dlpi_name[0] != '\0')
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

// Frames for the picture layers and overlays that the act times do not reach: the opening
// zoom with the beat at 0, a twist, the flat greetings, the backdrops without a picture of
// their own (the texture bound when the frame begins), the closing pictures, the last half
// unit.
const float timelineTimes[] = {0.1f, 1.6f, 21.5f, 22.3f, 23.2f, 24.9f, 25.7f};

bool openWindow(std::string& error) {
    if (startPrivateXServer(width, height, error).empty())
        return false;
    int argc = 1;
    char name[] = "fixedgl-frames";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
#if defined(PARADE_FIXEDGL)
    glutInitContextVersion(3, 3);
    glutInitContextProfile(GLUT_CORE_PROFILE);
#endif
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width, height);
    if (glutCreateWindow(name) != 1) {
        error = "cannot open the window";
        return false;
    }
    dl_iterate_phdr(pinLoadedObject, nullptr);
    return true;
}

void strikeAllSyncs(double rows) {
    const float now = demoClock();
    for (SyncPoint& sync : syncPoints) {
        sync.level.store(1.0f);
        sync.stamp.store(static_cast<float>(now - rows / 64.0));
    }
}

bool writeFrame(const std::string& path) {
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(rgba.data(), 1, rgba.size(), file) == rgba.size();
    return std::fclose(file) == 0 && written;
}

// The frame state of the 3D part (frustum, light 0 circling, fog, additive blending), for
// scenes that draw lists no act draws.
void beginObjects(float t) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_CULL_FACE);
    glEnable(GL_FOG);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1.0, 1.0, -0.5, 0.5, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION,
              materialColorOpaque(2.0f * std::sin(4.0f * t), 0.0f, 2.0f * std::cos(4.0f * t)));
    glLightfv(GL_LIGHT0, GL_DIFFUSE, materialColorOpaque(2.0f, 2.0f, 2.0f));
    glLightfv(GL_LIGHT0, GL_AMBIENT, materialColorOpaque(0.22f, 0.43f, 0.55f));
}

void endObjects() {
    glPopAttrib();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

// Every resident list that no act draws, in a grid: arc, tori, sphere, wire torus, meshes.
void drawResidentLists() {
    beginObjects(1.3f);
    const struct {
        GLuint list;
        float x, y, scale;
    } placed[] = {
        {671, -9.5f, -3.0f, 0.35f},
        {660, -6.0f, 2.0f, 1.0f},
        {661, -2.0f, 2.0f, 1.0f},
        {662, 2.0f, 2.0f, 1.2f},
        {666, 6.0f, 2.0f, 1.0f},
        {670, -6.0f, -2.0f, 2.5f},
        {669, -2.0f, -2.0f, 1.6f},
        {676, 2.0f, -2.0f, 1.6f},
        {679, 6.0f, -2.0f, 1.6f},
        {680, 6.0f, 0.0f, 1.0f},
        // Again after a mesh list: client arrays compiled into a list leave the current normal.
        {671, 9.0f, -3.0f, 0.35f},
    };
    for (const auto& p : placed) {
        glPushMatrix();
        glTranslatef(p.x, p.y, -12.0f);
        glRotatef(35.0f, 1.0f, 0.4f, 0.1f);
        glScalef(p.scale, p.scale, p.scale);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.6f, 0.5f, 0.3f, 0.8f));
        glCallList(p.list);
        glPopMatrix();
    }
    endObjects();
}

// Solid cubes and a torus as edges and as corners, with culling of back faces.
void drawPolygonModes() {
    beginObjects(0.7f);
    glDisable(GL_FOG);
    glPointSize(4.0f * sceneLineWidth);
    const struct {
        GLenum mode;
        GLuint list;
        float x;
    } shown[] = {{GL_LINE, 667, -4.0f}, {GL_LINE, 660, 0.0f}, {GL_POINT, 667, 4.0f}};
    for (const auto& s : shown) {
        glPolygonMode(GL_FRONT_AND_BACK, s.mode);
        glPushMatrix();
        glTranslatef(s.x, 0.0f, -10.0f);
        glRotatef(30.0f, 1.0f, 1.0f, 0.0f);
        glScalef(2.0f, 2.0f, 2.0f);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.9f, 0.8f, 0.4f, 1.0f));
        glCallList(s.list);
        glPopMatrix();
    }
    endObjects();
}
// What the acts do not reach: every primitive type, unlit vertex colours, per-vertex normals,
// exp fog, a texture on a lit quad, client arrays with a stride and unsigned int indices,
// lists compiled and executed at once, a list calling one defined after it, a list replaced,
// a list calling itself, and a partial attribute push.
void drawPrimitives() {
    beginObjects(2.1f);
    glDisable(GL_LIGHTING);
    glPointSize(3.0f * sceneLineWidth);
    const GLenum modes[] = {GL_POINTS,     GL_LINES,          GL_LINE_STRIP,   GL_LINE_LOOP,
                            GL_TRIANGLES,  GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS,
                            GL_QUAD_STRIP, GL_POLYGON};
    for (int m = 0; m < 10; ++m) {
        glPushMatrix();
        glTranslatef(-9.013f + 2.0f * m, 2.507f, -10.0f);
        glBegin(modes[m]);
        for (int k = 0; k < 8; ++k) {
            const float a = 0.785398f * k;
            glColor4f(0.2f + 0.1f * k, 1.0f - 0.1f * k, 0.5f, 0.9f);
            glVertex3f(0.8f * std::cos(a) * (k % 2 ? 0.6f : 1.0f), 0.8f * std::sin(a), 0.0f);
        }
        glEnd();
        glPopMatrix();
    }
    glEnable(GL_LIGHTING);

    // Lit fan with a normal per vertex, under exp fog far away.
    glPushAttrib(GL_FOG_BIT);
    glFogf(GL_FOG_MODE, static_cast<GLfloat>(GL_EXP));
    glFogf(GL_FOG_DENSITY, 0.04f);
    glPushMatrix();
    glTranslatef(-6.0f, -1.0f, -25.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.3f, 0.7f, 0.9f, 1.0f));
    glBegin(GL_TRIANGLE_FAN);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    for (int k = 0; k <= 12; ++k) {
        const float a = 0.5235988f * k;
        glNormal3f(std::cos(a), std::sin(a), 0.5f);
        glVertex3f(4.0f * std::cos(a), 4.0f * std::sin(a), -1.0f);
    }
    glEnd();
    glPopMatrix();
    glPopAttrib();

    // A textured lit quad.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texHappy2);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glPushMatrix();
    glTranslatef(-1.0f, -2.0f, -8.0f);
    glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.5f, 0.5f, 0.5f, 1.0f));
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.5f, -1.5f);
    glTexCoord2f(2.0f, 1.0f);
    glVertex2f(1.5f, -1.5f);
    glTexCoord2f(2.0f, 0.0f);
    glVertex2f(1.5f, 1.5f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.5f, 1.5f);
    glEnd();
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);

    // Client arrays: 2D positions with a stride, unsigned int indices, a normal array.
    const float interleaved[] = {0, 0, 9, 1, 0, 9, 1, 1, 9, 0, 1, 9};
    const float normals[] = {0, 0, 1, 0.6f, 0, 0.8f, 0, 0.6f, 0.8f, 0.3f, 0.3f, 0.9f};
    const GLuint quad[] = {0, 1, 2, 3};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(2, GL_FLOAT, 3 * sizeof(float), interleaved);
    glNormalPointer(GL_FLOAT, 0, normals);
    glPushMatrix();
    glTranslatef(2.5f, -3.0f, -8.0f);
    glScalef(2.0f, 2.0f, 2.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.9f, 0.4f, 0.2f, 1.0f));
    glDrawElements(GL_QUADS, 4, GL_UNSIGNED_INT, quad);
    glPopMatrix();
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    // Lists: 901 calls 902 before 902 exists; 903 is compiled twice and executed at once.
    glNewList(901, GL_COMPILE);
    glScalef(0.5f, 0.5f, 0.5f);
    glCallList(902);
    glEndList();
    glNewList(902, GL_COMPILE);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.2f, 0.9f, 0.3f, 0.7f));
    glCallList(667);
    glEndList();
    glNewList(903, GL_COMPILE_AND_EXECUTE);
    glTranslatef(100.0f, 0.0f, 0.0f);
    glEndList();
    glTranslatef(-100.0f, 0.0f, 0.0f);
    glNewList(903, GL_COMPILE_AND_EXECUTE);
    glTranslatef(6.0f, -2.0f, -9.0f);
    glRotatef(40.0f, 1.0f, 1.0f, 0.0f);
    glCallList(901);
    glEndList();
    glLoadIdentity();
    glTranslatef(7.5f, 0.5f, -9.0f);
    glCallList(903);

    // A list that calls itself runs as deep as list nesting allows, one small cube a level.
    glNewList(921, GL_COMPILE);
    glPushMatrix();
    glScalef(0.08f, 0.08f, 0.08f);
    glCallList(667);
    glPopMatrix();
    glEndList();
    glNewList(920, GL_COMPILE);
    glCallList(921);
    glTranslatef(0.12f, 0.0f, 0.0f);
    glCallList(920);
    glEndList();
    glLoadIdentity();
    glTranslatef(-9.5f, -4.3f, -10.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.9f, 0.9f, 0.2f, 1.0f));
    glCallList(920);

    // A partial push: the enable group brings blending back, the blend function stays.
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glPopAttrib();
    glTranslatef(8.5f, -3.0f, -9.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.8f, 0.2f, 0.9f, 0.2f));
    glCallList(667);
    endObjects();
}

// A row of calls that are errors, each followed by the error it leaves (hexadecimal).
void writeErrors(const std::string& path) {
    std::ofstream out(path);
    auto note = [&out](const char* what) {
        out << what << " " << std::hex << glGetError() << "\n";
    };
    note("clean");
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPopMatrix();
    note("pop-matrix-empty");
    for (int i = 0; i < 40; ++i)
        glPushMatrix();
    note("push-matrix-40");
    for (int i = 0; i < 40; ++i)
        glPopMatrix();
    glGetError();
    glEnd();
    note("end-without-begin");
    glEnable(0x1234);
    note("enable-unknown");
    glNewList(0, GL_COMPILE);
    note("list-zero");
    glNewList(910, GL_COMPILE);
    glNewList(911, GL_COMPILE);
    note("list-inside-list");
    glEndList();
    glEndList();
    note("end-list-twice");
    glPopAttrib();
    note("pop-attrib-empty");
    glBegin(GL_TRIANGLES);
    glEnable(GL_BLEND);
    note("enable-inside-begin");
    glEnd();
    glMatrixMode(0x1234);
    note("matrix-mode-unknown");
    glPolygonMode(GL_FRONT, 0x1234);
    note("polygon-mode-unknown");
    glPointSize(0.0f);
    note("point-size-zero");
    glFrustum(-1.0, 1.0, -1.0, 1.0, 0.0, 10.0);
    note("frustum-near-zero");
    glDrawElements(GL_TRIANGLES, -1, GL_UNSIGNED_BYTE, nullptr);
    note("draw-negative-count");
    glBlendFunc(0x1234, GL_ONE);
    note("blend-unknown");
    glBegin(0x1234);
    note("begin-unknown");
    // One value for the shininess, read alone.
    const float shininess[1] = {12.0f};
    glMaterialfv(GL_FRONT, GL_SHININESS, shininess);
    note("shininess");
    const float tooShiny[1] = {200.0f};
    glMaterialfv(GL_FRONT, GL_SHININESS, tooShiny);
    note("shininess-200");
    glMaterialfv(GL_FRONT, 0x1234, shininess);
    note("material-unknown");
    glLightfv(GL_LIGHT0, 0x1234, materialColor(1.0f, 1.0f, 1.0f, 1.0f));
    note("light-unknown");
    glFogf(GL_FOG_MODE, 1234.0f);
    note("fog-mode-unknown");
    glLoadIdentity();
}
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Per act, at `frames` times across its quarter with syncs struck every 4 rows: the median
// wall time of a whole frame (drawn and finished), the median processor time of the drawing
// thread until every draw is sent (the demo's code and every GL call, the driver's work on
// that thread included), and on the layer the median time spent in its draw path and the
// number of draw calls it sent (median, and the most in one frame).
void benchmark(int frames) {
    std::printf("act   wall ms   cpu ms  layer ms   draw calls\n");
    double worstCalls = 0.0;
    for (const ActTime& at : actTimes) {
        std::vector<double> wall, cpu, layer, calls;
        for (int k = 0; k < frames; ++k) {
            demoTime = at.quarter / 4.0f + 0.25f * static_cast<float>(k) / frames;
            strikeAllSyncs(k % 4);
#if defined(PARADE_FIXEDGL)
            const unsigned long callsBefore = fglDrawCallCount();
            const double layerBefore = fglLayerSeconds();
#endif
            const auto begin = std::chrono::steady_clock::now();
            const double cpuBegin = threadCpuMs();
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            drawFrame();
            glFlush();
            cpu.push_back(threadCpuMs() - cpuBegin);
            glFinish();
            glutSwapBuffers();
            const auto end = std::chrono::steady_clock::now();
            wall.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
#if defined(PARADE_FIXEDGL)
            calls.push_back(static_cast<double>(fglDrawCallCount() - callsBefore));
            layer.push_back((fglLayerSeconds() - layerBefore) * 1e3);
#endif
        }
        if (calls.empty()) {
            std::printf("%3d  %8.2f %8.2f         -            -\n", at.act, median(wall),
                        median(cpu));
            continue;
        }
        const double mostCalls = *std::max_element(calls.begin(), calls.end());
        worstCalls = std::max(worstCalls, mostCalls);
        std::printf("%3d  %8.2f %8.2f  %8.2f  %5.0f (max %.0f)\n", at.act, median(wall),
                    median(cpu), median(layer), median(calls), mostCalls);
    }
    if (worstCalls > 0.0)
        std::printf("most draw calls in one frame: %.0f\n", worstCalls);
}
} // namespace

int main(int argc, char** argv) {
    const bool bench = argc == 4 && std::string(argv[1]) == "--bench";
    if (argc == 5) {
        char cross = 0;
        const int fields = std::sscanf(argv[3], "%d%c%d", &width, &cross, &height);
        sceneLineWidth = static_cast<float>(std::atof(argv[4]));
        if (fields != 3 || cross != 'x' || width < 64 || height < 64 || width % 2 != 0 ||
            height % 2 != 0 || sceneLineWidth < 1.0f) {
            std::fprintf(stderr, "%s: bad size %s or line width %s\n", argv[0], argv[3], argv[4]);
            return 2;
        }
    }
    if (argc != 3 && argc != 5 && !bench) {
        std::fprintf(stderr,
                     "usage: %s DATADIR OUTDIR [WIDTHxHEIGHT LINEWIDTH] | --bench FRAMES DATADIR\n",
                     argv[0]);
        return 2;
    }
    const int frames = bench ? std::max(1, std::atoi(argv[2])) : 0;
    const char* dataDir = bench ? argv[3] : argv[1];
    std::error_code error;
    const std::string outDir = bench ? "" : std::filesystem::absolute(argv[2], error).string();
    if (!bench)
        std::filesystem::create_directories(outDir, error);
    if (chdir(dataDir) != 0) {
        std::perror(dataDir);
        return 1;
    }
    std::string windowError;
    if (!openWindow(windowError)) {
        std::fprintf(stderr, "%s\n", windowError.c_str());
        return 1;
    }
    initGraphicsState();
    reshapeHandler(width, height);
    // Set once: every frame's attribute push and pop keeps it.
    glLineWidth(sceneLineWidth);
    useVirtualCounter();
    resetDemoClock();
    if (bench) {
        benchmark(frames);
        return 0;
    }

    for (const ActTime& at : actTimes) {
        demoTime = at.quarter / 4.0f + 0.125f;
        strikeAllSyncs(1.0);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        drawFrame();
        if (effectSelector != at.act) {
            std::fprintf(stderr, "t = %.4f ran act %d, not %d\n", demoTime, effectSelector, at.act);
            return 1;
        }
        char name[32];
        std::snprintf(name, sizeof name, "act%02d.rgba", at.act);
        if (!writeFrame(outDir + "/" + name))
            return 1;
    }
    for (float t : timelineTimes) {
        demoTime = t;
        strikeAllSyncs(1.0);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        drawFrame();
        char name[32];
        std::snprintf(name, sizeof name, "t%05d.rgba", static_cast<int>(t * 1000.0f + 0.5f));
        if (!writeFrame(outDir + "/" + name))
            return 1;
    }
    drawResidentLists();
    if (!writeFrame(outDir + "/resident.rgba"))
        return 1;
    drawPolygonModes();
    if (!writeFrame(outDir + "/polygonmodes.rgba"))
        return 1;
    drawPrimitives();
    if (!writeFrame(outDir + "/primitives.rgba"))
        return 1;
    const GLenum glError = glGetError();
    if (glError != GL_NO_ERROR) {
        std::fprintf(stderr, "GL error 0x%04x\n", glError);
        return 1;
    }
    writeErrors(outDir + "/errors.txt");
    return 0;
}
