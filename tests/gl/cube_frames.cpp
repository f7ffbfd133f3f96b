// effects-cube-frames: renders whole frames of the show at given times into PNG files, with
// every SyncPoint struck a given number of rows before, to look at the cube effects in place.
//
// Usage: effects-cube-frames DATADIR OUTDIR ROWS T...
#include "director.h"
#include "music.h"
#include "platform.h"
#include "shell.h"

#include <GL/freeglut.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
constexpr int width = 640;
constexpr int height = 480;

bool writePng(const std::string& path, const std::vector<unsigned char>& rgba) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = height - 1; y >= 0; --y)
        png_write_row(png, &rgba[static_cast<size_t>(y) * width * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: effects-cube-frames DATADIR OUTDIR ROWS T...\n");
        return 2;
    }
    const std::string outDir = std::filesystem::absolute(argv[2]).string();
    std::filesystem::create_directories(outDir);
    const double rows = std::atof(argv[3]);
    if (chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::string error;
    if (startPrivateXServer(width, height, error).empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    int glutArgc = 1;
    char name[] = "effects-cube-frames";
    char* glutArgv[] = {name, nullptr};
    glutInit(&glutArgc, glutArgv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(width, height);
    glutCreateWindow(name);
    initGraphicsState();
    reshapeHandler(width, height);
    useVirtualCounter();
    resetDemoClock();
    spaceToggle = 0; // the cubes alone, without the picture layers
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    for (int k = 4; k < argc; ++k) {
        const float t = static_cast<float>(std::atof(argv[k]));
        const float now = demoClock();
        for (SyncPoint& sync : syncPoints)
            sync.stamp.store(static_cast<float>(now - rows / 64.0));
        demoTime = t;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        drawFrame();
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        const std::string path = outDir + "/t" + argv[k] + ".png";
        if (!writePng(path, rgba))
            return 1;
        std::printf("t = %s act %d -> %s\n", argv[k], effectSelector, path.c_str());
    }
    return 0;
}
