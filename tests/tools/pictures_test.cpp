// The picture painter run as a program: the seventeen files decode as 512x512 RGB baseline
// JPEGs, differ from each other, keep their on-screen content where the demo shows it, come
// out the same on every run, and never replace a file that is already there.
#include <gtest/gtest.h>

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const names[] = {
    "happy2.jpg",  "happy3.jpg", "kuvio.jpg",  "turin.jpg",  "turin2.jpg",   "milan.jpg",
    "sponssi.jpg", "logo.jpg",   "greets.jpg", "happy4.jpg", "sponssi1.jpg", "sponssi2.jpg",
    "putket3.jpg", "h1.jpg",     "h2.jpg",     "h3.jpg",     "renpils.jpg"};

struct Picture {
    int width = 0, height = 0, components = 0;
    bool progressive = true;
    std::vector<unsigned char> pixels;
    double at(int x, int y, int k) const { return pixels[(y * width + x) * 3 + k]; }
};

Picture decode(const fs::path& path) {
    Picture picture;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return picture;
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    picture.progressive = info.progressive_mode;
    jpeg_start_decompress(&info);
    picture.width = info.output_width;
    picture.height = info.output_height;
    picture.components = info.output_components;
    picture.pixels.resize(size_t(picture.width) * picture.height * picture.components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            &picture.pixels[size_t(info.output_scanline) * picture.width * picture.components];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return picture;
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the painter prints on standard output and error.
std::string paintOutput(const std::string& arguments) {
    std::string command = std::string(PARADE_PAINT) + " " + arguments + " 2>&1";
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        ::pclose(pipe);
    }
    return output;
}

int paint(const std::string& arguments) {
    std::string command = std::string(PARADE_PAINT) + " " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Painter : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("parade-paint-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

// Mean over the picture of max(R, B) and the spread of (R + B) / 2 in a region: what is left
// to see once the green channel is gone.
double redBlueSpread(const Picture& p, int x0, int x1) {
    double sum = 0, sumSquares = 0;
    int n = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = x0; x < x1; ++x) {
            double v = (p.at(x, y, 0) + p.at(x, y, 2)) / 2;
            sum += v;
            sumSquares += v * v;
            ++n;
        }
    double mean = sum / n;
    return std::sqrt(sumSquares / n - mean * mean);
}

TEST_F(Painter, WritesSeventeenDistinctBaselinePictures) {
    fs::path dir = root / "nested" / "deita";
    ASSERT_EQ(paint(dir.string()), 0);
    std::map<std::string, Picture> pictures;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        Picture p = decode(dir / name);
        EXPECT_EQ(p.width, 512);
        EXPECT_EQ(p.height, 512);
        EXPECT_EQ(p.components, 3);
        EXPECT_FALSE(p.progressive);
        pictures[name] = p;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 17)
        << "no stray or temporary files";
    ASSERT_FALSE(HasFailure());

    for (size_t i = 0; i < std::size(names); ++i)
        for (size_t j = i + 1; j < std::size(names); ++j) {
            const Picture &a = pictures[names[i]], &b = pictures[names[j]];
            double difference = 0;
            for (size_t k = 0; k < a.pixels.size(); ++k)
                difference += std::abs(int(a.pixels[k]) - int(b.pixels[k]));
            difference /= a.pixels.size();
            EXPECT_GT(difference, 12) << names[i] << " and " << names[j] << " are near-identical";
        }

    // Backdrops are seen through ten dim additive layers: the bright ones must be bright.
    for (const char* name : {"happy2.jpg", "happy3.jpg", "happy4.jpg"}) {
        const Picture& p = pictures[name];
        double sum = 0;
        for (unsigned char v : p.pixels)
            sum += v;
        EXPECT_GT(sum / p.pixels.size(), 140) << name;
    }
    // Overlays and closing pictures keep their content in red and blue; of the sponsor
    // overlay only the left half is shown.
    for (const char* name : {"putket3.jpg", "h1.jpg", "h2.jpg", "h3.jpg"})
        EXPECT_GT(redBlueSpread(pictures[name], 0, 512), 20) << name;
    EXPECT_GT(redBlueSpread(pictures["sponssi2.jpg"], 0, 256), 20);
}

TEST_F(Painter, SameBytesOnEveryRun) {
    ASSERT_EQ(paint((root / "a").string()), 0);
    ASSERT_EQ(paint((root / "b").string()), 0);
    for (const char* name : names)
        EXPECT_EQ(bytesOf(root / "a" / name), bytesOf(root / "b" / name)) << name;
}

TEST_F(Painter, KeepsExistingFilesUnlessForced) {
    fs::create_directories(root);
    const std::string mine = "the user's own picture";
    std::ofstream(root / "logo.jpg", std::ios::binary) << mine;
    ASSERT_EQ(paint(root.string()), 0);
    EXPECT_EQ(bytesOf(root / "logo.jpg"), mine);
    EXPECT_EQ(decode(root / "h3.jpg").width, 512);

    // A second run with everything present changes nothing.
    std::string painted = bytesOf(root / "h3.jpg");
    std::ofstream(root / "h3.jpg", std::ios::binary | std::ios::app) << "x";
    ASSERT_EQ(paint(root.string()), 0);
    EXPECT_EQ(bytesOf(root / "h3.jpg"), painted + "x");

    ASSERT_EQ(paint("--force " + root.string()), 0);
    EXPECT_EQ(decode(root / "logo.jpg").width, 512);
    EXPECT_EQ(bytesOf(root / "h3.jpg"), painted);
}

// One line when something was written, nothing when everything was already there.
TEST_F(Painter, SpeaksOnlyWhenItWrites) {
    EXPECT_EQ(paintOutput(root.string()),
              "parade-paint: 17 pictures written, 0 kept in " + root.string() + "\n");
    EXPECT_EQ(paintOutput(root.string()), "");
    fs::remove(root / "kuvio.jpg");
    EXPECT_EQ(paintOutput(root.string()),
              "parade-paint: 1 picture written, 16 kept in " + root.string() + "\n");
}

TEST_F(Painter, RefusesBadUse) {
    EXPECT_EQ(paint(""), 2);
    EXPECT_EQ(paint("--sideways " + root.string()), 2);
    EXPECT_EQ(paint(root.string() + " " + root.string() + "2"), 2);
    // A regular file where the directory should be.
    fs::create_directories(root);
    std::ofstream(root / "file") << "x";
    EXPECT_EQ(paint((root / "file").string()), 1);
    // A directory that cannot be written.
    if (::geteuid() != 0) {
        fs::create_directories(root / "locked");
        fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(paint((root / "locked").string()), 1);
        fs::permissions(root / "locked", fs::perms::owner_all);
    }
}

} // namespace
