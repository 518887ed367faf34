#include "core/atomic_file.h"
#include "shell.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

// How a row writes: as the window's settings, as a file the user names, or
// as one the user names that must not be there yet.
enum class Write { Settings, Output, Create };

bool WriteAs(Write how, const std::string& path) {
    if (how == Write::Settings) {
        return ReplaceFileAtomically(path, "new");
    }
    return SaveFileAtomically(path, "new", how == Write::Create);
}

// Each row builds a directory, replaces a path in it with "new", and lists
// every name left with its type and mode, then the content of every file:
// a stray temporary file, a link replaced by a file or a file not replaced
// shows. A file-size limit (SIGXFSZ, as after ulimit -f) must make a failed
// write, not the end of the process. The settings stay private (0600); a
// file the user names gets the rights of any new file (0666 less the umask)
// or keeps its own, and no folder is made for it.
TEST(AtomicFileTest, ReplacesTheFinalTargetOfLinksAndNothingButRegularFiles) {
    const struct {
        const char *setup, *path;
        bool replaced;
        const char* state;
        rlim_t sizeLimit = RLIM_INFINITY;
        Write how = Write::Settings;
        mode_t mask = 022;
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
        {"true", "s", true, "./s:f644 new", RLIM_INFINITY, Write::Output},
        {"true", "s", true, "./s:f640 new", RLIM_INFINITY, Write::Output, 027},
        {"echo old >s && chmod 604 s", "s", true, "./s:f604 new", RLIM_INFINITY, Write::Output},
        {"mkdir r && echo old >r/t && chmod 660 r/t && ln -s r/t s", "s", true,
         "./r/t:f660 ./r:d755 ./s:l777 new", RLIM_INFINITY, Write::Output},
        {"echo old >s", "s", false, "./s:f644 old\n", 2, Write::Output},
        {"true", "a/b/s", false, "", RLIM_INFINITY, Write::Output},
        {"ln -s a/b/x s", "s", false, "./s:l777 ", RLIM_INFINITY, Write::Output},
        {"ln -s s s", "s", false, "./s:l777 ", RLIM_INFINITY, Write::Output},
        {"true", "s", true, "./s:f644 new", RLIM_INFINITY, Write::Create},
        {"mkdir r && ln -s r/t s", "s", true, "./r/t:f644 ./r:d755 ./s:l777 new", RLIM_INFINITY,
         Write::Create},
        {"echo old >s", "s", false, "./s:f644 old\n", RLIM_INFINITY, Write::Create},
        {"ln -s s s", "s", false, "./s:l777 ", RLIM_INFINITY, Write::Create},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.setup) + " as " + std::to_string(static_cast<int>(c.how)));
        umask(c.mask);
        char pattern[] = "/tmp/vantorel-atomic-XXXXXX";
        const std::string dir = mkdtemp(pattern);
        Shell(dir, c.setup);
        rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small = {c.sizeLimit, limit.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        const bool replaced = WriteAs(c.how, dir + "/" + c.path);
        setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_EQ(replaced, c.replaced);
        EXPECT_EQ(Shell(dir, "find . -mindepth 1 -printf '%p:%y%m\\n' | sort | tr '\\n' ' '; "
                             "find . -type f | sort | xargs -r cat"),
                  c.state);
        Shell(dir, "rm -rf \"$PWD\"");
    }
    umask(022);
}

} // namespace
