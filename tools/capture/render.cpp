// Headless rendering of the show: a framebuffer object on an EGL context with no window and no
// X server (a GPU through EGL's device platform or GBM on a render node, else Mesa's software
// renderer on the surfaceless platform), the demo's one-time building, and frames drawn at
// exact demo times with the demo clock on the virtual counter, so that nothing depends on how
// fast the machine is.
#include "capture.h"

#include "director.h"
#include "platform.h"
#include "shell.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <gbm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

namespace {
int captureWidth = 0;
int captureHeight = 0;
int captureSupersample = 1;
std::string rendererText;
std::vector<uint8_t> bottomUp;
std::vector<uint32_t> rowSums;

// Marks every loaded Mesa driver as never to be unloaded. The driver is otherwise unmapped
// when the display closes at exit, and a leak checker run afterwards can no longer tell which
// library the memory that the driver keeps until exit came from, so its suppressions miss it.
int keepDriverLoaded(dl_phdr_info* info, size_t, void*) {
    const char* name = info->dlpi_name;
    if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium")))
        dlopen(name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

template <typename Function> Function eglFunction(const char* name) {
    return reinterpret_cast<Function>(eglGetProcAddress(name));
}

EGLDisplay captureDisplay = EGL_NO_DISPLAY;
EGLContext captureContext = EGL_NO_CONTEXT;
EGLConfig pbufferConfig = EGL_NO_CONFIG_KHR; // the window's format as a pbuffer, if offered

// A config as the demo's window has it (8-bit red, green and blue, 24-bit depth) that can be
// a pbuffer; EGL_NO_CONFIG_KHR when there is none.
EGLConfig windowLikeConfig(EGLDisplay display) {
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_PBUFFER_BIT,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_DEPTH_SIZE,
                             24,
                             EGL_NONE};
    EGLConfig configs[64];
    EGLint found = 0;
    if (!eglChooseConfig(display, wanted, configs, 64, &found))
        return EGL_NO_CONFIG_KHR;
    // Deeper colours sort first; the window's are exactly 8 bits.
    for (EGLint i = 0; i < found; ++i) {
        EGLint red = 0, green = 0, blue = 0, depth = 0;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &red);
        eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &green);
        eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &blue);
        eglGetConfigAttrib(display, configs[i], EGL_DEPTH_SIZE, &depth);
        if (red == 8 && green == 8 && blue == 8 && depth == 24)
            return configs[i];
    }
    return EGL_NO_CONFIG_KHR;
}

// Makes a desktop OpenGL compatibility context (the demo draws with GL 1.1's fixed functions)
// current on `display` without a surface. The display is left terminated when it cannot.
bool startContext(EGLDisplay display) {
    if (display == EGL_NO_DISPLAY)
        return false;
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor))
        return false;
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    const EGLConfig config = windowLikeConfig(display);
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = EGL_NO_CONTEXT;
    const bool configured =
        config != EGL_NO_CONFIG_KHR || extensionListed(extensions, "EGL_KHR_no_config_context");
    if (configured && extensionListed(extensions, "EGL_KHR_surfaceless_context") &&
        eglBindAPI(EGL_OPENGL_API))
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
    if (context != EGL_NO_CONTEXT &&
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        captureDisplay = display;
        captureContext = context;
        pbufferConfig = config;
        return true;
    }
    if (context != EGL_NO_CONTEXT)
        eglDestroyContext(display, context);
    eglTerminate(display);
    return false;
}

// A GPU through EGL's device platform: each device but Mesa's software one.
bool startOnDevice(PFNEGLGETPLATFORMDISPLAYEXTPROC platformDisplay) {
    const auto queryDevices = eglFunction<PFNEGLQUERYDEVICESEXTPROC>("eglQueryDevicesEXT");
    const auto deviceString =
        eglFunction<PFNEGLQUERYDEVICESTRINGEXTPROC>("eglQueryDeviceStringEXT");
    if (!queryDevices || !deviceString)
        return false;
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!queryDevices(16, devices, &count))
        return false;
    for (EGLint i = 0; i < count; ++i) {
        if (extensionListed(deviceString(devices[i], EGL_EXTENSIONS), "EGL_MESA_device_software"))
            continue;
        if (startContext(platformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr)))
            return true;
    }
    return false;
}

// A GPU through GBM on a render node, for drivers that offer no EGL device.
bool startOnRenderNode(PFNEGLGETPLATFORMDISPLAYEXTPROC platformDisplay) {
    for (int node = 128; node < 192; ++node) {
        const std::string path = "/dev/dri/renderD" + std::to_string(node);
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        gbm_device* device = gbm_create_device(fd);
        if (device && startContext(platformDisplay(EGL_PLATFORM_GBM_MESA, device, nullptr)))
            return true; // the device stays open with the context
        if (device)
            gbm_device_destroy(device);
        close(fd);
    }
    return false;
}

// Mesa's software renderer, on the surfaceless platform.
bool startInSoftware(PFNEGLGETPLATFORMDISPLAYEXTPROC platformDisplay) {
    // Without it the surfaceless platform would take a GPU's render node first.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    return startContext(
        platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
}

bool startRenderer(bool softwareOnly, std::string& error) {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto platformDisplay =
        eglFunction<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    if (!clientExtensions || !platformDisplay) {
        error = "EGL offers no platforms here (libEGL without EGL_EXT_platform_base)";
        return false;
    }
    if (!softwareOnly) {
        if (extensionListed(clientExtensions, "EGL_EXT_platform_device") &&
            startOnDevice(platformDisplay))
            return true;
        if (extensionListed(clientExtensions, "EGL_MESA_platform_gbm") &&
            startOnRenderNode(platformDisplay))
            return true;
    }
    if (extensionListed(clientExtensions, "EGL_MESA_platform_surfaceless") &&
        startInSoftware(platformDisplay))
        return true;
    error = "cannot create an OpenGL context through EGL: no GPU took one and Mesa's software "
            "renderer is missing (Debian: apt-get install libegl-mesa0 libgl1-mesa-dri)";
    return false;
}

// A pbuffer of width x height made current. The renderer rasterises a window-system buffer
// (stored top row first) by slightly different edge rules than a framebuffer object, so the
// pbuffer keeps the frames byte-identical to those the demo's window shows.
bool usePbuffer(int width, int height) {
    static EGLSurface current = EGL_NO_SURFACE;
    if (pbufferConfig == EGL_NO_CONFIG_KHR)
        return false;
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    const EGLSurface surface = eglCreatePbufferSurface(captureDisplay, pbufferConfig, size);
    if (surface == EGL_NO_SURFACE)
        return false;
    if (!eglMakeCurrent(captureDisplay, surface, surface, captureContext)) {
        eglDestroySurface(captureDisplay, surface);
        return false;
    }
    if (current != EGL_NO_SURFACE)
        eglDestroySurface(captureDisplay, current);
    current = surface;
    return true;
}

// A framebuffer object with a colour and a depth buffer of width x height, bound for drawing
// and reading: where the renderer offers no pbuffer that large.
bool makeFramebuffer(int width, int height, std::string& error) {
    const auto genFramebuffers = eglFunction<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    const auto bindFramebuffer = eglFunction<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    const auto genRenderbuffers = eglFunction<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    const auto bindRenderbuffer = eglFunction<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    const auto renderbufferStorage =
        eglFunction<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    const auto attachRenderbuffer =
        eglFunction<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    const auto framebufferStatus =
        eglFunction<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
    if (!genFramebuffers || !bindFramebuffer || !genRenderbuffers || !bindRenderbuffer ||
        !renderbufferStorage || !attachRenderbuffer || !framebufferStatus) {
        error = "the renderer " + rendererText + " has no framebuffer objects";
        return false;
    }
    // Made once; a new size only gives the buffers new storage.
    static GLuint framebuffer = 0;
    static GLuint buffers[2] = {0, 0};
    if (framebuffer == 0) {
        genFramebuffers(1, &framebuffer);
        genRenderbuffers(2, buffers);
    }
    bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    const GLenum formats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT24};
    const GLenum attachments[2] = {GL_COLOR_ATTACHMENT0, GL_DEPTH_ATTACHMENT};
    for (int i = 0; i < 2; ++i) {
        bindRenderbuffer(GL_RENDERBUFFER, buffers[i]);
        renderbufferStorage(GL_RENDERBUFFER, formats[i], width, height);
        attachRenderbuffer(GL_FRAMEBUFFER, attachments[i], GL_RENDERBUFFER, buffers[i]);
    }
    const GLenum status = framebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
        error = "the renderer " + rendererText + " cannot make a " + std::to_string(width) + "x" +
                std::to_string(height) + " framebuffer (out of memory?)";
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, width, height);
    return true;
}

} // namespace

bool openCaptureContext(int width, int height, std::string& error, int supersample,
                        bool softwareOnly) {
    if (!startRenderer(softwareOnly, error))
        return false;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    rendererText = renderer ? renderer : "(unnamed)";
    dl_iterate_phdr(keepDriverLoaded, nullptr);
    return resizeCapture(width, height, supersample, error);
}

bool resizeCapture(int width, int height, int supersample, std::string& error) {
    const int drawnWidth = width * supersample;
    const int drawnHeight = height * supersample;
    // The largest picture the renderer draws: its renderbuffers' and its viewport's limits.
    GLint viewport[2] = {0, 0};
    GLint renderbuffer = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    const int maxWidth = std::min(viewport[0], renderbuffer);
    const int maxHeight = std::min(viewport[1], renderbuffer);
    if (drawnWidth > maxWidth || drawnHeight > maxHeight) {
        error = "the renderer " + rendererText + " draws at most " + std::to_string(maxWidth) +
                "x" + std::to_string(maxHeight) + " pixels (its renderbuffer and viewport " +
                "limits), and " + std::to_string(width) + "x" + std::to_string(height);
        if (supersample > 1)
            error += " supersampled " + std::to_string(supersample) + " times";
        error += " needs " + std::to_string(drawnWidth) + "x" + std::to_string(drawnHeight);
        return false;
    }
    if (!usePbuffer(drawnWidth, drawnHeight) && !makeFramebuffer(drawnWidth, drawnHeight, error))
        return false;
    // Frames are read from where they are drawn.
    GLint drawBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glReadBuffer(static_cast<GLenum>(drawBuffer));
    captureWidth = drawnWidth;
    captureHeight = drawnHeight;
    captureSupersample = supersample;
    return true;
}

const std::string& captureRenderer() {
    return rendererText;
}

StartupTimes prepareShow() {
    StartupTimes times;
    double start = wallSeconds();
    initOnce();
    glFinish();
    times.lists = wallSeconds() - start;
    start = wallSeconds();
    // The rest of the demo's graphics start-up: textures and the fixed state (lists are built).
    initShowGraphics();
    glFinish();
    times.textures = wallSeconds() - start;
    return times;
}

namespace {
// The capture's moment: the strikes heard up to it stamped, the clock there, the band placed.
MomentSetter captureMoment(StrikeFeed& feed) {
    return [&feed](float time) {
        feedStrikesUpTo(feed, time);
        setDemoClockTo(time);
        placeBand(captureWidth, captureHeight);
    };
}
} // namespace

void renderFrame(float time, StrikeFeed& feed) {
    drawNextFrame(time, captureMoment(feed));
}

void primeShowAt(double time, double step, StrikeFeed& feed) {
    rewindStrikeFeed(feed);
    primeFrameAt(time, step, captureMoment(feed));
}

void renderFrameAt(double time, double step, StrikeFeed& feed) {
    rewindStrikeFeed(feed);
    drawFrameAt(time, step, captureMoment(feed));
}

void readFrame(std::vector<uint8_t>& rgb) {
    const size_t row = static_cast<size_t>(captureWidth) * 3;
    bottomUp.resize(row * static_cast<size_t>(captureHeight));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, captureWidth, captureHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    const int n = captureSupersample;
    if (n == 1) {
        rgb.resize(bottomUp.size());
        for (int y = 0; y < captureHeight; ++y)
            std::memcpy(&rgb[static_cast<size_t>(y) * row],
                        &bottomUp[static_cast<size_t>(captureHeight - 1 - y) * row], row);
        return;
    }
    // Each output pixel is the rounded mean of its n x n block.
    const int width = captureWidth / n;
    const int height = captureHeight / n;
    const size_t outRow = static_cast<size_t>(width) * 3;
    const uint32_t cells = static_cast<uint32_t>(n * n);
    rgb.resize(outRow * static_cast<size_t>(height));
    rowSums.resize(outRow);
    for (int y = 0; y < height; ++y) {
        std::fill(rowSums.begin(), rowSums.end(), 0u);
        for (int dy = 0; dy < n; ++dy) {
            const uint8_t* source =
                &bottomUp[static_cast<size_t>(captureHeight - 1 - (y * n + dy)) * row];
            for (int x = 0; x < width; ++x)
                for (int dx = 0; dx < n; ++dx)
                    for (int c = 0; c < 3; ++c)
                        rowSums[static_cast<size_t>(x) * 3 + c] +=
                            source[(static_cast<size_t>(x) * n + dx) * 3 + c];
        }
        uint8_t* out = &rgb[static_cast<size_t>(y) * outRow];
        for (size_t i = 0; i < outRow; ++i)
            out[i] = static_cast<uint8_t>((rowSums[i] + cells / 2) / cells);
    }
}
