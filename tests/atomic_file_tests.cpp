#include "atomic_file.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class AtomicFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-atomic-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    static std::string Read(const std::string& path) {
        std::ostringstream content;
        content << std::ifstream(path, std::ios::binary).rdbuf();
        return content.str();
    }
    // Every name under the directory, so a stray temporary file shows.
    std::string Listing() const {
        return Run("cd '" + dir + "' && find . -mindepth 1 | sort | tr '\\n' ' '");
    }
    static std::string Run(const std::string& command) {
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        for (int c; (c = std::fgetc(pipe)) != EOF;) {
            output += static_cast<char>(c);
        }
        pclose(pipe);
        return output;
    }

    std::string dir;
};

TEST_F(AtomicFileTest, CreatesMissingDirectoriesAndReplacesContent) {
    const std::string path = dir + "/a/b/settings.conf";
    for (const char* content : {"first\n", "second, longer\n", ""}) {
        SCOPED_TRACE(content);
        ASSERT_TRUE(ReplaceFileAtomically(path, content));
        EXPECT_EQ(Read(path), content);
    }
    EXPECT_EQ(Listing(), "./a ./a/b ./a/b/settings.conf ");
    struct stat info;
    ASSERT_EQ(stat((dir + "/a").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

// A file-size limit (SIGXFSZ, as the shell's ulimit -f) is a failed write,
// not the end of the process.
TEST_F(AtomicFileTest, WriteBeyondTheFileSizeLimitFailsAndKeepsTheEarlierFile) {
    const std::string path = dir + "/settings.conf";
    ASSERT_TRUE(ReplaceFileAtomically(path, "earlier\n"));
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small = {4, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const bool replaced = ReplaceFileAtomically(path, std::string(10000, 'x'));
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(Read(path), "earlier\n");
    EXPECT_EQ(Listing(), "./settings.conf ");
}

TEST_F(AtomicFileTest, LinksStayAndTheirFinalTargetIsReplaced) {
    const struct {
        const char* setup; // shell commands run in the directory
        const char* target;
    } cases[] = {
        {"mkdir repo && echo old >repo/t && ln -s \"$PWD/repo/t\" link", "repo/t"},
        {"mkdir repo && echo old >repo/t && ln -s repo/t link", "repo/t"},
        {"mkdir -p repo/d && echo old >repo/d/t && ln -s d/t repo/mid && ln -s repo/mid link",
         "repo/d/t"},
        {"mkdir repo && ln -s repo/t link", "repo/t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        TearDown();
        SetUp();
        ASSERT_EQ(std::system(("cd '" + dir + "' && " + c.setup).c_str()), 0);
        const std::string before = Listing();
        ASSERT_TRUE(ReplaceFileAtomically(dir + "/link", "new\n"));
        EXPECT_EQ(Read(dir + "/" + c.target), "new\n");
        struct stat info;
        ASSERT_EQ(lstat((dir + "/link").c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
        EXPECT_EQ(Listing(),
                  before.find(c.target) == std::string::npos ? "./link ./repo ./repo/t " : before);
    }
}

TEST_F(AtomicFileTest, LeavesAloneWhatIsNoRegularFile) {
    const struct {
        const char* setup;
        const char* path;
    } cases[] = {
        {"echo x >file", "file/below/settings.conf"},
        {"mkdir settings.conf", "settings.conf"},
        {"mkfifo settings.conf", "settings.conf"},
        {"mkfifo fifo && ln -s fifo settings.conf", "settings.conf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        TearDown();
        SetUp();
        ASSERT_EQ(std::system(("cd '" + dir + "' && " + c.setup).c_str()), 0);
        const std::string before = Run("cd '" + dir + "' && ls -lR");
        EXPECT_FALSE(ReplaceFileAtomically(dir + "/" + c.path, "y"));
        EXPECT_EQ(Run("cd '" + dir + "' && ls -lR"), before);
    }
}

} // namespace
