// parade-syncs on a small module: the tab-separated strike lines, the report's warnings, and
// a file that is no module.
#include "../audio/music_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
struct ToolRun {
    int status;
    std::string output;
};

ToolRun runSyncs(const std::string& arguments) {
    const std::string command = std::string(PARADE_SYNCS) + " " + arguments + " 2>&1";
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
    return "/tmp/parade-syncs-" + std::to_string(getpid()) + "-" + name;
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

TEST(ParadeSyncs, WarnsOfAnotherPaceAndRefusesWhatIsNoModule) {
    const std::string path = fixturePath("fast.it");
    ItModule fast = fixtureModule({{{0, 0, ItCell{itNoteC5, 3, -1, 0, 0}}}});
    fast.speed = 4;
    writeFixture(fast, path);
    const ToolRun report = runSyncs(path);
    EXPECT_EQ(report.status, 0);
    EXPECT_NE(report.output.find("warning: 64 rows play at a pace other than tempo 125, speed 6"),
              std::string::npos)
        << report.output;

    FILE* text = std::fopen(path.c_str(), "w");
    ASSERT_NE(text, nullptr);
    std::fputs("not a module at all", text);
    std::fclose(text);
    const ToolRun refused = runSyncs(path);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("not a module"), std::string::npos);
    EXPECT_EQ(runSyncs("").status, 2);
    std::remove(path.c_str());
}
} // namespace
