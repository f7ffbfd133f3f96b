// The capture tool's pieces: its command line, the frame schedule that, with the music
// library's strike feed, makes the show deterministic, the PNG, WAV and ffmpeg writers, the
// progress line, and the headless renderer. Private to tools/capture and its tests.
#pragma once

#include "music.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// ---- Command line ---------------------------------------------------------------------------

enum class CaptureCommand { help, video, frames, frame, audio, bench };

struct CaptureOptions {
    CaptureCommand command = CaptureCommand::help;
    std::string output;        // file (video, frame, audio) or folder (frames)
    double frameTime = 0.0;    // frame T
    int64_t fpsNumerator = 60; // frames per second as a fraction
    int64_t fpsDenominator = 1;
    int width = 640;
    int height = 480;
    double from = 0.0; // pattern units, both ends included
    double to = showLength;
    std::string dataDir = ".";
    bool dataGiven = false;     // --data was on the command line
    bool replaceFrames = false; // --replace: an earlier run's frames in the folder may go
    std::vector<ExtraStrike> extraStrikes;
    std::string preset = "veryfast"; // x264 preset
    int crf = 18;                    // x264 quality
    int supersample = 1; // frames drawn this many times wider and higher, then filtered down
    bool softwareRenderer = false; // --renderer software: Mesa's software renderer, not a GPU
};

// The largest side drawn, supersampled or not, whatever the renderer allows: it keeps a
// frame's buffers (the renderer's colour and depth, the read-back) well within 2 GB.
constexpr int64_t maxDrawableSide = 8192;

extern const char captureUsage[];

// Fills `options` from argv. Returns false with a one-line `error` on bad input.
bool parseCaptureCommandLine(int argc, char** argv, CaptureOptions& options, std::string& error);

// ---- Frame schedule and sound ----------------------------------------------------------------

// Frames from `from` to `to` (both included) at fpsNumerator/fpsDenominator frames a second.
int64_t frameCount(const CaptureOptions& options);

// Demo time of frame k of the capture: from + k seconds-per-frame in pattern units.
double frameTimeAt(const CaptureOptions& options, int64_t k);

// `seconds` of interleaved stereo 16-bit sound of `pcm` from `startSeconds` on, padded with
// silence past its end.
std::vector<int16_t> soundSlice(const std::vector<int16_t>& pcm, double startSeconds,
                                double seconds);

// The sound that goes with `count` frames of the capture.
std::vector<int16_t> soundForFrames(const std::vector<int16_t>& pcm, const CaptureOptions& options,
                                    int64_t count);

// ---- Writers ---------------------------------------------------------------------------------

// Where an output goes. A regular file (or a new one) is written to a temporary file beside it
// and renamed into place only when whole; an existing FIFO or device is written in place as a
// stream and never replaced.
struct OutputTarget {
    std::string path;      // the destination with its symbolic links followed
    bool stream = false;   // written in place
    bool existing = false; // a regular file is there to be replaced
};

// Resolves the output path `given` for a single file: a symbolic link leads to its target,
// folders and sockets are refused, and a file to be made must be creatable in its folder (a
// probe file is made there and removed). False with `error` filled.
bool resolveOutput(const std::string& given, OutputTarget& target, std::string& error);

// Resolves the folder of a PNG sequence: an existing folder (or a link to one) is written into,
// a missing one is made later at `folder` (links followed); anything else is refused.
bool resolveFramesFolder(const std::string& given, std::string& folder, bool& exists,
                         std::string& error);

// The files of `folder` named as captured frames are (frame-NNNNNN.png), as paths.
std::vector<std::string> framesIn(const std::string& folder);

// `path` with `suffix` added to its last name, which is shortened where the two together would
// pass the longest name a folder takes (temporary names beside long output names).
std::string nameBeside(const std::string& path, const std::string& suffix);

// True when `path` is the file or pipe that standard output writes to.
bool isStandardOutput(const std::string& path);

// Moves a partial file that must not replace `destination` to a free name beside it,
// "NAME.partial.EXT" (or "NAME.partial-2.EXT", ...). Returns the name, or `partial` itself
// when it cannot be moved.
std::string keepPartialBeside(const std::string& partial, const std::string& destination);

// Writes a 44100 Hz 16-bit stereo WAV file to `target`. A failure leaves any earlier file as
// it was and no temporary file. Returns false with `error` filled.
bool writeWav(const OutputTarget& target, const std::vector<int16_t>& stereo, std::string& error);
bool writeWav(const std::string& path, const std::vector<int16_t>& stereo, std::string& error);

// Writes an RGB picture (rows top-down) as a PNG, the same way.
bool writePng(const OutputTarget& target, const uint8_t* rgb, int width, int height,
              std::string& error);
bool writePng(const std::string& path, const uint8_t* rgb, int width, int height,
              std::string& error);

// Checks that `path` can be created: its folder exists and is writable, and it is not a
// folder itself. Creates and removes a probe file beside it.
bool checkWritable(const std::string& path, std::string& error);

// The ffmpeg program on PATH, or "" when there is none.
std::string findProgram(const std::string& name);

// One running ffmpeg that turns raw RGB frames on its standard input and a WAV file into an
// H.264 + AAC mp4 (BT.709, limited range, tagged so). It writes fragments, so the file plays up
// to the last fragment whatever stops it; the first picture and the first sound start at 0.
struct VideoEncoder {
    int pid = -1;
    int frameFd = -1;
    int errorFd = -1;
    std::string errorText; // what ffmpeg said on standard error
    int64_t framesWritten = 0;
    bool failed = false;
};

// Writes to the file `output`, or, when `outputFd` is an open descriptor, to it as a stream.
bool startVideoEncoder(VideoEncoder& encoder, const std::string& ffmpeg, const std::string& output,
                       const std::string& wavPath, const CaptureOptions& options,
                       std::string& error, int outputFd = -1);

// Sends one frame (width x height x 3 bytes, rows top-down). False once ffmpeg has stopped.
bool sendVideoFrame(VideoEncoder& encoder, const uint8_t* rgb, size_t bytes);

// Closes the frame pipe and waits for ffmpeg to finish the file. False with `error` when
// ffmpeg failed.
bool finishVideoEncoder(VideoEncoder& encoder, std::string& error);

// Rewrites the finished fragmented mp4 `fragmented` as a plain one, `plain`, with its index
// first (+faststart), the streams copied as they are. False with `error` when ffmpeg failed.
bool rewriteAsPlainMp4(const std::string& ffmpeg, const std::string& fragmented,
                       const std::string& plain, std::string& error);

// ---- Progress --------------------------------------------------------------------------------

// A progress bar on a terminal (redrawn in place), plain lines every few seconds otherwise.
struct Progress {
    int64_t total = 0;
    double startSeconds = 0.0;
    double lastShown = -1.0;
    bool terminal = false;
    FILE* out = stderr;
    std::string label;
};

double wallSeconds();
void startProgress(Progress& progress, const std::string& label, int64_t total);
void showProgress(Progress& progress, int64_t done);
// Ends the progress display with a summary line.
void endProgress(Progress& progress, int64_t done);
// "1:05:07" or "3:42".
std::string formatDuration(double seconds);

// ---- Stopping ----------------------------------------------------------------------------------

constexpr int statusInterrupted = 130;

// Ctrl-C and SIGTERM raise a flag that the frame loops read; broken pipes become errors. The
// files registered with removeAtExit are removed whenever the process ends.
void installInterruptHandlers();
bool interrupted();
// Writes to `fd` stop waiting once a stop is requested (the descriptor turns non-blocking),
// so a reader that stopped reading cannot hold the capture; forgetStream before closing it.
void stopWritesOnInterrupt(int fd);
void forgetStream(int fd);

// While set, Ctrl-C and SIGTERM end the process at once (status 130, registered files
// removed): for the loading, when nothing has been written and a blocked read must not hold
// the stop back. Setting it after a stop was requested stops at once.
void setStopAtOnce(bool atOnce);

// Registers a temporary file (or a folder, removed only when empty) to be removed when the
// process ends, however it ends; keepAtExit takes it off the list.
void removeAtExit(const std::string& path, bool folder = false);
void keepAtExit(const std::string& path);

// ---- Headless rendering ----------------------------------------------------------------------

// Makes an offscreen OpenGL context current, with a framebuffer of width x height to draw
// into: on a GPU when the machine has one (unless `softwareOnly`), else on Mesa's software
// renderer; no window and no X server. With a supersample of N the framebuffer is N times as
// wide and high, and readFrame filters it down to width x height. False with `error` filled,
// also when the size is past the renderer's limits.
bool openCaptureContext(int width, int height, std::string& error, int supersample = 1,
                        bool softwareOnly = false);

// Gives the open context a framebuffer of a new size (the lists and textures stay), as
// openCaptureContext does. False with `error` filled.
bool resizeCapture(int width, int height, int supersample, std::string& error);

// The renderer the context draws with (GL_RENDERER), once it is open.
const std::string& captureRenderer();

struct StartupTimes {
    double lists = 0.0;    // display lists and meshes
    double textures = 0.0; // the texture set and the fixed state
};

// The demo's one-time building, from the data in the working directory.
StartupTimes prepareShow();

// Draws the frame of demo time `time` as the demo's window of the capture size shows it,
// after stamping the strikes heard up to then.
void renderFrame(float time, StrikeFeed& feed);

// Draws the frames the show would have drawn before `time` whose state drawFrame carries over
// (the backdrop, the act, the bound texture), so that a capture starting at `time` matches
// the show. `step` is the time between two frames.
void primeShowAt(double time, double step, StrikeFeed& feed);

// Draws the one frame of `time` as the show has it: primeShowAt, then renderFrame.
void renderFrameAt(double time, double step, StrikeFeed& feed);

// Reads the frame back as RGB rows top-down into `rgb` (resized to width x height x 3); a
// supersampled frame is averaged over each N x N block of the window's pixels.
void readFrame(std::vector<uint8_t>& rgb);

// The benchmark: prints frames per second per act, start-up times, peak memory and the
// whole-show capture time. Returns the process status.
int runBenchmark(const CaptureOptions& options, const std::string& ffmpeg);
