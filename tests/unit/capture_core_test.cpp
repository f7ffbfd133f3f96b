// The capture tool's parts without graphics: the command line, the frame schedule, the sound
// slice, and the WAV and PNG writers.
#include "capture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool parse(std::vector<std::string> words, CaptureOptions& options, std::string& error) {
    words.insert(words.begin(), "parade-capture");
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    return parseCaptureCommandLine(static_cast<int>(argv.size()), argv.data(), options, error);
}

std::string makeTemporaryFolder() {
    char name[] = "/tmp/capture-core-XXXXXX";
    return mkdtemp(name);
}

// Entries in a folder, to see that no temporary file was left behind.
int filesIn(const std::string& folder) {
    FILE* list = popen(("ls -A " + folder + " | wc -l").c_str(), "r");
    int entries = -1;
    if (list) {
        if (std::fscanf(list, "%d", &entries) != 1)
            entries = -1;
        pclose(list);
    }
    return entries;
}
} // namespace

TEST(CaptureCommandLine, AcceptsEveryCommandAndOption) {
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parse({"video", "show.mp4", "--fps", "60000/1001", "--size=320x240", "--from",
                       "3.4", "--to", "3.6", "--data", "d", "--strike", "15@8.25", "--preset",
                       "medium", "--crf", "23"},
                      options, error))
        << error;
    EXPECT_EQ(options.command, CaptureCommand::video);
    EXPECT_EQ(options.output, "show.mp4");
    EXPECT_EQ(options.fpsNumerator, 60000);
    EXPECT_EQ(options.fpsDenominator, 1001);
    EXPECT_EQ(options.width, 320);
    EXPECT_EQ(options.height, 240);
    EXPECT_DOUBLE_EQ(options.from, 3.4);
    EXPECT_DOUBLE_EQ(options.to, 3.6);
    EXPECT_EQ(options.dataDir, "d");
    ASSERT_EQ(options.extraStrikes.size(), 1u);
    EXPECT_EQ(options.extraStrikes[0].instrument, 15);
    EXPECT_DOUBLE_EQ(options.extraStrikes[0].time, 8.25);
    EXPECT_EQ(options.preset, "medium");
    EXPECT_EQ(options.crf, 23);

    ASSERT_TRUE(parse({"frame", "2.5", "f.png"}, options, error)) << error;
    EXPECT_EQ(options.command, CaptureCommand::frame);
    EXPECT_DOUBLE_EQ(options.frameTime, 2.5);
    EXPECT_EQ(options.output, "f.png");
    EXPECT_EQ(options.width, 640); // defaults come back for every parse
    EXPECT_EQ(options.fpsNumerator, 60);

    ASSERT_TRUE(parse({"--fps", "29.97", "frames", "out"}, options, error)) << error;
    EXPECT_EQ(options.command, CaptureCommand::frames);
    EXPECT_EQ(options.fpsNumerator, 29970);
    EXPECT_EQ(options.fpsDenominator, 1000);

    // Past the show's end the capture stops at 26.
    ASSERT_TRUE(parse({"audio", "a.wav", "--to", "40"}, options, error)) << error;
    EXPECT_DOUBLE_EQ(options.to, 26.0);

    ASSERT_TRUE(parse({"video", "x.mp4", "--help"}, options, error));
    EXPECT_EQ(options.command, CaptureCommand::help);
}

TEST(CaptureCommandLine, RefusesBadInputWithItsReason) {
    const struct {
        std::vector<std::string> words;
        const char* reason;
    } cases[] = {
        {{}, "no command"},
        {{"movie", "x"}, "unknown command"},
        {{"video"}, "usage: parade-capture video OUT.mp4"},
        {{"frame", "1.0"}, "usage: parade-capture frame T OUT.png"},
        {{"bench", "extra"}, "usage: parade-capture bench"},
        {{"video", "x.mp4", "--size", "641x480"}, "odd"},
        {{"video", "x.mp4", "--size", "640x0"}, "empty"},
        {{"video", "x.mp4", "--size", "0x0"}, "empty"},
        {{"video", "x.mp4", "--size", "640"}, "WIDTHxHEIGHT"},
        {{"video", "x.mp4", "--size", "-640x480"}, "WIDTHxHEIGHT"},
        {{"video", "x.mp4", "--size", "8194x480"}, "outside"},
        {{"video", "x.mp4", "--fps", "0"}, "--fps"},
        {{"video", "x.mp4", "--fps", "60/0"}, "--fps"},
        {{"video", "x.mp4", "--fps", "abc"}, "--fps"},
        {{"video", "x.mp4", "--fps", "5000"}, "outside"},
        {{"video", "x.mp4", "--from", "x"}, "demo time"},
        {{"video", "x.mp4", "--from", "-1"}, "before the show"},
        {{"video", "x.mp4", "--from", "27"}, "past the show"},
        {{"video", "x.mp4", "--from", "5", "--to", "4"}, "after --to"},
        {{"video", "x.mp4", "--to"}, "needs a value"},
        {{"video", "x.mp4", "--loud"}, "unknown option"},
        {{"video", "x.mp4", "--preset", "quick"}, "preset"},
        {{"video", "x.mp4", "--crf", "52"}, "--crf"},
        {{"video", "x.mp4", "--strike", "15"}, "INSTRUMENT@TIME"},
        {{"video", "x.mp4", "--strike", "0@1"}, "instrument must be"},
        {{"frame", "26.5", "f.png"}, "outside the show"},
        {{"frame", "-1", "f.png"}, "outside the show"},
        {{"frame", "soon", "f.png"}, "demo time"},
        {{"audio", ""}, "empty"},
    };
    for (const auto& c : cases) {
        CaptureOptions options;
        std::string error;
        EXPECT_FALSE(parse(c.words, options, error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos)
            << "expected \"" << c.reason << "\" in: " << error;
    }
}

TEST(CaptureSchedule, FramesRunFromFromToToInclusive) {
    CaptureOptions options;
    EXPECT_EQ(frameCount(options), 11981); // 199.68 s at 60 fps, both ends drawn
    EXPECT_DOUBLE_EQ(frameTimeAt(options, 0), 0.0);
    EXPECT_LE(frameTimeAt(options, 11980), 26.0); // 11980.8 frame times fit
    EXPECT_GT(frameTimeAt(options, 11981), 26.0);
    EXPECT_DOUBLE_EQ(frameTimeAt(options, 60), 1.0 / 7.68);

    options.from = 3.4;
    options.to = 3.6;
    // 0.2 units are 1.536 s: 92.16 frame times fit after the first.
    EXPECT_EQ(frameCount(options), 93);
    EXPECT_EQ(static_cast<float>(frameTimeAt(options, 0)), 3.4f);
    EXPECT_LE(frameTimeAt(options, 92), 3.6);

    options.fpsNumerator = 60000;
    options.fpsDenominator = 1001;
    EXPECT_EQ(frameCount(options), 93); // 92.07 frame times
    EXPECT_NEAR(frameTimeAt(options, 1) - 3.4, 1001.0 / 60000.0 / 7.68, 1e-12);

    options.from = options.to = 5.0;
    EXPECT_EQ(frameCount(options), 1);
}

TEST(CaptureSound, SliceStartsAtTheFrameTimeAndPadsWithSilence) {
    std::vector<int16_t> pcm(2 * 44100);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<int16_t>(i % 30000);
    const std::vector<int16_t> middle = soundSlice(pcm, 0.5, 0.25);
    ASSERT_EQ(middle.size(), 2u * 11025);
    EXPECT_EQ(middle[0], pcm[2 * 22050]);
    EXPECT_EQ(middle.back(), pcm[2 * (22050 + 11025) - 1]);

    const std::vector<int16_t> tail = soundSlice(pcm, 0.9, 0.2);
    ASSERT_EQ(tail.size(), 2u * 8820);
    EXPECT_EQ(tail[0], pcm[2 * 39690]);
    EXPECT_EQ(tail[2 * 4410 - 1], pcm.back());
    EXPECT_EQ(tail[2 * 4410], 0);
    EXPECT_EQ(tail.back(), 0);
    EXPECT_EQ(soundSlice(pcm, 5.0, 0.1), std::vector<int16_t>(2 * 4410, 0));

    // The sound of a capture lasts exactly as long as its frames.
    CaptureOptions options;
    options.fpsNumerator = 30;
    options.from = 1.0; // 7.68 s
    EXPECT_EQ(soundForFrames(pcm, options, 15).size(), 2u * 22050);
}

TEST(CaptureWriters, WavHoldsAHeaderAndTheSamples) {
    const std::string folder = makeTemporaryFolder();
    const std::string path = folder + "/out.wav";
    std::string error;
    ASSERT_TRUE(writeWav(path, {1, -2, 300, -32768}, error)) << error;
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    ASSERT_EQ(bytes.size(), 44u + 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[4], 44); // 36 + 8 data bytes
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(bytes[22], 2);                                        // stereo
    EXPECT_EQ(bytes[24] | bytes[25] << 8 | bytes[26] << 16, 44100); // rate
    EXPECT_EQ(bytes[34], 16);                                       // bits
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(bytes[40], 8);
    const std::vector<uint8_t> samples = {1, 0, 0xFE, 0xFF, 0x2C, 0x01, 0x00, 0x80};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), samples);
    EXPECT_EQ(filesIn(folder), 1); // no temporary left beside it
    std::system(("rm -rf " + folder).c_str());
}

TEST(CaptureWriters, PngRoundTripsThePicture) {
    const std::string folder = makeTemporaryFolder();
    const std::string path = folder + "/out.png";
    const int width = 6, height = 4;
    std::vector<uint8_t> rgb(width * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 7);
    std::string error;
    ASSERT_TRUE(writePng(path, rgb.data(), width, height, error)) << error;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    EXPECT_EQ(image.width, 6u);
    EXPECT_EQ(image.height, 4u);
    std::vector<uint8_t> back(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr));
    EXPECT_EQ(back, rgb); // first row first, as given
    EXPECT_EQ(filesIn(folder), 1);
    std::system(("rm -rf " + folder).c_str());
}

TEST(CaptureWriters, FailuresSayWhyAndLeaveNothing) {
    const std::string folder = makeTemporaryFolder();
    std::string error;
    const uint8_t pixel[3] = {1, 2, 3};
    EXPECT_FALSE(writePng(folder + "/missing/out.png", pixel, 1, 1, error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(writeWav(folder + "/missing/out.wav", {0, 0}, error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_FALSE(checkWritable(folder, error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    EXPECT_FALSE(checkWritable(folder + "/missing/x.mp4", error));
    EXPECT_TRUE(checkWritable(folder + "/x.mp4", error)) << error;
    EXPECT_EQ(filesIn(folder), 0);

    std::system(("rm -rf " + folder).c_str());
}

TEST(CaptureWriters, FindProgramSearchesPath) {
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent:/bin:/usr/bin", 1);
    EXPECT_NE(findProgram("sh"), "");
    EXPECT_EQ(findProgram("no-such-program-here"), "");
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(findProgram("sh"), "");
    setenv("PATH", saved.c_str(), 1);
}

TEST(CaptureOutputs, LinksAreFollowedAndPartialFilesNeverReplaceAnything) {
    const std::string folder = makeTemporaryFolder();
    const auto at = [&](const char* name) { return folder + "/" + name; };
    symlink("b", at("a").c_str()); // a -> b -> c.wav, which does not exist yet
    symlink(at("c.wav").c_str(), at("b").c_str());
    symlink("loop", at("loop").c_str());
    mkfifo(at("fifo").c_str(), 0644);
    OutputTarget target;
    std::string error;
    ASSERT_TRUE(resolveOutput(at("a"), target, error)) << error;
    EXPECT_EQ(target.path, at("c.wav"));
    EXPECT_FALSE(target.stream || target.existing);
    std::ofstream(at("c.wav")) << "old";
    ASSERT_TRUE(resolveOutput(at("a"), target, error)) << error;
    EXPECT_TRUE(target.existing);
    ASSERT_TRUE(resolveOutput(at("fifo"), target, error)) << error;
    EXPECT_TRUE(target.stream);
    EXPECT_EQ(target.path, at("fifo"));
    EXPECT_FALSE(resolveOutput(at("loop"), target, error));
    EXPECT_NE(error.find("symbolic links"), std::string::npos) << error;

    // Each failure gets the next free name; an existing partial file is never replaced.
    const struct {
        const char* destination;
        const char* kept;
    } cases[] = {
        {"v.mp4", "v.partial.mp4"}, {"v.mp4", "v.partial-2.mp4"}, {"bare", "bare.partial"}};
    for (const auto& c : cases) {
        std::ofstream(at("part")) << c.kept;
        EXPECT_EQ(keepPartialBeside(at("part"), at(c.destination)), at(c.kept));
    }
    std::ifstream first(at("v.partial.mp4"));
    std::string text;
    first >> text;
    EXPECT_EQ(text, "v.partial.mp4");
    EXPECT_EQ(filesIn(folder), 8); // a, b, c.wav, loop, fifo and the three kept files
    std::system(("rm -rf " + folder).c_str());
}
