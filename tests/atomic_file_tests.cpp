#include "core/atomic_file.h"
#include "shell.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

// Each row builds a directory, replaces a path in it with "new", and lists
// every name left with its type and mode, then the content of every file:
// a stray temporary file, a link replaced by a file or a file not replaced
// shows. A file-size limit (SIGXFSZ, as after ulimit -f) must make a failed
// write, not the end of the process.
TEST(AtomicFileTest, ReplacesTheFinalTargetOfLinksAndNothingButRegularFiles) {
    const struct {
        const char *setup, *path;
        bool replaced;
        const char* state;
        rlim_t sizeLimit = RLIM_INFINITY;
    } cases[] = {
        {"true", "a/b/s", true, "./a/b/s:f600 ./a/b:d700 ./a:d700 new"},
        {"echo old >s", "s", true, "./s:f600 new"},
        {"mkdir r && echo old >r/t && ln -s \"$PWD/r/t\" s", "s", true,
         "./r/t:f600 ./r:d755 ./s:l777 new"},
        {"mkdir r && echo old >r/t && ln -s r/t s", "s", true, "./r/t:f600 ./r:d755 ./s:l777 new"},
        {"mkdir -p r/d && echo old >r/d/t && ln -s d/t r/m && ln -s r/m s", "s", true,
         "./r/d/t:f600 ./r/d:d755 ./r/m:l777 ./r:d755 ./s:l777 new"},
        {"mkdir r && ln -s r/t s", "s", true, "./r/t:f600 ./r:d755 ./s:l777 new"},
        {"echo old >f", "f/below/s", false, "./f:f644 old\n"},
        {"mkdir s", "s", false, "./s:d755 "},
        {"mkfifo s", "s", false, "./s:p644 "},
        {"mkfifo p && ln -s p s", "s", false, "./p:p644 ./s:l777 "},
        {"echo old >s", "s", false, "./s:f644 old\n", 2},
    };
    umask(022);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        char pattern[] = "/tmp/vantorel-atomic-XXXXXX";
        const std::string dir = mkdtemp(pattern);
        Shell(dir, c.setup);
        rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small = {c.sizeLimit, limit.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        const bool replaced = ReplaceFileAtomically(dir + "/" + c.path, "new");
        setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_EQ(replaced, c.replaced);
        EXPECT_EQ(Shell(dir, "find . -mindepth 1 -printf '%p:%y%m\\n' | sort | tr '\\n' ' '; "
                             "find . -type f | sort | xargs -r cat"),
                  c.state);
        Shell(dir, "rm -rf \"$PWD\"");
    }
}

} // namespace
