#include "atomic_file.h"
#include "shell.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

class AtomicFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-atomic-XXXXXX";
        dir = mkdtemp(pattern);
        umask(022);
    }
    void TearDown() override { Shell(dir, "rm -rf \"$PWD\""); }

    // Every name below the directory with its type and mode, then `file`'s
    // content, so a stray temporary file or a replaced link shows.
    std::string State(const std::string& file) const {
        return Shell(dir,
                     "find . -mindepth 1 -printf '%p:%y%m ' | tr ' ' '\\n' | sort | tr '\\n' ' '; "
                     "cat '" +
                         file + "' 2>/dev/null");
    }

    std::string dir;
};

TEST_F(AtomicFileTest, ReplacesTheFinalTargetOfLinksAndNothingButRegularFiles) {
    const struct {
        const char *setup, *path, *target; // target nullptr: refused
        const char* state;
    } cases[] = {
        {"true", "a/b/s", "a/b/s", "./a/b/s:f600 ./a/b:d700 ./a:d700 new"},
        {"echo old >s", "s", "s", "./s:f600 new"},
        {"mkdir r && echo old >r/t && ln -s \"$PWD/r/t\" s", "s", "r/t",
         "./r/t:f600 ./r:d755 ./s:l777 new"},
        {"mkdir r && echo old >r/t && ln -s r/t s", "s", "r/t", "./r/t:f600 ./r:d755 ./s:l777 new"},
        {"mkdir -p r/d && echo old >r/d/t && ln -s d/t r/m && ln -s r/m s", "s", "r/d/t",
         "./r/d/t:f600 ./r/d:d755 ./r/m:l777 ./r:d755 ./s:l777 new"},
        {"mkdir r && ln -s r/t s", "s", "r/t", "./r/t:f600 ./r:d755 ./s:l777 new"},
        {"echo old >f", "f/below/s", nullptr, "./f:f644 "},
        {"mkdir s", "s", nullptr, "./s:d755 "},
        {"mkfifo s", "s", nullptr, "./s:p644 "},
        {"mkfifo p && ln -s p s", "s", nullptr, "./p:p644 ./s:l777 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        Shell(dir, "rm -rf * && " + std::string(c.setup));
        EXPECT_EQ(ReplaceFileAtomically(dir + "/" + c.path, "new"), c.target != nullptr);
        EXPECT_EQ(State(c.target != nullptr ? c.target : "none"), c.state);
    }
}

// A file-size limit (SIGXFSZ, as after ulimit -f) makes a failed write, not
// the end of the process.
TEST_F(AtomicFileTest, WriteBeyondTheFileSizeLimitKeepsTheEarlierFile) {
    ASSERT_TRUE(ReplaceFileAtomically(dir + "/s", "earlier"));
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small = {4, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const bool replaced = ReplaceFileAtomically(dir + "/s", std::string(10000, 'x'));
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(State("s"), "./s:f600 earlier");
}

} // namespace
