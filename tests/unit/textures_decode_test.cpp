// The 2x2 box filter, and JPEG decoding into 512x512 RGB: any size, reduced-scale decoding,
// grayscale, pictures that cannot be RGB, missing files, failed allocations, corrupt data, and
// hostile files: folders, FIFOs, devices and headers claiming huge pictures.
#include "../support/temp_folder.h"
#include "jpeg_decode.h"
#include "jpeg_fixtures.h"
#include "textures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

class Decode : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory = makeTempFolder("parade-decode");
        ASSERT_FALSE(directory.empty());
    }
    static void TearDownTestSuite() { fs::remove_all(directory); }
    void TearDown() override { pictureAllocationLimit = SIZE_MAX; }

    static std::string path(const std::string& name) { return (directory / name).string(); }
    static fs::path directory;
};
fs::path Decode::directory;

struct Freed {
    void operator()(unsigned char* p) const { std::free(p); }
};
using Picture = std::unique_ptr<unsigned char[], Freed>;

const unsigned char* pixelAt(const Picture& picture, int row, int column) {
    return picture.get() + (static_cast<size_t>(row) * pictureSize + column) * 3;
}

void expectColour(const unsigned char* p, int r, int g, int b, const std::string& where) {
    EXPECT_NEAR(p[0], r, 3) << where;
    EXPECT_NEAR(p[1], g, 3) << where;
    EXPECT_NEAR(p[2], b, 3) << where;
}

} // namespace

TEST(BoxFilter, RoundsHalfUpOverEachBlock) {
    struct Case {
        unsigned char block[4];
        unsigned char result;
    };
    const Case cases[] = {{{1, 1, 1, 2}, 1}, {{1, 2, 2, 2}, 2},           {{0, 0, 0, 2}, 1},
                          {{0, 0, 0, 1}, 0}, {{255, 255, 255, 255}, 255}, {{0, 255, 0, 255}, 128}};
    std::vector<unsigned char> picture(pictureBytes);
    for (const Case& c : cases) {
        // The block of output pixel (3, 5), channel 1: input rows 6-7, columns 10-11.
        const int at[4][2] = {{6, 10}, {6, 11}, {7, 10}, {7, 11}};
        for (int i = 0; i < 4; ++i)
            picture[(at[i][0] * 512 + at[i][1]) * 3 + 1] = c.block[i];
        boxFilterHalve(picture.data());
        EXPECT_EQ(picture[(3 * 256 + 5) * 3 + 1], c.result)
            << int(c.block[0]) << " " << int(c.block[1]) << " " << int(c.block[2]) << " "
            << int(c.block[3]);
    }
}

// Halving in place gives the same picture as halving into a separate buffer.
TEST(BoxFilter, HalvesAWholePictureInPlace) {
    std::vector<unsigned char> picture(pictureBytes);
    std::mt19937 random(7);
    for (auto& byte : picture)
        byte = static_cast<unsigned char>(random());
    std::vector<unsigned char> expected(256 * 256 * 3);
    for (int i = 0; i < 256; ++i) {
        for (int j = 0; j < 256; ++j) {
            for (int k = 0; k < 3; ++k) {
                auto in = [&](int r, int c) { return picture[(r * 512 + c) * 3 + k]; };
                expected[(i * 256 + j) * 3 + k] = static_cast<unsigned char>(
                    (in(2 * i, 2 * j) + in(2 * i, 2 * j + 1) + in(2 * i + 1, 2 * j) +
                     in(2 * i + 1, 2 * j + 1) + 2) >>
                    2);
            }
        }
    }
    boxFilterHalve(picture.data());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), picture.begin()));
}

// Every size is scaled to 512x512 with the picture's quadrants where they belong.
TEST_F(Decode, PicturesOfAnySizeBecome512x512) {
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{512, 512}, {256, 128}, {1000, 700}, {513, 511}, {64, 900}, {2, 2}};
    for (const Size& size : sizes) {
        const std::string file = path("quadrants.jpg");
        ASSERT_TRUE(writeJpeg(file, size.width, size.height, JCS_RGB, [&](int x, int y) {
            return quadrantColour(x, y, size.width, size.height);
        }));
        Picture picture(loadJpeg(file.c_str()));
        ASSERT_NE(picture, nullptr);
        const std::string where = std::to_string(size.width) + "x" + std::to_string(size.height);
        expectColour(pixelAt(picture, 128, 128), 255, 0, 0, where + " top left");
        expectColour(pixelAt(picture, 128, 384), 0, 255, 0, where + " top right");
        expectColour(pixelAt(picture, 384, 128), 0, 0, 255, where + " bottom left");
        expectColour(pixelAt(picture, 384, 384), 255, 255, 255, where + " bottom right");
        expectColour(pixelAt(picture, 511, 511), 255, 255, 255, where + " last pixel");
    }
}

TEST_F(Decode, OnePixelFillsThePicture) {
    const std::string file = path("dot.jpg");
    ASSERT_TRUE(writeJpeg(file, 1, 1, JCS_RGB, [](int, int) {
        return std::array<unsigned char, 4>{200, 100, 50, 0};
    }));
    Picture picture(loadJpeg(file.c_str()));
    ASSERT_NE(picture, nullptr);
    for (int row = 0; row < 512; row += 73) {
        for (int column = 0; column < 512; column += 37)
            expectColour(pixelAt(picture, row, column), 200, 100, 50, "dot");
    }
}

TEST_F(Decode, GrayscaleComesOutAsRgb) {
    for (int width : {512, 300}) {
        const std::string file = path("gray.jpg");
        ASSERT_TRUE(writeJpeg(file, width, 200, JCS_GRAYSCALE, [width](int x, int) {
            return std::array<unsigned char, 4>{
                static_cast<unsigned char>(2 * x < width ? 40 : 200)};
        }));
        Picture picture(loadJpeg(file.c_str()));
        ASSERT_NE(picture, nullptr);
        expectColour(pixelAt(picture, 256, 100), 40, 40, 40, "left");
        expectColour(pixelAt(picture, 256, 400), 200, 200, 200, "right");
        for (int row = 0; row < 512; row += 51) {
            for (int column = 0; column < 512; column += 17) {
                const unsigned char* p = pixelAt(picture, row, column);
                ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << row << ", " << column;
            }
        }
    }
}

TEST_F(Decode, CmykPictureIsReportedOnceAndBlack) {
    const std::string file = path("cmyk.jpg");
    ASSERT_TRUE(writeJpeg(file, 64, 64, JCS_CMYK, [](int x, int y) {
        return std::array<unsigned char, 4>{static_cast<unsigned char>(x * 4), 30,
                                            static_cast<unsigned char>(y * 4), 90};
    }));
    CaptureStderr();
    Picture picture(loadJpeg(file.c_str()));
    const std::string report = GetCapturedStderr();
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(std::all_of(picture.get(), picture.get() + pictureBytes,
                            [](unsigned char b) { return b == 0; }));
    EXPECT_NE(report.find(file), std::string::npos) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
}

// A missing file and a buffer that cannot be allocated are each one line, and no picture.
TEST_F(Decode, MissingFileOrFailedAllocationIsReportedAndGivesNoPicture) {
    const std::string missing = path("missing.jpg");
    CaptureStderr();
    EXPECT_EQ(loadJpeg(missing.c_str()), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "can't open " + missing + "\n");

    const std::string file = path("small.jpg");
    ASSERT_TRUE(writeJpeg(file, 16, 16, JCS_RGB,
                          [](int x, int y) { return quadrantColour(x, y, 16, 16); }));
    pictureAllocationLimit = pictureBytes - 1;
    CaptureStderr();
    EXPECT_EQ(loadJpeg(file.c_str()), nullptr);
    const std::string report = GetCapturedStderr();
    EXPECT_EQ(report.rfind("can't open " + file, 0), 0u) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
}

// A cut-off picture is the library's warning and the rows that were there.
TEST_F(Decode, TruncatedPictureDecodesWhatIsThere) {
    const std::string file = path("cut.jpg");
    ASSERT_TRUE(writeJpeg(file, 512, 512, JCS_RGB,
                          [](int x, int y) { return quadrantColour(x, y, 512, 512); }));
    fs::resize_file(file, fs::file_size(file) / 3);
    CaptureStderr();
    Picture picture(loadJpeg(file.c_str()));
    const std::string report = GetCapturedStderr();
    ASSERT_NE(picture, nullptr);
    expectColour(pixelAt(picture, 10, 10), 255, 0, 0, "first rows");
    EXPECT_EQ(report.rfind(file + ": Premature end of JPEG file", 0), 0u) << report;
}

// Corrupt data ends the process with status 1 through the library's standard handler, right
// after a line naming the picture.
TEST_F(Decode, CorruptDataEndsWithTheLibrarysMessage) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {{"text.jpg", "this is not a picture", "Not a JPEG file"},
                          {"empty.jpg", "", "Empty input file"},
                          {"marker.jpg", std::string("\xFF\xD8\xFF\xC0\x00\x02\xFF\xD9", 8),
                           "Bogus marker length|Corrupt JPEG|Invalid JPEG file structure"}};
    for (const Case& c : cases) {
        const std::string file = path(c.name);
        std::ofstream(file, std::ios::binary) << c.bytes;
        EXPECT_EXIT(loadJpeg(file.c_str()), ::testing::ExitedWithCode(1),
                    "can't decode " + file + "\n(" + c.message + ")")
            << c.name;
    }
}

// The fuzz target's mode returns instead of ending the process.
TEST_F(Decode, FuzzingModeReturnsNothingOnCorruptData) {
    const std::string file = path("text.jpg");
    std::ofstream(file, std::ios::binary) << "this is not a picture";
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(decodeJpeg(f, "text", JpegDecodeMode::fuzzing), nullptr);
    std::fclose(f);
}

namespace {

// Smooth shapes with a little grain, like a photograph.
std::array<unsigned char, 4> photoColour(int x, int y, int width, int height) {
    const double u = x * 12.0 / width, v = y * 9.0 / height;
    const unsigned grain =
        (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) % 16;
    return {static_cast<unsigned char>(128 + 100 * std::sin(u * u + v)),
            static_cast<unsigned char>(128 + 90 * std::cos(3 * u - v * v / 4)),
            static_cast<unsigned char>(120 + grain), 0};
}

} // namespace

// Large pictures are decoded at reduced scale: with sides that are multiples of 512 times the
// scale the result is the full-size one up to rounding; other large sizes stay close.
TEST_F(Decode, ReducedScaleDecodingStaysCloseToTheFullDecode) {
    struct Case {
        int width, height;
        int largest;
        double mean;
    };
    const Case cases[] = {{2048, 2048, 3, 0.6}, {4200, 4000, 24, 2.0}};
    for (const Case& c : cases) {
        const std::string where = std::to_string(c.width) + "x" + std::to_string(c.height);
        const std::string file = path("large.jpg");
        ASSERT_TRUE(writeJpeg(file, c.width, c.height, JCS_RGB,
                              [&](int x, int y) { return photoColour(x, y, c.width, c.height); }));
        pictureDecoderScaling = false;
        Picture full(loadJpeg(file.c_str()));
        pictureDecoderScaling = true;
        Picture reduced(loadJpeg(file.c_str()));
        ASSERT_TRUE(full != nullptr && reduced != nullptr) << where;
        int largest = 0;
        double sum = 0;
        for (size_t i = 0; i < pictureBytes; ++i) {
            const int difference = std::abs(full[i] - reduced[i]);
            largest = std::max(largest, difference);
            sum += difference;
        }
        EXPECT_LE(largest, c.largest) << where;
        EXPECT_LE(sum / pictureBytes, c.mean) << where;
    }
}

namespace {

// Loads `file` and ends the process: status 0 when the picture came back as `expected`
// ("black" or "decoded") within 300 MB of peak memory, 3 otherwise, after a line saying what
// came back. Runs in a child process of a death test, so the peak is that of one picture.
[[noreturn]] void loadAndMeasure(const std::string& file, const std::string& expected) {
    unsigned char* picture = loadJpeg(file.c_str());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakMegabytes = usage.ru_maxrss / 1024;
    const bool black = picture != nullptr && std::all_of(picture, picture + pictureBytes,
                                                         [](unsigned char b) { return b == 0; });
    const std::string got = picture == nullptr ? "nothing" : black ? "black" : "decoded";
    std::fprintf(stderr, "got %s, peak %ld MB\n", got.c_str(), peakMegabytes);
    std::fflush(stderr);
    std::free(picture);
    std::_Exit(got == expected && peakMegabytes < 300 ? 0 : 3);
}

} // namespace

// Hostile or unlucky files where a picture should be. Refused ones are one line naming the
// file, then a black picture; nothing waits on a FIFO or reads a device; a header claiming a
// huge picture is refused before anything is allocated for it; a corrupt file is a line naming
// it, the library's message and status 1.
TEST_F(Decode, HostilePicturesAreNamedBoundedAndBlack) {
    const auto jpeg = [](int width, int height, bool progressive) {
        return [=](const std::string& file) {
            // 64x64 scans under a header that claims the size.
            return writeJpeg(
                       file, 64, 64, JCS_RGB,
                       [](int x, int y) { return quadrantColour(x, y, 64, 64); }, progressive) &&
                   claimSize(file, width, height);
        };
    };
    const std::string notRegular = ": not a regular file; shown black\n";
    const std::string notEightBit =
        ": not an 8-bit baseline or progressive JPEG \\(12-bit, lossless or JPEG-LS\\); shown "
        "black\n";
    const auto tooLarge = [](const char* size) {
        return ": " + std::string(size) + " pixels, more than 16384 on a side; shown black\n";
    };
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> make;
        std::string prefix, line; // the first line is prefix, the file, line
        const char* outcome;      // "black", "decoded" or "status 1"
    };
    const Case cases[] = {
        {"folder.jpg", [](const std::string& f) { return fs::create_directory(f); }, "can't open ",
         notRegular, "black"},
        {"fifo.jpg", [](const std::string& f) { return mkfifo(f.c_str(), 0600) == 0; },
         "can't open ", notRegular, "black"},
        {"device.jpg", [](const std::string& f) { return symlink("/dev/zero", f.c_str()) == 0; },
         "can't open ", notRegular, "black"},
        {"baseline20000.jpg", jpeg(20000, 20000, false), "can't use ", tooLarge("20000x20000"),
         "black"},
        {"progressive20000.jpg", jpeg(20000, 20000, true), "can't use ", tooLarge("20000x20000"),
         "black"},
        {"progressive65500.jpg", jpeg(65500, 65500, true), "can't use ", tooLarge("65500x65500"),
         "black"},
        // Over the library's own limit of 65500, which it reports as an error.
        {"baseline65535.jpg", jpeg(65535, 100, false), "can't use ", tooLarge("65535x100"),
         "black"},
        {"progressive4800.jpg", jpeg(4800, 4800, true), "can't use ",
         ": 4800x4800 pixels in several scans would need 132 MB to decode, more than 128 MB; "
         "shown black\n",
         "black"},
        {"scans1000.jpg",
         [&](const std::string& f) { return jpeg(4600, 4600, true)(f) && repeatLastScan(f, 990); },
         "can't use ", ": more than 100 scans; shown black\n", "black"},
        // Kinds an 8-bit decoder cannot read are black, as a CMYK picture is.
        {"twelvebit.jpg",
         [&](const std::string& f) {
             return jpeg(64, 64, false)(f) && rewriteFrameHeader(f, 0xC0, 12);
         },
         "can't use ", notEightBit, "black"},
        {"lossless.jpg",
         [&](const std::string& f) {
             return jpeg(64, 64, false)(f) && rewriteFrameHeader(f, 0xC3, 8);
         },
         "can't use ", notEightBit, "black"},
        {"jpegls.jpg",
         [&](const std::string& f) {
             return jpeg(64, 64, false)(f) && rewriteFrameHeader(f, 0xF7, 8);
         },
         "can't use ", notEightBit, "black"},
        // Just within the limits: decoded (the missing scans as gray) in bounded memory.
        {"progressive4600.jpg", jpeg(4600, 4600, true), "", ": Corrupt JPEG data", "decoded"},
        {"baseline16384.jpg", jpeg(16384, 16384, false), "", ": Corrupt JPEG data", "decoded"},
        {"corrupt.jpg",
         [](const std::string& f) {
             return static_cast<bool>(std::ofstream(f, std::ios::binary) << "not a picture");
         },
         "can't decode ", "\nNot a JPEG file", "status 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        ASSERT_TRUE(c.make(file));
        // A warning about the damaged scans may come first.
        const std::string first = "(^|\n)" + c.prefix + file + c.line;
        if (std::string(c.outcome) == "status 1") {
            EXPECT_EXIT(loadAndMeasure(file, "nothing"), ::testing::ExitedWithCode(1), first);
        } else {
            EXPECT_EXIT(loadAndMeasure(file, c.outcome), ::testing::ExitedWithCode(0),
                        first + ".*got " + c.outcome + ", peak");
        }
    }
}
