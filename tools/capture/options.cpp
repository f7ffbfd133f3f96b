// The capture tool's command line: a command, its output, and options that may come in any
// order after it ("--size 320x240" or "--size=320x240").
#include "capture.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char captureUsage[] =
    "usage: parade-capture COMMAND [options]\n"
    "\n"
    "Renders the show deterministically, without a display or a sound card, from mod2.it and\n"
    "deita/*.jpg in the data folder (see --data).\n"
    "\n"
    "commands:\n"
    "  video OUT.mp4     the show as H.264 video with AAC sound (needs the ffmpeg program)\n"
    "  frames DIR        the show as numbered PNG files DIR/frame-000000.png, ...\n"
    "  frame T OUT.png   the one frame at demo time T\n"
    "  audio OUT.wav     the soundtrack, 44100 Hz 16-bit stereo\n"
    "  bench             frames per second per act, start-up time, peak memory and the\n"
    "                    time to capture the whole show at 640x480, and a frame's cost\n"
    "                    at 640x480 and 1920x1080 --supersample 2 with the show's\n"
    "                    estimated time at each\n"
    "\n"
    "options:\n"
    "  --fps N | N/D     frames per second, such as 30 or 60000/1001 (default 60)\n"
    "  --size WxH        picture size in even pixels (default 640x480); the picture keeps\n"
    "                    its 640x270 band, black above and below (or beside) as on 640x480\n"
    "  --from T --to T   demo times in patterns (64 rows, 7.68 s), both included;\n"
    "                    the show runs from 0 to 26 (default: all of it)\n"
    "  --data DIR        the folder with mod2.it and deita/ (default: the working\n"
    "                    directory, or else the data folder that ./run makes beside\n"
    "                    this program)\n"
    "  --supersample N   draw each frame N times as wide and high (1 to 4, default 1) and\n"
    "                    average it down: smoother edges, lines and points as thick as\n"
    "                    at the chosen size; for a 1080p upload use --size 1920x1080\n"
    "                    --supersample 2, for 4K --size 3840x2160 --supersample 2\n"
    "  --preset NAME     x264 preset for video, ultrafast ... veryslow (default veryfast)\n"
    "  --crf N           x264 quality, 0 (lossless) to 51 (default 18)\n"
    "  --renderer NAME   auto: the GPU when the machine has one, else the software\n"
    "                    renderer (default); software: always the software renderer\n"
    "  --strike I@T      also strike instrument I at demo time T, to see how the picture\n"
    "                    answers that instrument (may be repeated)\n"
    "  --replace         frames: replace the frame-NNNNNN.png files of an earlier run in\n"
    "                    the folder (without it such a folder is refused)\n"
    "  -h, --help        this text\n"
    "\n"
    "Times are demo time in patterns: t = seconds / 7.68. Frame k of a capture shows\n"
    "t = from + k / fps / 7.68. The same data gives the same frames on every run.\n"
    "Ctrl-C stops a capture and keeps what was written: the video plays up to its last frame.\n";

namespace {
const char* const x264Presets[] = {"ultrafast", "superfast", "veryfast", "faster",   "fast",
                                   "medium",    "slow",      "slower",   "veryslow", "placebo"};

bool parseNumber(const std::string& text, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

bool parseInteger(const std::string& text, int64_t& value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0]))))
        return false;
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    value = parsed;
    return errno == 0 && end && *end == '\0';
}

bool parseDemoTime(const std::string& what, const std::string& text, double& value,
                   std::string& error) {
    if (!parseNumber(text, value)) {
        error = what + " needs a demo time in patterns, not \"" + text + "\"";
        return false;
    }
    if (value < 0.0) {
        error = what + " " + text + " is before the show's start (0)";
        return false;
    }
    return true;
}

bool parseFps(const std::string& text, CaptureOptions& options, std::string& error) {
    const size_t slash = text.find('/');
    int64_t numerator = 0;
    int64_t denominator = 1;
    bool ok = false;
    if (slash != std::string::npos) {
        ok = parseInteger(text.substr(0, slash), numerator) &&
             parseInteger(text.substr(slash + 1), denominator);
    } else if (parseInteger(text, numerator)) {
        ok = true;
    } else {
        // A decimal rate such as 29.97 becomes thousandths.
        double rate = 0.0;
        ok = parseNumber(text, rate) && rate > 0.0 && rate <= 1000.0;
        numerator = std::llround(rate * 1000.0);
        denominator = 1000;
    }
    if (!ok || numerator <= 0 || denominator <= 0) {
        error = "--fps needs a positive rate such as 60, 29.97 or 60000/1001, not \"" + text + "\"";
        return false;
    }
    const double rate = static_cast<double>(numerator) / static_cast<double>(denominator);
    if (rate < 1.0 || rate > 1000.0 || numerator > 1000000000 || denominator > 1000000000) {
        error = "--fps " + text + " is outside 1 to 1000 frames per second";
        return false;
    }
    options.fpsNumerator = numerator;
    options.fpsDenominator = denominator;
    return true;
}

bool parseSize(const std::string& text, CaptureOptions& options, std::string& error) {
    const size_t x = text.find('x');
    int64_t width = 0;
    int64_t height = 0;
    if (x == std::string::npos || !parseInteger(text.substr(0, x), width) ||
        !parseInteger(text.substr(x + 1), height)) {
        error = "--size needs WIDTHxHEIGHT such as 640x480, not \"" + text + "\"";
        return false;
    }
    if (width == 0 || height == 0) {
        error = "--size " + text + " is empty: both sides must be at least 16 pixels";
        return false;
    }
    if (width % 2 != 0 || height % 2 != 0) {
        error = "--size " + text + " has an odd side: the video needs even sizes";
        return false;
    }
    if (width < 16 || height < 16 || width > 8192 || height > 8192) {
        error = "--size " + text + " is outside 16 to 8192 pixels a side";
        return false;
    }
    options.width = static_cast<int>(width);
    options.height = static_cast<int>(height);
    return true;
}

bool parseStrike(const std::string& text, CaptureOptions& options, std::string& error) {
    const size_t at = text.find('@');
    int64_t instrument = 0;
    ExtraStrike strike;
    if (at == std::string::npos || !parseInteger(text.substr(0, at), instrument) ||
        !parseNumber(text.substr(at + 1), strike.time)) {
        error = "--strike needs INSTRUMENT@TIME such as 15@8.5, not \"" + text + "\"";
        return false;
    }
    if (instrument < 1 || instrument > 99 || strike.time < 0.0 || strike.time > showLength) {
        error = "--strike " + text + ": the instrument must be 1 to 99 and the time 0 to 26";
        return false;
    }
    strike.instrument = static_cast<int>(instrument);
    options.extraStrikes.push_back(strike);
    return true;
}

struct CommandName {
    const char* name;
    CaptureCommand command;
    int operands; // words after the command
};

const CommandName commandNames[] = {
    {"video", CaptureCommand::video, 1}, {"frames", CaptureCommand::frames, 1},
    {"frame", CaptureCommand::frame, 2}, {"audio", CaptureCommand::audio, 1},
    {"bench", CaptureCommand::bench, 0}, {"help", CaptureCommand::help, 0},
};
} // namespace

bool parseCaptureCommandLine(int argc, char** argv, CaptureOptions& options, std::string& error) {
    options = CaptureOptions{};
    std::vector<std::string> operands;
    bool fromGiven = false;
    bool toGiven = false;
    bool helpAsked = false;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            helpAsked = true;
            continue;
        }
        if (word.size() < 2 || word.compare(0, 2, "--") != 0 || word == "--") {
            // A negative number is an operand (frame -1 is refused below, with its reason).
            operands.push_back(word);
            continue;
        }
        std::string name = word;
        std::string value;
        const size_t equals = word.find('=');
        if (equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        } else {
            if (name == "--replace") {
                options.replaceFrames = true;
                continue;
            }
            const bool takesValue = name == "--fps" || name == "--size" || name == "--from" ||
                                    name == "--to" || name == "--data" || name == "--strike" ||
                                    name == "--preset" || name == "--crf" ||
                                    name == "--supersample" || name == "--renderer";
            if (!takesValue) {
                error = "unknown option " + word + " (see parade-capture --help)";
                return false;
            }
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        bool ok = true;
        if (name == "--fps") {
            ok = parseFps(value, options, error);
        } else if (name == "--size") {
            ok = parseSize(value, options, error);
        } else if (name == "--from") {
            ok = parseDemoTime("--from", value, options.from, error);
            fromGiven = true;
        } else if (name == "--to") {
            ok = parseDemoTime("--to", value, options.to, error);
            toGiven = true;
        } else if (name == "--data") {
            ok = !value.empty();
            options.dataDir = value;
            options.dataGiven = true;
            if (!ok)
                error = "--data needs a folder";
        } else if (name == "--strike") {
            ok = parseStrike(value, options, error);
        } else if (name == "--preset") {
            ok = false;
            for (const char* preset : x264Presets)
                ok = ok || value == preset;
            options.preset = value;
            if (!ok)
                error = "--preset " + value + " is not an x264 preset (ultrafast ... veryslow)";
        } else if (name == "--crf") {
            int64_t crf = -1;
            ok = parseInteger(value, crf) && crf <= 51;
            options.crf = static_cast<int>(crf);
            if (!ok)
                error = "--crf needs a whole number from 0 to 51, not \"" + value + "\"";
        } else if (name == "--supersample") {
            int64_t factor = 0;
            ok = parseInteger(value, factor) && factor >= 1 && factor <= 4;
            options.supersample = static_cast<int>(factor);
            if (!ok)
                error = "--supersample needs a whole number from 1 to 4, not \"" + value + "\"";
        } else if (name == "--renderer") {
            ok = value == "auto" || value == "software";
            options.softwareRenderer = value == "software";
            if (!ok)
                error = "--renderer needs auto or software, not \"" + value + "\"";
        } else {
            error = "unknown option " + name + " (see parade-capture --help)";
            ok = false;
        }
        if (!ok)
            return false;
    }
    if (helpAsked) {
        options.command = CaptureCommand::help;
        return true;
    }
    if (operands.empty()) {
        error = "no command given (see parade-capture --help)";
        return false;
    }
    const CommandName* command = nullptr;
    for (const CommandName& candidate : commandNames) {
        if (operands[0] == candidate.name)
            command = &candidate;
    }
    if (!command) {
        error = "unknown command \"" + operands[0] + "\" (video, frames, frame, audio or bench)";
        return false;
    }
    options.command = command->command;
    if (static_cast<int>(operands.size()) - 1 != command->operands) {
        static const char* const forms[] = {
            "", "video OUT.mp4", "frames DIR", "frame T OUT.png", "audio OUT.wav", "bench"};
        error = std::string("usage: parade-capture ") + forms[static_cast<int>(command->command)] +
                " [options]";
        if (command->command == CaptureCommand::help)
            error = "usage: parade-capture help";
        return false;
    }
    if (options.command == CaptureCommand::frame) {
        if (!parseNumber(operands[1], options.frameTime)) {
            error = "frame needs a demo time in patterns, not \"" + operands[1] + "\"";
            return false;
        }
        if (options.frameTime < 0.0 || options.frameTime > showLength) {
            error = "frame " + operands[1] + " is outside the show (0 to 26)";
            return false;
        }
        options.output = operands[2];
    } else if (command->operands == 1) {
        options.output = operands[1];
    }
    if (options.output.empty() && command->operands > 0) {
        error = "the output path is empty";
        return false;
    }
    if (static_cast<int64_t>(options.width) * options.supersample > maxDrawableSide ||
        static_cast<int64_t>(options.height) * options.supersample > maxDrawableSide) {
        error = "--supersample " + std::to_string(options.supersample) + " at " +
                std::to_string(options.width) + "x" + std::to_string(options.height) +
                " draws more than " + std::to_string(maxDrawableSide) + " pixels a side";
        return false;
    }
    // Past the show's end there is nothing to draw: the capture stops at 26.
    if (options.to > showLength)
        options.to = showLength;
    if (fromGiven && options.from > showLength) {
        error = "--from is past the show's end (26)";
        return false;
    }
    if ((fromGiven || toGiven) && options.from > options.to) {
        error = "--from must not be after --to";
        return false;
    }
    return true;
}
