// Textures in a real context: parameters and content of an upload, the box-filtered 256x256
// fallback, which path a file takes, missing and refused pictures, and the seventeen-picture
// set.
#include "../support/temp_folder.h"
#include "gl_harness.h"
#include "jpeg_fixtures.h"
#include "textures.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// The window goes before the process ends, so the driver frees what the context holds while
// it is still loaded and the leak checker can tell its memory from ours.
class CloseWindowAtExit : public ::testing::Environment {
    void TearDown() override {
        if (glutGetWindow() != 0)
            glutDestroyWindow(glutGetWindow());
    }
};
::testing::Environment* const closeWindowAtExit =
    ::testing::AddGlobalTestEnvironment(new CloseWindowAtExit);

class Textures : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        openTestWindow(64, 64);
        directory = makeTempFolder("parade-textures");
        ASSERT_FALSE(directory.empty());
    }
    static void TearDownTestSuite() { fs::remove_all(directory); }
    void SetUp() override {
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    static fs::path directory;
};
fs::path Textures::directory;

GLint boundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

GLint levelWidth() {
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width;
}

// The bound texture's level 0 as tightly packed RGB.
std::vector<unsigned char> textureImage() {
    const size_t side = static_cast<size_t>(levelWidth());
    std::vector<unsigned char> pixels(side * side * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<unsigned char> patternPicture(unsigned seed) {
    std::vector<unsigned char> picture(512 * 512 * 3);
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<unsigned char>((i * 7 + i / 1536 * 13 + seed) % 251);
    return picture;
}

void expectNear(const unsigned char* p, std::array<int, 3> colour, const std::string& where) {
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(p[k], colour[k], 3) << where << " channel " << k;
}

} // namespace

TEST_F(Textures, UploadKeepsThePictureAt512) {
    auto picture = patternPicture(1);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    uploadTexture(picture.data());
    EXPECT_EQ(levelWidth(), 512);
    EXPECT_EQ(textureImage(), picture);
}

// The first upload is refused when an error is pending after it (the test leaves one pending
// beforehand): the picture is halved in place and uploaded at 256x256.
TEST_F(Textures, RefusedUploadFallsBackToTheHalvedPicture) {
    auto picture = patternPicture(2);
    auto halved = picture;
    boxFilterHalve(halved.data());
    halved.resize(256 * 256 * 3);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glEnable(GL_TEXTURE_BINDING_2D); // not a capability: GL_INVALID_ENUM stays pending
    uploadTexture(picture.data());
    EXPECT_EQ(levelWidth(), 256);
    EXPECT_EQ(textureImage(), halved);
    EXPECT_TRUE(std::equal(halved.begin(), halved.end(), picture.begin()));

    // Without pixels there is nothing to filter; the texture still gets its 256x256 level.
    glEnable(GL_TEXTURE_BINDING_2D);
    uploadTexture(nullptr);
    EXPECT_EQ(levelWidth(), 256);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// ".jpg" anywhere in the path picks the JPEG decoder; other files are raw 512x512 RGB, and a
// short raw file leaves the rest of the previous raw picture in place.
TEST_F(Textures, PathChoosesJpegOrRawAndSetsTheParameters) {
    fs::create_directories(directory / "album.jpg.d");
    const std::string jpeg = (directory / "album.jpg.d" / "picture").string();
    ASSERT_TRUE(writeJpeg(jpeg, 128, 128, JCS_RGB,
                          [](int x, int y) { return quadrantColour(x, y, 128, 128); }));
    const GLuint fromJpeg = loadTexture(jpeg.c_str());
    EXPECT_EQ(boundTexture(), static_cast<GLint>(fromJpeg));
    ASSERT_EQ(levelWidth(), 512);
    const auto decoded = textureImage();
    expectNear(&decoded[(100 * 512 + 100) * 3], {255, 0, 0}, "top left");
    expectNear(&decoded[(400 * 512 + 400) * 3], {255, 255, 255}, "bottom right");

    GLint value = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);
    const std::pair<GLenum, GLint> parameters[] = {{GL_TEXTURE_WRAP_S, GL_REPEAT},
                                                   {GL_TEXTURE_WRAP_T, GL_REPEAT},
                                                   {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                                   {GL_TEXTURE_MIN_FILTER, GL_LINEAR}};
    for (const auto& [parameter, expected] : parameters) {
        glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
        EXPECT_EQ(value, expected) << parameter;
    }

    const auto first = patternPicture(3);
    const std::string raw = (directory / "picture.rgb").string();
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(first.data()),
               static_cast<std::streamsize>(first.size()));
    loadTexture(raw.c_str());
    EXPECT_EQ(textureImage(), first);

    auto second = patternPicture(4);
    const std::string shortRaw = (directory / "half.rgb").string();
    std::ofstream(shortRaw, std::ios::binary)
        .write(reinterpret_cast<const char*>(second.data()),
               static_cast<std::streamsize>(second.size() / 2));
    loadTexture(shortRaw.c_str());
    std::copy(first.begin() + first.size() / 2, first.end(), second.begin() + second.size() / 2);
    EXPECT_EQ(textureImage(), second);
}

TEST_F(Textures, MissingPictureStillYieldsATexture) {
    for (const char* name : {"nowhere.jpg", "nowhere.rgb"}) {
        const std::string missing = (directory / name).string();
        CaptureStderr();
        const GLuint texture = loadTexture(missing.c_str());
        EXPECT_EQ(GetCapturedStderr(), "can't open " + missing + "\n");
        EXPECT_NE(texture, 0u);
        EXPECT_TRUE(glIsTexture(texture));
        EXPECT_EQ(boundTexture(), static_cast<GLint>(texture));
        EXPECT_EQ(levelWidth(), 512);
    }
}

// A folder, FIFO or device where a picture should be, on the JPEG and the raw path, and a JPEG
// too large to decode: one line naming it and a black texture, never the previous raw picture.
TEST_F(Textures, RefusedPicturesAreNamedAndBlack) {
    const fs::path refused = directory / "refused";
    fs::create_directories(refused);
    const auto previous = patternPicture(5);
    const std::string raw = (refused / "previous.rgb").string();
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(previous.data()),
               static_cast<std::streamsize>(previous.size()));

    struct Case {
        std::string name;
        int kind; // 0 folder, 1 FIFO, 2 device, 3 a 20000x20000 header
        const char* report;
    };
    const char* notRegular = ": not a regular file; shown black\n";
    const Case cases[] = {
        {"folder.jpg", 0, notRegular},
        {"folder", 0, notRegular},
        {"fifo.jpg", 1, notRegular},
        {"fifo", 1, notRegular},
        {"zero.jpg", 2, notRegular},
        {"zero", 2, notRegular},
        {"huge.jpg", 3, ": 20000x20000 pixels, more than 16384 on a side; shown black\n"},
    };
    for (const Case& c : cases) {
        const std::string path = (refused / c.name).string();
        if (c.kind == 0)
            fs::create_directory(path);
        else if (c.kind == 1)
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        else if (c.kind == 2)
            fs::create_symlink("/dev/zero", path);
        else
            ASSERT_TRUE(writeJpeg(path, 64, 64, JCS_RGB,
                                  [](int x, int y) { return quadrantColour(x, y, 64, 64); }) &&
                        claimSize(path, 20000, 20000));

        loadTexture(raw.c_str());
        CaptureStderr();
        const GLuint texture = loadTexture(path.c_str());
        const std::string report = GetCapturedStderr();
        EXPECT_EQ(boundTexture(), static_cast<GLint>(texture)) << c.name;
        EXPECT_EQ(report,
                  std::string(c.kind == 3 ? "can't use " : "can't open ") + path + c.report);
        ASSERT_EQ(levelWidth(), 512) << c.name;
        const auto image = textureImage();
        EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](unsigned char b) { return b == 0; }))
            << c.name;
    }
}

// The set reads "deita/<name>.jpg" from the working directory, one texture per picture in load
// order, reports the one that is missing and leaves the last one bound.
TEST_F(Textures, SetLoadsSeventeenPicturesInOrderAndLeavesTheLastBound) {
    const char* files[textureSetSize] = {"happy2",   "happy3",   "kuvio",   "turin",  "turin2",
                                         "milan",    "sponssi",  "logo",    "greets", "happy4",
                                         "sponssi1", "sponssi2", "putket3", "h1",     "h2",
                                         "h3",       "renpils"};
    GLuint* const slots[textureSetSize] = {
        &texHappy2,  &texHappy3, &texKuvio,  &texTurin,  &texTurin2,   &texMilan,
        &texSponssi, &texLogo,   &texGreets, &texHappy4, &texSponssi1, &texSponssi2,
        &texPutket3, &texH1,     &texH2,     &texH3,     &texRenpils};
    const fs::path data = directory / "data";
    fs::create_directories(data / "deita");
    auto colourOf = [](int i) {
        return std::array<unsigned char, 4>{static_cast<unsigned char>(15 * i),
                                            static_cast<unsigned char>(250 - 13 * i),
                                            static_cast<unsigned char>(i % 2 ? 200 : 40), 0};
    };
    for (int i = 0; i < textureSetSize; ++i) {
        if (std::string(files[i]) != "sponssi1") {
            ASSERT_TRUE(writeJpeg((data / "deita" / (std::string(files[i]) + ".jpg")).string(), 16,
                                  16, JCS_RGB, [&](int, int) { return colourOf(i); }));
        }
    }

    const fs::path previous = fs::current_path();
    fs::current_path(data);
    CaptureStderr();
    loadTextureSet();
    const std::string report = GetCapturedStderr();
    fs::current_path(previous);

    EXPECT_EQ(report, "can't open deita/sponssi1.jpg\n");
    EXPECT_EQ(boundTexture(), static_cast<GLint>(texRenpils));
    std::set<GLuint> names;
    for (int i = 0; i < textureSetSize; ++i) {
        names.insert(*slots[i]);
        if (i > 0) {
            EXPECT_GT(*slots[i], *slots[i - 1]) << files[i];
        }
        if (std::string(files[i]) == "sponssi1")
            continue;
        glBindTexture(GL_TEXTURE_2D, *slots[i]);
        const auto image = textureImage();
        const auto colour = colourOf(i);
        expectNear(&image[(256 * 512 + 256) * 3], {colour[0], colour[1], colour[2]}, files[i]);
    }
    EXPECT_EQ(names.size(), 17u);
    EXPECT_EQ(names.count(0), 0u);
}
