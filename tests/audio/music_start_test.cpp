// The demo's music start on files it cannot play: one line saying why after the error line,
// status 1, no hang on a FIFO; and a module with no orders starts with a warning.
#include "../support/temp_folder.h"
#include "music_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A fresh working folder per case, where mod2.it is whatever `make` puts there. Death-test
// children run the test again from its start but exit inside it, before any clean-up, so
// they work in their parent's folder (named in the environment) instead of making their own.
class MusicStart : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (const char* parents = std::getenv(sharedDirVariable)) {
            dir = parents;
        } else {
            dir = makeTempFolder("parade-start");
            ASSERT_NE(dir, "");
            ownsDir = true;
            setenv(sharedDirVariable, dir.c_str(), 1);
        }
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        haltMusic();
        if (ownsDir) {
            unsetenv(sharedDirVariable);
            std::system(("rm -rf '" + dir + "'").c_str());
        }
    }
    static constexpr const char* sharedDirVariable = "PARADE_START_TEST_DIR";
    std::string dir;
    bool ownsDir = false;
};

void writeText(const char* path, const char* text) {
    FILE* file = std::fopen(path, "w");
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::fclose(file);
}

TEST_F(MusicStart, RefusesWhatItCannotReadOrPlayWithOneLineSayingWhy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* name;
        void (*make)();
        int code; // the layer's: 1 cannot read the file, 2 not a format it plays
        const char* why;
    };
    const Case cases[] = {
        {"folder", [] { mkdir("mod2.it", 0700); }, 1, "mod2.it: not a regular file"},
        {"fifo", [] { mkfifo("mod2.it", 0600); }, 1, "mod2.it: not a regular file"},
        {"device", [] { symlink("/dev/zero", "mod2.it"); }, 1, "mod2.it: not a regular file"},
        {"missing", [] {}, 1, "mod2.it: cannot open: No such file or directory"},
        {"empty", [] { writeText("mod2.it", ""); }, 2, "mod2.it: not a module"},
        {"text", [] { writeText("mod2.it", "not a module at all"); }, 2, "mod2.it: not a module"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::system("rm -rf mod2.it");
        c.make();
        // The error line goes to standard output; both are matched on standard error.
        EXPECT_EXIT(
            {
                dup2(2, 1);
                startMusic();
            },
            testing::ExitedWithCode(1),
            "Error\\(" + std::to_string(c.code) + "\\): Can't play the file\n" + c.why + "\n");
    }
}

TEST_F(MusicStart, WarnsOfAModuleWithNoOrders) {
    ItModule silent = fixtureModule({{{0, 0, ItCell{itNoteC5, 3, -1, 0, 0}}}});
    silent.orders.clear();
    writeFixture(silent, "mod2.it");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(startMusic());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "playing MOD music \"fixture\" [0 orders]\n");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("warning: mod2.it has no orders to play"), std::string::npos) << errors;
}
} // namespace
