// The fixed-function layer against real GL 1.1 (Mesa): the same scenes (the 26 act frames, the
// resident shapes and meshes, polygon line and point modes) rendered by the renderer built on
// each, on the default pictures, compared pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr int width = 640;
constexpr int height = 480;

struct Difference {
    int maximum = 0;      // largest per-channel difference
    long beyondBound = 0; // pixels with a channel differing by more than the bound
    long lit = 0;         // pixels lit in the real-GL frame
};

std::vector<unsigned char> readFrame(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Difference compare(const std::vector<unsigned char>& gl, const std::vector<unsigned char>& layer,
                   int bound) {
    Difference d;
    for (size_t p = 0; p + 3 < gl.size(); p += 4) {
        int pixelMax = 0;
        for (size_t c = 0; c < 3; ++c)
            pixelMax = std::max(pixelMax, std::abs(gl[p + c] - layer[p + c]));
        d.maximum = std::max(d.maximum, pixelMax);
        d.beyondBound += pixelMax > bound ? 1 : 0;
        d.lit += (gl[p] | gl[p + 1] | gl[p + 2]) != 0 ? 1 : 0;
    }
    return d;
}

// Side by side, real GL | layer | difference x 8, as a PPM for a person to look at.
void writeComparison(const fs::path& path, const std::vector<unsigned char>& gl,
                     const std::vector<unsigned char>& layer) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width * 3 << " " << height << "\n255\n";
    for (int y = height - 1; y >= 0; --y) {
        for (int part = 0; part < 3; ++part) {
            for (int x = 0; x < width; ++x) {
                const size_t p = (static_cast<size_t>(y) * width + x) * 4;
                for (size_t c = 0; c < 3; ++c) {
                    const int value = part == 0 ? gl[p + c]
                                      : part == 1
                                          ? layer[p + c]
                                          : std::min(255, 8 * std::abs(gl[p + c] - layer[p + c]));
                    out.put(static_cast<char>(value));
                }
            }
        }
    }
}

int run(const std::string& command) {
    return std::system(command.c_str());
}

class FixedGlCompare : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root = fs::temp_directory_path() / ("fixedgl-compare-" + std::to_string(getpid()));
        fs::create_directories(root / "data" / "deita");
        const std::string quiet = " >/dev/null";
        paintStatus =
            run(std::string(PARADE_PAINT) + " " + (root / "data" / "deita").string() + quiet);
        glStatus = run(std::string(FIXEDGL_FRAMES_GL) + " " + (root / "data").string() + " " +
                       (root / "gl").string());
        layerStatus = run(std::string(FIXEDGL_FRAMES_LAYER) + " " + (root / "data").string() + " " +
                          (root / "layer").string());
    }
    static void TearDownTestSuite() {
        if (std::getenv("FIXEDGL_KEEP") == nullptr)
            fs::remove_all(root);
    }
    static fs::path root;
    static int paintStatus, glStatus, layerStatus;
};
fs::path FixedGlCompare::root;
int FixedGlCompare::paintStatus = -1;
int FixedGlCompare::glStatus = -1;
int FixedGlCompare::layerStatus = -1;

// The bound and the number of pixels allowed beyond it, per scene. The two renderers share
// Mesa's rasteriser, so what differs comes from float arithmetic done in another order:
// positions that move an edge across a pixel centre, lighting and fog a step of rounding
// apart. A channel may differ by more than the bound only on such edge pixels.
struct Tolerance {
    const char* scene;
    int bound;
    long beyondBound;
};

const Tolerance tolerances[] = {
    {"act00", 2, 200}, {"act01", 2, 200}, {"act02", 2, 200},    {"act03", 2, 200},
    {"act04", 2, 200}, {"act05", 2, 200}, {"act06", 2, 200},    {"act07", 2, 200},
    {"act08", 2, 200}, {"act09", 2, 200}, {"act10", 2, 200},    {"act11", 2, 200},
    {"act12", 2, 200}, {"act13", 2, 200}, {"act14", 2, 200},    {"act15", 2, 200},
    {"act16", 2, 200}, {"act17", 2, 200}, {"act18", 2, 200},    {"act19", 2, 200},
    {"act20", 2, 200}, {"act21", 2, 200}, {"act22", 2, 200},    {"act23", 2, 200},
    {"act30", 2, 200}, {"act32", 2, 200}, {"resident", 2, 200}, {"polygonmodes", 2, 200},
};

TEST_F(FixedGlCompare, EveryScene) {
    ASSERT_EQ(paintStatus, 0);
    ASSERT_EQ(glStatus, 0);
    ASSERT_EQ(layerStatus, 0);
    std::printf("scene          max   beyond   lit pixels\n");
    for (const Tolerance& t : tolerances) {
        const std::string file = std::string(t.scene) + ".rgba";
        const auto gl = readFrame(root / "gl" / file);
        const auto layer = readFrame(root / "layer" / file);
        ASSERT_EQ(gl.size(), static_cast<size_t>(width) * height * 4) << t.scene;
        ASSERT_EQ(layer.size(), gl.size()) << t.scene;
        const Difference d = compare(gl, layer, t.bound);
        std::printf("%-12s %5d %8ld %12ld\n", t.scene, d.maximum, d.beyondBound, d.lit);
        // A scene that shows nothing would compare equal whatever the layer does.
        EXPECT_GT(d.lit, 1000) << t.scene;
        EXPECT_LE(d.beyondBound, t.beyondBound) << t.scene << ": max difference " << d.maximum;
        if (std::getenv("FIXEDGL_KEEP") != nullptr)
            writeComparison(root / (std::string(t.scene) + ".ppm"), gl, layer);
    }
}
} // namespace
