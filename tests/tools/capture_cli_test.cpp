// parade-capture as a user runs it: single frames, a short video checked with ffprobe, the
// sound, interruption and a full disk, and bad input. Runs on the default data of the build
// (build/data) or, where that is missing, on a module and pictures it makes itself.
#include "itwriter.h"
#include "png_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <pwd.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct Outcome {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

struct Launch {
    Launch(std::vector<std::string> givenArgs,
           std::vector<std::pair<std::string, std::string>> givenEnvironment = {},
           rlim_t limit = RLIM_INFINITY)
        : args(std::move(givenArgs)), environment(std::move(givenEnvironment)),
          fileSizeLimit(limit) {}
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> environment;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    std::vector<std::string> unset; // variables taken out of the environment
    uid_t user = 0;                 // run as this user (0: as the test)
};

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string workFolder;
std::string dataFolder;

// Starts parade-capture with its output in files; returns the child's id.
pid_t start(const Launch& launch, const std::string& outPath, const std::string& errPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        for (const auto& [name, value] : launch.environment)
            setenv(name.c_str(), value.c_str(), 1);
        for (const std::string& name : launch.unset)
            unsetenv(name.c_str());
        if (launch.user != 0) {
            const passwd* account = getpwuid(launch.user);
            if (!account || setgid(account->pw_gid) != 0 || setuid(launch.user) != 0)
                _exit(125);
        }
        if (launch.fileSizeLimit != RLIM_INFINITY) {
            // Writing past the limit then fails with an error instead of killing the writer.
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        std::string program = CAPTURE_PROGRAM;
        argv.push_back(program.data());
        std::vector<std::string> args = launch.args;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(CAPTURE_PROGRAM, argv.data());
        _exit(126);
    }
    return pid;
}

Outcome finish(pid_t pid, const std::string& outPath, const std::string& errPath) {
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

// Waits up to `seconds` for the child; a child still running then is killed (status 137).
Outcome finishWithin(pid_t pid, double seconds, const std::string& outPath,
                     const std::string& errPath) {
    int status = 0;
    for (int i = 0; i < seconds * 50 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        usleep(20000);
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    Outcome run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

Outcome capture(const Launch& launch) {
    const std::string outPath = workFolder + "/stdout.txt";
    const std::string errPath = workFolder + "/stderr.txt";
    return finish(start(launch, outPath, errPath), outPath, errPath);
}

Outcome capture(std::vector<std::string> args) {
    args.push_back("--data");
    args.push_back(dataFolder);
    return capture(Launch{args, {}, RLIM_INFINITY});
}

std::string shell(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return text;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, got);
    pclose(pipe);
    return text;
}

// The id of a second user, made once (the tests run as root), for files of somebody else's.
uid_t otherUser() {
    static uid_t uid = 0;
    if (uid == 0) {
        shell("id -u parade-other >/dev/null 2>&1 || useradd --system --no-create-home "
              "--shell /usr/sbin/nologin parade-other");
        uid = static_cast<uid_t>(std::atoi(shell("id -u parade-other").c_str()));
    }
    return uid;
}

// A sticky, world-writable folder `shared` in `folder` (as /tmp is), holding the other user's
// link `name` to the caller's file `victim` beside the folder.
void plantForeignLink(const std::string& folder, const std::string& name,
                      const std::string& victim) {
    std::ofstream(folder + "/" + victim) << "victim's";
    const std::string shared = folder + "/shared";
    mkdir(shared.c_str(), 0777);
    chmod(shared.c_str(), 01777);
    const std::string link = shared + "/" + name;
    symlink(("../" + victim).c_str(), link.c_str());
    const uid_t other = otherUser();
    ASSERT_NE(other, 0u) << "no second user";
    ASSERT_EQ(lchown(link.c_str(), other, other), 0);
}

bool exists(const std::string& path) {
    struct stat about {};
    return stat(path.c_str(), &about) == 0;
}

// Sum of all channels over rows [top, bottom) (rows counted from the picture's top).
double brightness(const Picture& picture, unsigned top, unsigned bottom) {
    double sum = 0.0;
    for (unsigned y = top; y < bottom; ++y)
        for (unsigned x = 0; x < picture.width * 3; ++x)
            sum += picture.rgb[(y * picture.width) * 3 + x];
    return sum;
}

// A module of the show's pace: tempo 125, speed 6, 27 patterns (or `orders`), and only
// instruments 2 and 3 playing, so instrument 15 never strikes on its own.
bool writeFixtureModule(const std::string& path, std::string& error, int orders = 27) {
    ItModule module;
    module.title = "capture fixture";
    for (int i = 1; i <= 16; ++i) {
        ItInstrument instrument;
        instrument.name = "tone " + std::to_string(i);
        instrument.pcm.resize(2000);
        for (size_t k = 0; k < instrument.pcm.size(); ++k)
            instrument.pcm[k] = static_cast<int16_t>((k % 100 < 50 ? 6000 : -6000) / i);
        module.instruments.push_back(instrument);
    }
    ItPattern pattern;
    for (int row = 0; row < 64; row += 4)
        pattern.rows[row] = {ItCell{itNoteC5, static_cast<uint8_t>(row % 8 ? 3 : 2)}};
    module.patterns.push_back(pattern);
    module.orders.assign(static_cast<size_t>(orders), 0);
    return writeItModule(module, path, error);
}

// The types of an mp4 file's top-level boxes, in order.
std::vector<std::string> topLevelBoxes(const std::string& path) {
    const std::string file = readFile(path);
    std::vector<std::string> boxes;
    for (size_t at = 0; at + 8 <= file.size();) {
        uint64_t size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | static_cast<unsigned char>(file[at + i]);
        boxes.push_back(file.substr(at + 4, 4));
        if (size == 1 && at + 16 <= file.size()) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | static_cast<unsigned char>(file[at + i]);
        }
        if (size < 8)
            break;
        at += size;
    }
    return boxes;
}

// ffprobe's value of `entry` for the first stream of `type` ("v" or "a").
std::string streamEntry(const std::string& video, const char* type, const char* entry) {
    std::string value = shell(std::string("ffprobe -v error -select_streams ") + type +
                              " -show_entries stream=" + entry + " -of csv=p=0 " + video);
    while (!value.empty() && (value.back() == '\n' || value.back() == ','))
        value.pop_back();
    return value;
}

class CaptureTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char name[] = "/tmp/capture-cli-XXXXXX";
        workFolder = mkdtemp(name);
        dataFolder = CAPTURE_DEFAULT_DATA;
        if (exists(dataFolder + "/mod2.it") && exists(dataFolder + "/deita"))
            return;
        // No default data: a module of our own and the painter's pictures, or test patterns.
        dataFolder = workFolder + "/data";
        mkdir(dataFolder.c_str(), 0755);
        mkdir((dataFolder + "/deita").c_str(), 0755);
        std::string error;
        ASSERT_TRUE(writeFixtureModule(dataFolder + "/mod2.it", error)) << error;
        if (exists(CAPTURE_PAINTER)) {
            shell(std::string(CAPTURE_PAINTER) + " " + dataFolder + "/deita");
            return;
        }
        for (const char* picture :
             {"happy2", "happy3", "kuvio", "turin", "turin2", "milan", "sponssi", "logo", "greets",
              "happy4", "sponssi1", "sponssi2", "putket3", "h1", "h2", "h3", "renpils"})
            shell("ffmpeg -v error -f lavfi -i testsrc=size=512x512 -frames:v 1 -pix_fmt yuvj420p "
                  "-y " +
                  dataFolder + "/deita/" + picture + ".jpg");
    }
    static void TearDownTestSuite() { shell("rm -rf " + workFolder); }

    std::string path(const std::string& name) const { return workFolder + "/" + name; }
};

TEST_F(CaptureTest, SameFrameTwiceIsByteIdenticalAndTimesDiffer) {
    for (const char* name : {"a.png", "b.png"}) {
        const Outcome run = capture({"frame", "3.4", path(name)});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::string first = readFile(path("a.png"));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == readFile(path("b.png")));
    const Picture picture = readPng(path("a.png"));
    EXPECT_EQ(picture.width, 640u);
    EXPECT_EQ(picture.height, 480u);
    // The letter-box: the band's 90 rows above and 120 below are black.
    EXPECT_EQ(brightness(picture, 0, 90), 0.0);
    EXPECT_EQ(brightness(picture, 360, 480), 0.0);

    for (const char* time : {"0.1", "0.2"}) {
        const Outcome run = capture({"frame", time, path(std::string("t") + time + ".png")});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::string early = readFile(path("t0.1.png"));
    ASSERT_FALSE(early.empty());
    EXPECT_FALSE(early == readFile(path("t0.2.png")));
}

TEST_F(CaptureTest, StrikeOfInstrument15BrightensThePictureLayers) {
    // t = 8 shows the whirling picture stack; a strike of instrument 15 adds 8 to its beat.
    ASSERT_EQ(capture({"frame", "8", path("plain.png")}).status, 0);
    const Outcome run = capture({"frame", "8", path("struck.png"), "--strike", "15@7.99"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Picture plain = readPng(path("plain.png"));
    const Picture struck = readPng(path("struck.png"));
    ASSERT_EQ(plain.rgb.size(), struck.rgb.size());
    ASSERT_FALSE(plain.rgb.empty());
    const double before = brightness(plain, 90, 360);
    const double after = brightness(struck, 90, 360);
    EXPECT_GT(after, before * 1.2 + 1000.0) << before << " -> " << after;
}

TEST_F(CaptureTest, ShortVideoHasItsFramesSoundAndFirstFrame) {
    const std::string video = path("short.mp4");
    // Lossless, so the decoded first frame can be compared exactly.
    const Outcome run = capture(
        {"video", video, "--from", "3.4", "--to", "3.6", "--size", "160x120", "--crf", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("93 frames"), std::string::npos) << run.out;

    const std::string probe = "ffprobe -v error -show_entries stream=codec_type,codec_name,width,"
                              "height,nb_read_packets -count_packets -show_entries "
                              "format=duration -of default=noprint_wrappers=1 " +
                              video;
    const std::string facts = shell(probe);
    EXPECT_NE(facts.find("codec_name=h264"), std::string::npos) << facts;
    EXPECT_NE(facts.find("width=160"), std::string::npos) << facts;
    EXPECT_NE(facts.find("height=120"), std::string::npos) << facts;
    EXPECT_NE(facts.find("nb_read_packets=93"), std::string::npos) << facts;
    EXPECT_NE(facts.find("codec_type=audio"), std::string::npos) << facts;
    EXPECT_NE(facts.find("codec_name=aac"), std::string::npos) << facts;
    const size_t at = facts.find("duration=");
    ASSERT_NE(at, std::string::npos) << facts;
    EXPECT_NEAR(std::atof(facts.c_str() + at + 9), 93.0 / 60.0, 0.05) << facts;

    // The first frame equals "frame 3.4" at the same size (compared as the encoder sees both).
    ASSERT_EQ(capture({"frame", "3.4", path("first.png"), "--size", "160x120"}).status, 0);
    const std::string decoded =
        shell("ffmpeg -v error -i " + video + " -frames:v 1 -f rawvideo -pix_fmt yuv420p -");
    const std::string still =
        shell("ffmpeg -v error -i " + path("first.png") + " -f rawvideo -pix_fmt yuv420p -");
    ASSERT_EQ(decoded.size(), 160u * 120u * 3u / 2u);
    EXPECT_TRUE(decoded == still);
    const std::string second = shell("ffmpeg -v error -i " + video +
                                     " -vf 'select=eq(n\\,1)' -frames:v 1 -f rawvideo "
                                     "-pix_fmt yuv420p -");
    EXPECT_FALSE(second == still); // the comparison can tell frames apart
}

TEST_F(CaptureTest, FramesAndSoundCoverTheRange) {
    const std::string folder = path("frames");
    const Outcome run =
        capture({"frames", folder, "--from", "10", "--to", "10.02", "--size", "64x48"});
    ASSERT_EQ(run.status, 0) << run.err;
    // 0.02 units are 0.1536 s: 9.2 frame times at 60 fps.
    EXPECT_TRUE(exists(folder + "/frame-000009.png"));
    EXPECT_FALSE(exists(folder + "/frame-000010.png"));
    EXPECT_EQ(readPng(folder + "/frame-000000.png").width, 64u);

    const Outcome sound = capture({"audio", path("sound.wav"), "--from", "1", "--to", "2"});
    ASSERT_EQ(sound.status, 0) << sound.err;
    const std::string wav = readFile(path("sound.wav"));
    // One unit is 7.68 s: 338688 stereo frames of 4 bytes after the 44-byte header.
    EXPECT_EQ(wav.size(), 44u + 338688u * 4u);
}

TEST_F(CaptureTest, CtrlCLeavesAPlayableVideo) {
    const std::string folder = path("stop");
    mkdir(folder.c_str(), 0755);
    const std::string video = folder + "/stopped.mp4";
    Launch launch{{"video", video, "--size", "160x120", "--data", dataFolder}, {}, RLIM_INFINITY};
    const std::string outPath = path("stopped.out");
    const std::string errPath = path("stopped.err");
    const pid_t pid = start(launch, outPath, errPath);
    // The first progress line comes after a few seconds of capturing.
    for (int i = 0; i < 1200 && readFile(errPath).find("video: ") == std::string::npos; ++i)
        usleep(100000);
    kill(pid, SIGINT);
    const Outcome run = finish(pid, outPath, errPath);
    EXPECT_EQ(run.status, 130) << run.err;
    const size_t said = run.err.find("holds the first ");
    ASSERT_NE(said, std::string::npos) << run.err;
    const int frames = std::atoi(run.err.c_str() + said + 16);
    EXPECT_GT(frames, 0);
    // Every frame it reports is in the file, and the file decodes without an error.
    const std::string probe = shell("ffprobe -v error -select_streams v -count_frames "
                                    "-show_entries stream=nb_read_frames -of csv=p=0 " +
                                    video + " 2>&1");
    EXPECT_EQ(std::atoi(probe.c_str()), frames) << probe;
    EXPECT_EQ(probe.find("rror"), std::string::npos) << probe;
    // The fragmented file it was writing, its pictures from 0.
    const std::vector<std::string> boxes = topLevelBoxes(video);
    EXPECT_NE(std::find(boxes.begin(), boxes.end(), "moof"), boxes.end());
    EXPECT_NEAR(std::atof(streamEntry(video, "v", "start_time").c_str()), 0.0, 0.0005);
    EXPECT_EQ(shell("ls " + folder), "stopped.mp4\n"); // no part file left
}

TEST_F(CaptureTest, VideoStartsWithItsSoundAsAPlainTaggedMp4) {
    for (const int fps : {30, 60}) {
        SCOPED_TRACE(std::to_string(fps) + " fps");
        const std::string video = path("sync-" + std::to_string(fps) + ".mp4");
        const Outcome run = capture({"video", video, "--from", "3", "--to", "3.1", "--size",
                                     "160x120", "--fps", std::to_string(fps)});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string pictures = streamEntry(video, "v", "start_time");
        const std::string sound = streamEntry(video, "a", "start_time");
        ASSERT_FALSE(pictures.empty() || sound.empty());
        EXPECT_NEAR(std::atof(pictures.c_str()), std::atof(sound.c_str()), 0.001)
            << "pictures start at " << pictures << " s, the sound at " << sound << " s";
        // Frame k is shown at k / fps.
        std::istringstream times(shell("ffprobe -v error -select_streams v -show_entries "
                                       "frame=pts_time -of csv=p=0 " +
                                       video));
        double shown = 0.0;
        for (int k = 0; k < 8 && times >> shown; ++k) {
            EXPECT_NEAR(shown, k / static_cast<double>(fps), 0.0005) << "frame " << k;
            times.ignore(1 << 10, '\n');
        }
        // An ordinary mp4: the index before the media data, no fragments.
        const std::vector<std::string> boxes = topLevelBoxes(video);
        const auto index = std::find(boxes.begin(), boxes.end(), "moov");
        const auto media = std::find(boxes.begin(), boxes.end(), "mdat");
        ASSERT_NE(index, boxes.end());
        ASSERT_NE(media, boxes.end());
        EXPECT_LT(index, media);
        EXPECT_EQ(std::find(boxes.begin(), boxes.end(), "moof"), boxes.end());
        for (const char* tag : {"color_space", "color_primaries", "color_transfer"})
            EXPECT_EQ(streamEntry(video, "v", tag), "bt709") << tag;
        EXPECT_EQ(streamEntry(video, "v", "color_range"), "tv");
    }
}

// An HD frame decoded by its tags, as players decode it (untagged HD is read as BT.709 in
// limited range), against the still of the same moment.
TEST_F(CaptureTest, HdVideoDecodedByItsTagsHasTheStillsColours) {
    const std::string video = path("hd.mp4");
    const Outcome run =
        capture({"video", video, "--from", "13.2", "--to", "13.205", "--size", "1920x1080"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(capture({"frame", "13.2", path("hd.png"), "--size", "1920x1080"}).status, 0);
    const std::string matrix = streamEntry(video, "v", "color_space");
    const std::string range = streamEntry(video, "v", "color_range");
    const std::string decoded =
        shell("ffmpeg -v error -i " + video + " -frames:v 1 -vf scale=in_color_matrix=" +
              (matrix == "bt470bg" || matrix == "smpte170m" ? "bt601" : "bt709") +
              ":in_range=" + (range == "pc" ? "pc" : "tv") +
              ":flags=accurate_rnd+full_chroma_int -f rawvideo -pix_fmt rgb24 -");
    const Picture still = readPng(path("hd.png"));
    ASSERT_EQ(decoded.size(), still.rgb.size());
    double lit = 0.0;
    double difference = 0.0;
    double shift[3] = {0.0, 0.0, 0.0};
    for (size_t i = 0; i + 2 < still.rgb.size(); i += 3) {
        if (std::max({still.rgb[i], still.rgb[i + 1], still.rgb[i + 2]}) <= 24)
            continue;
        lit += 1.0;
        for (size_t c = 0; c < 3; ++c) {
            const double change =
                static_cast<unsigned char>(decoded[i + c]) - static_cast<double>(still.rgb[i + c]);
            difference += std::abs(change);
            shift[c] += change;
        }
    }
    ASSERT_GT(lit, 100000.0);
    EXPECT_LE(difference / lit / 3.0, 3.0);
    for (const double channel : shift)
        EXPECT_LE(std::abs(channel / lit), 1.5)
            << shift[0] / lit << " " << shift[1] / lit << " " << shift[2] / lit;
}

TEST_F(CaptureTest, LargePngSequenceWarnsFirstAndStopsCleanly) {
    const std::string folder = path("many");
    Launch launch{
        {"frames", folder, "--size", "1280x960", "--data", dataFolder}, {}, RLIM_INFINITY};
    const std::string outPath = path("many.out");
    const std::string errPath = path("many.err");
    const pid_t pid = start(launch, outPath, errPath);
    for (int i = 0; i < 1200 && readFile(errPath).find("frames: ") == std::string::npos; ++i)
        usleep(100000);
    kill(pid, SIGTERM);
    const Outcome run = finish(pid, outPath, errPath);
    // 11981 frames of 1280x960: about 3.7 GB, said before the first frame.
    const size_t warning = run.err.find("warning: 11981 frames of 1280x960 will take about 3.7 GB");
    ASSERT_NE(warning, std::string::npos) << run.err;
    EXPECT_LT(warning, run.err.find("rendering the music"));
    EXPECT_EQ(run.status, 130) << run.err;
    const size_t said = run.err.find("holds the first ");
    ASSERT_NE(said, std::string::npos) << run.err;
    const int frames = std::atoi(run.err.c_str() + said + 16);
    // Only whole frames are left, numbered from 0.
    EXPECT_EQ(std::atoi(shell("ls " + folder + " | wc -l").c_str()), frames);
    EXPECT_EQ(shell("ls " + folder + " | grep -v '^frame-[0-9]*\\.png$'"), "");
    EXPECT_EQ(readPng(folder + "/frame-" + std::string(6 - std::to_string(frames - 1).size(), '0') +
                      std::to_string(frames - 1) + ".png")
                  .width,
              1280u);
}

TEST_F(CaptureTest, FullDiskSaysSoAndKeepsWhatWasWritten) {
    // A file size limit stands in for a full disk: writing past it fails as it would there.
    // The lossless video is measured first; the limit lets the sound file for ffmpeg through
    // and cuts the video about halfway, after some whole fragments.
    const std::vector<std::string> args = {"--from",  "4",     "--to", "4.5",    "--size",
                                           "640x480", "--crf", "0",    "--data", dataFolder};
    std::vector<std::string> whole = {"video", path("whole.mp4")};
    whole.insert(whole.end(), args.begin(), args.end());
    ASSERT_EQ(capture(Launch{whole, {}, RLIM_INFINITY}).status, 0);
    struct stat about {};
    ASSERT_EQ(stat(path("whole.mp4").c_str(), &about), 0);
    const rlim_t videoBytes = static_cast<rlim_t>(about.st_size);
    const rlim_t soundBytes = 44 + 169785 * 4; // 231 frames at 60 fps
    const rlim_t limit = std::max(soundBytes + 65536, videoBytes / 2);
    ASSERT_GT(videoBytes, limit + limit / 5) << "the video is too small to cut";

    const std::string video = path("full.mp4");
    std::vector<std::string> cut = {"video", video};
    cut.insert(cut.end(), args.begin(), args.end());
    const Outcome run = capture(Launch{cut, {}, limit});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("ffmpeg failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("keeps what was written"), std::string::npos) << run.err;
    const std::string probe = shell("ffprobe -v error -select_streams v -count_frames "
                                    "-show_entries stream=nb_read_frames -of csv=p=0 " +
                                    video + " 2>/dev/null");
    EXPECT_GE(std::atoi(probe.c_str()), 60) << probe;
}

TEST_F(CaptureTest, BadInputIsRefusedWithoutLeavingAnything) {
    const std::string out = path("bad");
    mkdir(out.c_str(), 0755);
    const struct {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> environment;
        const char* reason;
    } cases[] = {
        {{"video", out + "/a.mp4", "--data", out + "/nowhere"}, {}, "does not exist"},
        {{"frame", "1", out + "/a.png", "--data", out}, {}, "no readable mod2.it"},
        {{"video", out + "/a.mp4", "--data", dataFolder}, {{"PATH", out}}, "ffmpeg is not on PATH"},
        {{"video", "/proc/parade.mp4", "--data", dataFolder}, {}, "cannot write /proc/parade.mp4"},
        {{"frame", "1", out + "/missing/a.png", "--data", dataFolder}, {}, "cannot write"},
        {{"audio", out, "--data", dataFolder}, {}, "it is a folder"},
        {{"frames", "/proc/parade-frames", "--data", dataFolder}, {}, "cannot make the folder"},
        {{"video", out + "/a.mp4", "--size", "641x480", "--data", dataFolder}, {}, "odd"},
        {{"video", out + "/a.mp4", "--size", "0x480", "--data", dataFolder}, {}, "empty"},
        {{"frame", "27", out + "/a.png", "--data", dataFolder}, {}, "outside the show"},
    };
    for (const auto& c : cases) {
        const Outcome run = capture(Launch{c.args, c.environment, RLIM_INFINITY});
        EXPECT_NE(run.status, 0) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos)
            << "expected \"" << c.reason << "\" in: " << run.err;
        EXPECT_EQ(shell("ls -A " + out), "") << c.reason;
    }
    EXPECT_FALSE(exists("/proc/parade.mp4"));

    // Not a module: refused after the checks, and the output is not made.
    const std::string fake = path("fake");
    mkdir(fake.c_str(), 0755);
    mkdir((fake + "/deita").c_str(), 0755);
    std::ofstream(fake + "/mod2.it") << "this is not a module";
    const Outcome run =
        capture(Launch{{"frame", "1", out + "/a.png", "--data", fake}, {}, RLIM_INFINITY});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot play mod2.it"), std::string::npos) << run.err;
    EXPECT_EQ(shell("ls -A " + out), "");
}

// A module playing over half an hour (250 patterns) is taken as far as the show plays it, not
// refused: the sound of the show's last pattern is there.
TEST_F(CaptureTest, LongModuleIsTakenAsFarAsTheShowPlaysIt) {
    const std::string data = path("long");
    mkdir(data.c_str(), 0755);
    ASSERT_EQ(symlink((dataFolder + "/deita").c_str(), (data + "/deita").c_str()), 0);
    std::string error;
    ASSERT_TRUE(writeFixtureModule(data + "/mod2.it", error, 250)) << error;
    const std::string out = path("long.wav");
    const Outcome run = capture(
        Launch{{"audio", out, "--from", "25", "--to", "26", "--data", data}, {}, RLIM_INFINITY});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("7.68 s of 44100 Hz"), std::string::npos) << run.out;
    const std::string wav = readFile(out);
    ASSERT_EQ(wav.size(), 44u + 338688u * 4u);
    // The strike at the start of pattern 25 is heard.
    EXPECT_NE(wav.find_first_not_of('\0', 44), std::string::npos);
    EXPECT_LT(wav.find_first_not_of('\0', 44), 44u + 4410u * 4u);
}

// 'l' link, 'p' FIFO, 'c' character device, 's' socket, 'd' folder, 'f' file, '-' nothing.
char typeOf(const std::string& path) {
    struct stat about {};
    if (lstat(path.c_str(), &about) != 0)
        return '-';
    if (S_ISLNK(about.st_mode))
        return 'l';
    if (S_ISFIFO(about.st_mode))
        return 'p';
    if (S_ISCHR(about.st_mode))
        return 'c';
    if (S_ISSOCK(about.st_mode))
        return 's';
    return S_ISDIR(about.st_mode) ? 'd' : 'f';
}

std::string linkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

// Everything in a case's folder but its temporary folder and its data, one path a line.
std::string contents(const std::string& folder) {
    return shell("cd " + folder +
                 " && find . -mindepth 1 \\( -path ./tmp -o -path ./data \\) -prune -o -print | "
                 "sort");
}

// A private copy of the data that a case may spoil.
std::string copyData(const std::string& folder) {
    shell("cp -r " + dataFolder + " " + folder + "/data");
    return folder + "/data";
}

// True once the child has ended; it is left to be waited for.
bool ended(pid_t child) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid != 0;
}

bool waitForText(const std::string& path, const std::string& text, pid_t running) {
    for (int i = 0; i < 3000; ++i) {
        if (readFile(path).find(text) != std::string::npos)
            return true;
        if (ended(running))
            return false;
        usleep(10000);
    }
    return false;
}

// A reader that copies the FIFO into `sink` until the writer closes it.
pid_t drainInto(const std::string& fifo, const std::string& sink) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(sink.c_str(), O_WRONLY | O_CREAT, 0644);
        dup2(fd, STDOUT_FILENO);
        execl("/bin/cat", "cat", fifo.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// A reader that opens the FIFO and never reads from it.
pid_t stalledReader(const std::string& fifo) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(fifo.c_str(), O_RDONLY);
        pause();
        close(fd);
        _exit(0);
    }
    return pid;
}

Launch plain(std::vector<std::string> args) {
    return Launch{std::move(args), {}, RLIM_INFINITY};
}

bool runsWav(const std::string& path) {
    const std::string wav = readFile(path);
    return wav.size() > 60000 && wav.compare(0, 4, "RIFF") == 0;
}

// One case of the table below: a fixture, the capture's arguments, and what must follow.
struct HostileCase {
    const char* name;
    // Makes the fixtures in the case's folder and returns the arguments.
    std::function<Launch(const std::string&)> prepare;
    int status; // -1: the check decides
    const char* message;
    std::string expectedContents;
    std::function<void(pid_t, const std::string&, const std::string&)> during;
    std::function<void(const std::string&, const Outcome&)> check;
};

void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.name;
}

// The reader a case puts at its FIFO, and whether a case's FIFO was being read from.
pid_t drainer = 0;
bool readingFifo = false;
const char picture[] = "/deita/kuvio.jpg";

// A capture stopped while its FIFO's reader stalled: it ended by itself, not by the test's
// kill, with a failure, and left only the FIFO.
std::function<void(const std::string&, const Outcome&)>
stoppedBesideItsStuckReader(const char* name) {
    return [name](const std::string& d, const Outcome& run) {
        kill(drainer, SIGKILL);
        waitpid(drainer, nullptr, 0);
        EXPECT_NE(run.status, 137) << "the capture did not stop: " << run.err;
        EXPECT_NE(run.status, 0) << run.err;
        EXPECT_EQ(contents(d), std::string("./") + name + "\n");
    };
}

// Outputs that are links, FIFOs, devices, sockets, files in the way of a folder or files
// about to be replaced, spoilt data and signals: each case checks the status, the message,
// and that nothing beyond the intended output changed and no temporary file is left.
std::vector<HostileCase> hostileCases() {
    return {
        {"a symlink writes to its target",
         [&](const std::string& d) {
             std::ofstream(d + "/old.wav") << "old";
             symlink("old.wav", (d + "/link.wav").c_str());
             return plain(
                 {"audio", d + "/link.wav", "--from", "1", "--to", "1.05", "--data", dataFolder});
         },
         0, "", "./link.wav\n./old.wav\n", nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_EQ(linkTarget(d + "/link.wav"), "old.wav");
             EXPECT_TRUE(runsWav(d + "/old.wav"));
         }},
        {"another user's link in a shared folder is not followed (sound)",
         [&](const std::string& d) {
             plantForeignLink(d, "show.wav", "victim.wav");
             return plain({"audio", d + "/shared/show.wav", "--from", "1", "--to", "1.05", "--data",
                           dataFolder});
         },
         1, "another user's link in a shared folder", "./shared\n./shared/show.wav\n./victim.wav\n",
         nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_TRUE(readFile(d + "/victim.wav") == "victim's") << "the victim's file changed";
             EXPECT_EQ(linkTarget(d + "/shared/show.wav"), "../victim.wav");
         }},
        {"another user's link in a shared folder is not followed (picture)",
         [&](const std::string& d) {
             plantForeignLink(d, "show.png", "victim.png");
             return plain(
                 {"frame", "1", d + "/shared/show.png", "--size", "64x48", "--data", dataFolder});
         },
         1, "another user's link in a shared folder", "./shared\n./shared/show.png\n./victim.png\n",
         nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_TRUE(readFile(d + "/victim.png") == "victim's") << "the victim's file changed";
         }},
        {"a dangling symlink makes its target",
         [&](const std::string& d) {
             symlink("made.png", (d + "/link.png").c_str());
             return plain({"frame", "1", d + "/link.png", "--size", "64x48", "--data", dataFolder});
         },
         0, "", "./link.png\n./made.png\n", nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_EQ(typeOf(d + "/link.png"), 'l');
             EXPECT_EQ(readPng(d + "/made.png").width, 64u);
         }},
        {"a FIFO is written as a stream",
         [&](const std::string& d) {
             mkfifo((d + "/fifo.wav").c_str(), 0644);
             drainer = drainInto(d + "/fifo.wav", d + "/sink");
             return plain(
                 {"audio", d + "/fifo.wav", "--from", "1", "--to", "1.05", "--data", dataFolder});
         },
         0, "", "./fifo.wav\n./sink\n", nullptr,
         [&](const std::string& d, const Outcome&) {
             const Outcome cat = finishWithin(drainer, 10, "/dev/null", "/dev/null");
             EXPECT_EQ(cat.status, 0) << "the reader never saw the end";
             EXPECT_EQ(typeOf(d + "/fifo.wav"), 'p');
             EXPECT_TRUE(runsWav(d + "/sink"));
         }},
        {"a FIFO gets the video's fragments",
         [&](const std::string& d) {
             mkfifo((d + "/fifo.mp4").c_str(), 0644);
             drainer = drainInto(d + "/fifo.mp4", d + "/sink.mp4");
             return plain({"video", d + "/fifo.mp4", "--from", "1", "--to", "1.02", "--size",
                           "64x48", "--data", dataFolder});
         },
         0, "", "./fifo.mp4\n./sink.mp4\n", nullptr,
         [&](const std::string& d, const Outcome&) {
             EXPECT_EQ(finishWithin(drainer, 10, "/dev/null", "/dev/null").status, 0);
             EXPECT_EQ(typeOf(d + "/fifo.mp4"), 'p');
             const std::string frames = shell("ffprobe -v error -select_streams v -count_frames "
                                              "-show_entries stream=nb_read_frames -of csv=p=0 " +
                                              d + "/sink.mp4");
             EXPECT_EQ(std::atoi(frames.c_str()), 10) << frames;
         }},
        {"a device is written in place",
         [&](const std::string& d) {
             symlink("/dev/null", (d + "/null.wav").c_str());
             return plain(
                 {"audio", d + "/null.wav", "--from", "1", "--to", "1.05", "--data", dataFolder});
         },
         0, "", "./null.wav\n", nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_EQ(typeOf("/dev/null"), 'c');
             EXPECT_EQ(linkTarget(d + "/null.wav"), "/dev/null");
         }},
        {"a socket is refused",
         [&](const std::string& d) {
             const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::snprintf(address.sun_path, sizeof address.sun_path, "%s/sock.png", d.c_str());
             bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
             close(fd);
             return plain({"frame", "1", d + "/sock.png", "--data", dataFolder});
         },
         1, "is a socket", "./sock.png\n", nullptr,
         [](const std::string& d, const Outcome&) { EXPECT_EQ(typeOf(d + "/sock.png"), 's'); }},
        {"a file where the frames folder goes is refused",
         [&](const std::string& d) {
             std::ofstream(d + "/shots") << "keep";
             return plain({"frames", d + "/shots", "--data", dataFolder});
         },
         1, "not a folder", "./shots\n", nullptr,
         [](const std::string& d, const Outcome&) { EXPECT_EQ(readFile(d + "/shots"), "keep"); }},
        {"a failing encoder keeps the old video and the partial one beside it",
         [&](const std::string& d) {
             mkdir((d + "/bin").c_str(), 0755);
             std::ofstream(d + "/bin/ffmpeg")
                 << "#!/bin/sh\nfor last; do :; done\ncat > /dev/null\nprintf partial > "
                    "\"$last\"\necho 'out of luck' >&2\nexit 1\n";
             chmod((d + "/bin/ffmpeg").c_str(), 0755);
             std::ofstream(d + "/good.mp4") << "previous video";
             const char* path = std::getenv("PATH");
             return Launch{{"video", d + "/good.mp4", "--from", "1", "--to", "1.02", "--size",
                            "64x48", "--data", dataFolder},
                           {{"PATH", d + "/bin:" + (path ? path : "")}},
                           RLIM_INFINITY};
         },
         1, "ffmpeg failed: out of luck", "./bin\n./bin/ffmpeg\n./good.mp4\n./good.partial.mp4\n",
         nullptr,
         [](const std::string& d, const Outcome& run) {
             EXPECT_EQ(readFile(d + "/good.mp4"), "previous video");
             EXPECT_EQ(readFile(d + "/good.partial.mp4"), "partial");
             EXPECT_NE(run.err.find(d + "/good.partial.mp4"), std::string::npos) << run.err;
             EXPECT_NE(run.err.find("unchanged"), std::string::npos) << run.err;
         }} // namespace
        ,
        {"a full disk keeps the old picture",
         [&](const std::string& d) {
             std::ofstream(d + "/good.png") << "previous picture";
             return Launch{
                 {"frame", "8", d + "/good.png", "--size", "1280x960", "--data", dataFolder},
                 {},
                 65536};
         },
         1, "File too large", "./good.png\n", nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_EQ(readFile(d + "/good.png"), "previous picture");
         }},
        {"a corrupt picture leaves no video and no sound file",
         [&](const std::string& d) {
             const std::string data = copyData(d);
             std::ofstream(data + picture) << "not a picture at all";
             return plain({"video", d + "/out.mp4", "--from", "1", "--to", "1.02", "--size",
                           "64x48", "--data", data});
         },
         1, "JPEG", "", nullptr, nullptr},
        {"a corrupt picture leaves no frames folder",
         [&](const std::string& d) {
             const std::string data = copyData(d);
             std::ofstream(data + picture) << "not a picture at all";
             return plain({"frames", d + "/shots", "--from", "1", "--to", "1.02", "--data", data});
         },
         1, "JPEG", "", nullptr, nullptr},
        {"a folder as mod2.it is refused",
         [&](const std::string& d) {
             const std::string data = copyData(d);
             unlink((data + "/mod2.it").c_str());
             mkdir((data + "/mod2.it").c_str(), 0755);
             return plain({"frame", "1", d + "/out.png", "--data", data});
         },
         1, "not a regular file", "", nullptr, nullptr},
        {"SIGHUP during a video keeps what was written and leaves no part file",
         [&](const std::string& d) {
             return plain({"video", d + "/out.mp4", "--size", "64x48", "--data", dataFolder});
         },
         -1, "interrupted", "",
         [](pid_t pid, const std::string& d, const std::string&) {
             // Once the video is under way: its part file is there.
             for (int i = 0; i < 3000 && contents(d).find(".part-") == std::string::npos; ++i)
                 usleep(10000);
             usleep(500000);
             kill(pid, SIGHUP);
         },
         [](const std::string& d, const Outcome& run) {
             EXPECT_EQ(run.status, 130) << run.err;
             EXPECT_EQ(contents(d), "./out.mp4\n");
         }},
        {"SIGQUIT during the sound leaves nothing",
         [&](const std::string& d) {
             return plain({"audio", d + "/out.wav", "--data", dataFolder});
         },
         130, "interrupted", "",
         [](pid_t pid, const std::string&, const std::string& errPath) {
             EXPECT_TRUE(waitForText(errPath, "rendering the music", pid));
             kill(pid, SIGQUIT);
         },
         nullptr},
        {"SIGTERM ends the sound written to a FIFO whose reader stopped reading",
         [&](const std::string& d) {
             mkfifo((d + "/stuck.wav").c_str(), 0644);
             drainer = stalledReader(d + "/stuck.wav");
             return plain(
                 {"audio", d + "/stuck.wav", "--from", "0", "--to", "26", "--data", dataFolder});
         },
         -1, "interrupted", "",
         [&](pid_t pid, const std::string&, const std::string& errPath) {
             EXPECT_TRUE(waitForText(errPath, "rendering the music", pid));
             sleep(3);
             kill(pid, SIGTERM);
         },
         stoppedBesideItsStuckReader("stuck.wav")},
        {"SIGTERM ends a video written to a FIFO whose reader stopped reading",
         [&](const std::string& d) {
             mkfifo((d + "/stuck.mp4").c_str(), 0644);
             drainer = stalledReader(d + "/stuck.mp4");
             return plain({"video", d + "/stuck.mp4", "--from", "1", "--to", "4", "--size",
                           "640x480", "--crf", "0", "--data", dataFolder});
         },
         -1, "", "",
         [&](pid_t pid, const std::string&, const std::string& errPath) {
             // Long enough for the encoder to fill the FIFO and stall.
             EXPECT_TRUE(waitForText(errPath, "rendering the music", pid));
             sleep(8);
             kill(pid, SIGTERM);
         },
         stoppedBesideItsStuckReader("stuck.mp4")},
        {"the module is not an output",
         [&](const std::string& d) {
             const std::string data = copyData(d);
             return plain({"audio", data + "/mod2.it", "--data", data});
         },
         1, "it is the show's own mod2.it", "", nullptr,
         [&](const std::string& d, const Outcome&) {
             EXPECT_EQ(shell("cmp " + d + "/data/mod2.it " + dataFolder + "/mod2.it && echo same"),
                       "same\n");
         }},
        {"a picture is not an output",
         [&](const std::string& d) {
             const std::string data = copyData(d);
             return plain({"frame", "5", data + picture, "--data", data});
         },
         1, "it is the show's own deita/kuvio.jpg", "", nullptr,
         [&](const std::string& d, const Outcome&) {
             EXPECT_EQ(shell("cmp " + d + "/data" + picture + " " + dataFolder + picture +
                             " && echo same"),
                       "same\n");
         }},
        {"no program runs from a relative PATH entry",
         [&](const std::string& d) {
             const std::string data = copyData(d);
             std::ofstream(data + "/ffmpeg") << "#!/bin/sh\ntouch " << d << "/ran\nexit 1\n";
             chmod((data + "/ffmpeg").c_str(), 0755);
             return Launch{{"video", d + "/out.mp4", "--from", "1", "--to", "1.02", "--size",
                            "64x48", "--data", data},
                           {{"PATH", ".:bin"}},
                           RLIM_INFINITY};
         },
         1, "ffmpeg is not on PATH", "", nullptr,
         [](const std::string& d, const Outcome&) { EXPECT_FALSE(exists(d + "/ran")); }},
        {"the part file removed midway is a failure, not a video",
         [&](const std::string& d) {
             return plain({"video", d + "/out.mp4", "--from", "1", "--to", "3", "--size", "64x48",
                           "--data", dataFolder});
         },
         1, "was removed while it was written", "",
         [](pid_t pid, const std::string& d, const std::string&) {
             for (int i = 0; i < 3000 && contents(d).find(".part-") == std::string::npos; ++i)
                 usleep(10000);
             shell("rm -f " + d + "/out.mp4.part-" + std::to_string(pid));
         },
         nullptr},
        {"a folder made at the output's name midway leaves the video where the message says",
         [&](const std::string& d) {
             return plain({"video", d + "/out.mp4", "--from", "1", "--to", "2", "--size", "64x48",
                           "--data", dataFolder});
         },
         -1, "the video is in", "",
         [](pid_t, const std::string& d, const std::string&) {
             for (int i = 0; i < 3000 && contents(d).find(".part-") == std::string::npos; ++i)
                 usleep(10000);
             mkdir((d + "/out.mp4").c_str(), 0755);
         },
         [](const std::string& d, const Outcome& run) {
             EXPECT_EQ(run.status, 1);
             // The finished video, rewritten with its index first, under its temporary name.
             EXPECT_EQ(contents(d).find("./out.mp4\n./out.mp4.plain-"), 0u) << contents(d);
             const size_t at = run.err.find("the video is in ");
             ASSERT_NE(at, std::string::npos) << run.err;
             std::string kept = run.err.substr(at + 16);
             kept = kept.substr(0, kept.find('\n'));
             EXPECT_TRUE(exists(kept)) << kept << " is gone";
             EXPECT_GT(
                 shell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + kept).size(),
                 1u);
         }},
        {"an earlier run's frames are refused without --replace",
         [&](const std::string& d) {
             mkdir((d + "/shots").c_str(), 0755);
             std::ofstream(d + "/shots/frame-000000.png") << "old";
             std::ofstream(d + "/shots/frame-000040.png") << "old";
             std::ofstream(d + "/shots/notes.txt") << "mine";
             return plain({"frames", d + "/shots", "--from", "1", "--to", "1.01", "--size", "64x48",
                           "--data", dataFolder});
         },
         1, "add --replace",
         "./shots\n./shots/frame-000000.png\n./shots/frame-000040.png\n./shots/notes.txt\n",
         nullptr, nullptr},
        {"--replace takes exactly the earlier run's frames away",
         [&](const std::string& d) {
             mkdir((d + "/shots").c_str(), 0755);
             std::ofstream(d + "/shots/frame-000000.png") << "old";
             std::ofstream(d + "/shots/frame-000040.png") << "old";
             std::ofstream(d + "/shots/notes.txt") << "mine";
             return plain({"frames", d + "/shots", "--from", "1", "--to", "1", "--size", "64x48",
                           "--replace", "--data", dataFolder});
         },
         0, "", "./shots\n./shots/frame-000000.png\n./shots/notes.txt\n", nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_EQ(readPng(d + "/shots/frame-000000.png").width, 64u);
         }},
        {"a relative TMPDIR is taken from the folder the capture started in",
         [&](const std::string& d) {
             const std::string relative =
                 std::filesystem::relative(d + "/tmp", std::filesystem::current_path()).string();
             return Launch{{"video", d + "/out.mp4", "--from", "1", "--to", "1.02", "--size",
                            "64x48", "--data", dataFolder},
                           {{"TMPDIR", relative}},
                           RLIM_INFINITY};
         },
         0, "", "./out.mp4\n", nullptr, nullptr},
        {"an output name of 255 bytes is written",
         [&](const std::string& d) {
             return plain({"frame", "1", d + "/" + std::string(251, 'n') + ".png", "--size",
                           "64x48", "--data", dataFolder});
         },
         0, "", "./" + std::string(251, 'n') + ".png\n", nullptr, nullptr},
        {"SIGTERM before the first frame stops a single frame",
         [&](const std::string& d) {
             return plain({"frame", "8", d + "/out.png", "--size", "64x48", "--data", dataFolder});
         },
         130, "interrupted", "",
         [](pid_t pid, const std::string&, const std::string& errPath) {
             EXPECT_TRUE(waitForText(errPath, "rendering the music", pid));
             kill(pid, SIGTERM);
         },
         nullptr},
        {"SIGTERM stops a capture blocked on a FIFO picture",
         [&](const std::string& d) {
             const std::string data = copyData(d);
             unlink((data + picture).c_str());
             mkfifo((data + picture).c_str(), 0644);
             return plain({"frame", "8", d + "/out.png", "--size", "64x48", "--data", data});
         },
         -1, "", "",
         [&](pid_t pid, const std::string& d, const std::string&) {
             // Either the capture opens the FIFO and waits for a picture, or it refuses it.
             readingFifo = false;
             for (int i = 0; i < 3000 && !ended(pid); ++i) {
                 const int fd = open((d + "/data" + picture).c_str(), O_WRONLY | O_NONBLOCK);
                 if (fd >= 0) {
                     readingFifo = true;
                     usleep(200000);
                     kill(pid, SIGTERM);
                     usleep(200000);
                     close(fd);
                     break;
                 }
                 usleep(20000);
             }
         },
         [&](const std::string& d, const Outcome& run) {
             if (!readingFifo) {
                 EXPECT_EQ(run.status, 0) << run.err;
                 return;
             }
             EXPECT_EQ(run.status, 130) << run.err;
             EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
             EXPECT_EQ(contents(d), "");
         }},
        {"renders with no X server: no DISPLAY, no Xvfb on PATH",
         [&](const std::string& d) {
             // PATH holds ffmpeg alone: a capture that looked for an X server would fail.
             mkdir((d + "/bin").c_str(), 0755);
             symlink(shell("command -v ffmpeg | tr -d '\\n'").c_str(), (d + "/bin/ffmpeg").c_str());
             Launch launch = plain({"video", d + "/out.mp4", "--from", "1", "--to", "1.02",
                                    "--size", "64x48", "--data", dataFolder});
             launch.environment.push_back({"PATH", d + "/bin"});
             launch.unset.push_back("DISPLAY");
             return launch;
         },
         0, "parade-capture: rendering with ", "./bin\n./bin/ffmpeg\n./out.mp4\n", nullptr,
         [](const std::string& d, const Outcome&) {
             EXPECT_EQ(streamEntry(d + "/out.mp4", "v", "width"), "64");
         }},
        {"another user's file in a shared folder is refused before rendering",
         [&](const std::string& d) {
             const std::string shared = d + "/shared";
             mkdir(shared.c_str(), 0777);
             chmod(shared.c_str(), 01777);
             std::ofstream(shared + "/show.mp4") << "owner's";
             chmod((shared + "/show.mp4").c_str(), 0666);
             Launch launch = plain({"video", shared + "/show.mp4", "--from", "1", "--to", "1.02",
                                    "--size", "64x48", "--data", dataFolder});
             launch.user = otherUser();
             chmod(workFolder.c_str(), 0755); // the other user reaches the folder
             launch.environment.push_back({"TMPDIR", shared});
             return launch;
         },
         1, "another user's file in a shared folder", "./shared\n./shared/show.mp4\n", nullptr,
         [](const std::string& d, const Outcome& run) {
             EXPECT_TRUE(readFile(d + "/shared/show.mp4") == "owner's");
             EXPECT_EQ(run.err.find("parade-capture: rendering"), std::string::npos) << run.err;
         }},
    };
}

// "a FIFO is written as a stream" as a test name: a_FIFO_is_written_as_a_stream.
std::string caseName(const ::testing::TestParamInfo<HostileCase>& info) {
    std::string name;
    for (const char* at = info.param.name; *at; ++at) {
        const bool kept = std::isalnum(static_cast<unsigned char>(*at));
        if (kept)
            name += *at;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

class HostileOutputTest : public CaptureTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileOutputTest, LeavesNothingBehind) {
    const HostileCase& c = GetParam();
    const std::string name = "hostile-" + caseName(::testing::TestParamInfo<HostileCase>(c, 0));
    const std::string folder = path(name);
    mkdir(folder.c_str(), 0755);
    mkdir((folder + "/tmp").c_str(), 0755);
    Launch launch = c.prepare(folder);
    const bool ownTemporary =
        std::any_of(launch.environment.begin(), launch.environment.end(),
                    [](const auto& variable) { return variable.first == "TMPDIR"; });
    if (!ownTemporary)
        launch.environment.push_back({"TMPDIR", folder + "/tmp"});
    const std::string errPath = path(name + ".err");
    const std::string out = path(name + ".out");
    const pid_t pid = start(launch, out, errPath);
    if (c.during)
        c.during(pid, folder, errPath);
    const Outcome run = finishWithin(pid, 120, out, errPath);
    if (c.status >= 0) {
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(contents(folder), c.expectedContents);
    }
    EXPECT_NE(run.err.find(c.message), std::string::npos)
        << "expected \"" << c.message << "\" in: " << run.err;
    EXPECT_EQ(shell("ls -A " + folder + "/tmp"), "");
    if (c.check)
        c.check(folder, run);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileOutputTest, ::testing::ValuesIn(hostileCases()), caseName);

TEST_F(CaptureTest, HelpDescribesTheCommands) {
    const Outcome run = capture(Launch{{"--help"}, {}, RLIM_INFINITY});
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"video OUT.mp4", "frames DIR", "frame T OUT.png", "audio OUT.wav",
                             "bench", "--fps", "--size", "--from", "--data"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
}
} // namespace
