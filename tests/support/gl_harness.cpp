// Headless OpenGL for tests: one GLUT window on a private Xvfb per test process.
#include "gl_harness.h"

#include "platform.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>

namespace {
// Keeps every shared object loaded so far resident until the process ends. Mesa unloads its
// driver at exit before LeakSanitizer reports, which would leave the driver's own allocations
// without a module name for the suppressions to match.
int pinLoadedObject(dl_phdr_info* info, size_t, void*) {
    if (info->dlpi_name && info->dlpi_name[0] != '\0')
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

int testWindow = 0;
int windowWidth = 0;
int windowHeight = 0;
} // namespace

void openTestWindow(int width, int height) {
    if (testWindow != 0) {
        glutSetWindow(testWindow);
        return;
    }
    std::string error;
    if (startPrivateXServer(2048, 2048, error).empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    int argc = 1;
    char name[] = "parade-test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(width, height);
    testWindow = glutCreateWindow(name);
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);
    glReadBuffer(GL_BACK);
    dl_iterate_phdr(pinLoadedObject, nullptr);
}

std::vector<FeedbackPrimitive> captureFeedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 22);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    if (used < 0) {
        std::fprintf(stderr, "feedback buffer overflow\n");
        std::abort();
    }
    std::vector<FeedbackPrimitive> primitives;
    auto vertexAt = [&](GLint i) {
        return FeedbackVertex{buffer[i], buffer[i + 1], buffer[i + 2]};
    };
    for (GLint i = 0; i < used;) {
        const auto token = static_cast<GLenum>(buffer[i++]);
        FeedbackPrimitive primitive{token, {}};
        if (token == GL_POLYGON_TOKEN) {
            const auto count = static_cast<GLint>(buffer[i++]);
            for (GLint k = 0; k < count; ++k, i += 3)
                primitive.vertices.push_back(vertexAt(i));
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            primitive.token = GL_LINE_TOKEN;
            for (int k = 0; k < 2; ++k, i += 3)
                primitive.vertices.push_back(vertexAt(i));
        } else if (token == GL_POINT_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN || token == GL_BITMAP_TOKEN) {
            primitive.token = GL_POINT_TOKEN;
            primitive.vertices.push_back(vertexAt(i));
            i += 3;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        } else {
            std::fprintf(stderr, "unknown feedback token %u\n", token);
            std::abort();
        }
        primitives.push_back(std::move(primitive));
    }
    return primitives;
}

void useUnitProjection(float pixelsPerUnit) {
    glViewport(0, 0, windowWidth, windowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double halfWidth = windowWidth / 2.0 / pixelsPerUnit;
    const double halfHeight = windowHeight / 2.0 / pixelsPerUnit;
    glOrtho(-halfWidth, halfWidth, -halfHeight, halfHeight, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

FeedbackVertex toObjectUnits(const FeedbackVertex& v, float pixelsPerUnit) {
    // Depth maps [-1000, 1000] in object units onto window depth [0, 1], reversed.
    return {(v.x - windowWidth / 2.0f) / pixelsPerUnit, (v.y - windowHeight / 2.0f) / pixelsPerUnit,
            1000.0f - v.z * 2000.0f};
}

std::vector<uint8_t> readPixelsRgba(int x, int y, int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
