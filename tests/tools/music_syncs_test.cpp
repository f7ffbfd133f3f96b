// parade-syncs on a small module: the tab-separated strike lines, the report's warnings, and
// the files it must refuse.
#include "../audio/music_fixture.h"
#include "../support/temp_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct ToolRun {
    int status;
    std::string output;
};

// Bounded by a timeout, so a hang shows as a failure (status 124).
ToolRun runSyncs(const std::string& arguments) {
    const std::string command =
        "timeout 20 " + std::string(PARADE_SYNCS) + " " + arguments + " 2>&1 </dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ToolRun run{-1, ""};
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, count);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string fixturePath(const char* name) {
    return tempRoot() + "/parade-syncs-" + std::to_string(getpid()) + "-" + name;
}

TEST(ParadeSyncs, ListsStrikesAsTabSeparatedLines) {
    const std::string path = fixturePath("module.it");
    writeFixture(fixtureModule({{{0, 0, ItCell{itNoteC5, 3, -1, 0, 0}},
                                 {2, 2, ItCell{itNoteC5, 5, -1, 'S', 0xD3}}}}),
                 path);
    const ToolRun tsv = runSyncs("--tsv " + path);
    EXPECT_EQ(tsv.status, 0);
    // Row 2, tick 3: 15 ticks of 20 ms.
    EXPECT_EQ(tsv.output, "0.000000\t0\t0\t0\t0\t1\t3\n0.300000\t0\t0\t2\t3\t3\t5\n");

    const ToolRun report = runSyncs(path);
    EXPECT_EQ(report.status, 0);
    EXPECT_NE(report.output.find("title:   \"fixture\""), std::string::npos);
    EXPECT_NE(report.output.find("tempo 125, speed 6"), std::string::npos);
    EXPECT_NE(report.output.find("instrument 2 is never struck: SyncPoint 12"), std::string::npos);
    EXPECT_EQ(report.output.find("instrument 3 is never struck"), std::string::npos);
    EXPECT_EQ(report.output.find("pace other than"), std::string::npos);
    std::remove(path.c_str());
}

TEST(ParadeSyncs, WarnsOfAnotherPace) {
    const std::string path = fixturePath("fast.it");
    ItModule fast = fixtureModule({{{0, 0, ItCell{itNoteC5, 3, -1, 0, 0}}}});
    fast.speed = 4;
    writeFixture(fast, path);
    const ToolRun report = runSyncs(path);
    EXPECT_EQ(report.status, 0);
    EXPECT_NE(report.output.find("warning: 64 rows play at a pace other than tempo 125, speed 6"),
              std::string::npos)
        << report.output;
    EXPECT_EQ(runSyncs("").status, 2);
    std::remove(path.c_str());
}

// A module playing over half an hour (250 patterns of 7.68 s, a strike at the start of each):
// listed as far as the show plays it, 26 patterns and the fade, as quickly as a short one.
TEST(ParadeSyncs, ListsALongModuleAsFarAsTheShowPlaysIt) {
    const std::string path = fixturePath("long.it");
    writeFixture(fixtureModule({{{0, 0, ItCell{itNoteC5, 3, -1, 0, 0}}}}, std::vector<int>(250, 0)),
                 path);
    const ToolRun report = runSyncs(path);
    EXPECT_EQ(report.status, 0) << report.output;
    EXPECT_NE(report.output.find("length:  longer than the show; its first 199.701 s"),
              std::string::npos)
        << report.output;
    const ToolRun tsv = runSyncs("--tsv " + path);
    EXPECT_EQ(tsv.status, 0) << tsv.output;
    // Strikes at 0, 7.68, ... 199.68 s (the show's end): 27, the last in order 26.
    EXPECT_EQ(std::count(tsv.output.begin(), tsv.output.end(), '\n'), 27);
    EXPECT_NE(tsv.output.find("\n199.680000\t26\t0\t0\t"), std::string::npos) << tsv.output;
    std::remove(path.c_str());
}

// What cannot be played, each made by the test: status and message, and no hang on a FIFO.
TEST(ParadeSyncs, RefusesWhatItCannotReadOrPlay) {
    const std::string dir = fixturePath("cases");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string fifo = dir + "/fifo.it";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string empty = dir + "/empty.it";
    std::fclose(std::fopen(empty.c_str(), "w"));
    const std::string text = dir + "/text.it";
    FILE* file = std::fopen(text.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a module at all", file);
    std::fclose(file);
    // Sparse: one byte past the size cap costs no disk.
    const std::string huge = dir + "/huge.it";
    std::fclose(std::fopen(huge.c_str(), "w"));
    ASSERT_EQ(truncate(huge.c_str(), (256 << 20) + 1), 0);
    const std::string noOrders = dir + "/no-orders.it";
    ItModule silent = fixtureModule({{{0, 0, ItCell{itNoteC5, 3, -1, 0, 0}}}});
    silent.orders.clear();
    writeFixture(silent, noOrders);

    struct Case {
        std::string path;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {dir, 1, ": not a regular file"},
        {fifo, 1, ": not a regular file"},
        {"/dev/zero", 1, ": not a regular file"},
        {dir + "/missing.it", 1, ": cannot open: No such file or directory"},
        {empty, 1, ": not a module"},
        {text, 1, ": not a module"},
        {huge, 1, ": larger than 256 MB"},
        {noOrders, 0, "warning: the module has no orders to play"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const ToolRun run = runSyncs(c.path);
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    for (const std::string& path : {fifo, empty, text, huge, noOrders})
        std::remove(path.c_str());
    rmdir(dir.c_str());
}
} // namespace
