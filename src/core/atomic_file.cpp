#include "core/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

namespace {

std::string ParentDirectory(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeDirectories(const std::string& directory) {
    struct stat info;
    if (stat(directory.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    const std::string parent = ParentDirectory(directory);
    if (parent != directory && !MakeDirectories(parent)) {
        return false;
    }
    return mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

// The file a chain of symbolic links ends in; `path` itself when it is no
// link or does not exist yet. Dotfiles kept in a repository and linked into
// place must stay linked. The kernel gives up on longer chains as well.
std::string FinalTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) {
            return path;
        }
        const std::string next(target, static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : ParentDirectory(path) + "/" + next;
    }
    return path;
}

// A FIFO, a device or a directory where the file should be is not ours to
// replace; a missing file is simply created.
bool IsRegularOrMissing(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode);
}

// Past a file-size limit the kernel would kill the process with SIGXFSZ;
// while this lives such a write fails like any other.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored() {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &m_previous);
    }
    ~FileSizeSignalIgnored() { sigaction(SIGXFSZ, &m_previous, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction m_previous = {};
};

// Without this the rename itself may be lost in a power cut.
bool SyncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

} // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
    const std::string target = FinalTarget(path);
    const std::string directory = ParentDirectory(target);
    if (!MakeDirectories(directory) || !IsRegularOrMissing(target)) {
        return false;
    }
    const FileSizeSignalIgnored keepRunning;
    std::vector<char> temporary(target.begin(), target.end());
    const std::string suffix = ".XXXXXX";
    temporary.insert(temporary.end(), suffix.begin(), suffix.end());
    temporary.push_back('\0');
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteWhole(fd, content) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || std::rename(temporary.data(), target.c_str()) != 0) {
        unlink(temporary.data());
        return false;
    }
    return SyncDirectory(directory);
}

bool WriteWhole(int fd, const std::string& content) {
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t count = write(fd, content.data() + written, content.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            errno = count == 0 ? EIO : errno;
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}
