#include "atomic_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class AtomicFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-atomic-XXXXXX";
        directory = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + directory + "'").c_str()); }

    static std::string Read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    std::vector<std::string> Entries(const std::string& path) const {
        std::vector<std::string> names;
        DIR* dir = opendir(path.c_str());
        while (dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        if (dir != nullptr) {
            closedir(dir);
        }
        return names;
    }

    std::string directory;
};

TEST_F(AtomicFileTest, CreatesMissingDirectoriesAndReplacesContent) {
    const std::string path = directory + "/a/b/settings.conf";
    ASSERT_TRUE(ReplaceFileAtomically(path, "first\n"));
    EXPECT_EQ(Read(path), "first\n");
    ASSERT_TRUE(ReplaceFileAtomically(path, "second, longer\n"));
    EXPECT_EQ(Read(path), "second, longer\n");
    ASSERT_TRUE(ReplaceFileAtomically(path, ""));
    EXPECT_EQ(Read(path), "");
    EXPECT_EQ(Entries(directory + "/a/b"), std::vector<std::string>{"settings.conf"});
    struct stat info;
    ASSERT_EQ(stat((directory + "/a").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(AtomicFileTest, FailedWriteKeepsTheEarlierFileAndLeavesNoTemporary) {
    const std::string path = directory + "/settings.conf";
    ASSERT_TRUE(ReplaceFileAtomically(path, "earlier\n"));
    // As on a full disk: writes beyond a few bytes fail.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small = {4, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const bool replaced = ReplaceFileAtomically(path, std::string(10000, 'x'));
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(Read(path), "earlier\n");
    EXPECT_EQ(Entries(directory), std::vector<std::string>{"settings.conf"});
}

TEST_F(AtomicFileTest, RefusesPlacesItCannotWrite) {
    const std::string inTheWay = directory + "/file";
    ASSERT_TRUE(ReplaceFileAtomically(inTheWay, "x"));
    EXPECT_FALSE(ReplaceFileAtomically(inTheWay + "/below/settings.conf", "y"));
    ASSERT_EQ(mkdir((directory + "/dir").c_str(), 0700), 0);
    EXPECT_FALSE(ReplaceFileAtomically(directory + "/dir", "z")) << "a directory in the way";
    EXPECT_EQ(Entries(directory).size(), 2u);
    EXPECT_EQ(Read(inTheWay), "x");
}

} // namespace
