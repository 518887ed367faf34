#include "core/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>

namespace {

std::string ParentDirectory(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
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
        // A folder one may write in but not read cannot be synced; the
        // renamed file is in place all the same.
        return errno == EACCES;
    }
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

// A new file beside `target` by a name nobody can guess, made with `mode`
// less the umask, as any new file is. Its name goes to `name`.
int OpenTemporary(const std::string& target, mode_t mode, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned int random = 0;
        if (getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) {
            random =
                static_cast<unsigned int>(getpid()) * 7919u + static_cast<unsigned int>(attempt);
        }
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", random);
        name = target + suffix;
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// `content` whole and synced in a new file beside `target`, with `mode` less
// the umask, or exactly `mode` when `exact`. Returns the file's name, or an
// empty string and errno when nothing could be written (nothing is left).
std::string WriteTemporary(const std::string& target, const std::string& content, mode_t mode,
                           bool exact) {
    std::string name;
    const int fd = OpenTemporary(target, mode, name);
    if (fd < 0) {
        return std::string();
    }
    const bool written =
        (!exact || fchmod(fd, mode) == 0) && WriteWhole(fd, content) && fsync(fd) == 0;
    int error = errno;
    const bool closed = close(fd) == 0;
    if (written && closed) {
        return name;
    }
    error = written ? errno : error;
    unlink(name.c_str());
    errno = error;
    return std::string();
}

// Over whatever file is at `target`, or only where none is yet. Then the
// kernel looks and places in one step, so of two saves at once exactly one
// finds the place free. File systems that cannot rename without replacing
// can still make a hard link, which never replaces either.
bool MoveIntoPlace(const std::string& temporary, const std::string& target, bool onlyIfAbsent) {
    if (!onlyIfAbsent) {
        return std::rename(temporary.c_str(), target.c_str()) == 0;
    }
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if ((errno != EINVAL && errno != ENOSYS) || link(temporary.c_str(), target.c_str()) != 0) {
        return false;
    }
    unlink(temporary.c_str());
    return true;
}

// The whole write, from the temporary file to the synced directory.
bool PutInPlace(const std::string& target, const std::string& content, mode_t mode, bool exact,
                bool onlyIfAbsent) {
    const FileSizeSignalIgnored keepRunning;
    const std::string temporary = WriteTemporary(target, content, mode, exact);
    if (temporary.empty()) {
        return false;
    }
    if (!MoveIntoPlace(temporary, target, onlyIfAbsent)) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return SyncDirectory(ParentDirectory(target));
}

// Why something other than a regular file cannot be written over.
int NotRegularFault(mode_t type) {
    if (S_ISDIR(type)) {
        return EISDIR;
    }
    return S_ISLNK(type) ? ELOOP : EINVAL;
}

} // namespace

bool MakeDirectories(const std::string& directory) {
    struct stat info;
    if (stat(directory.c_str(), &info) == 0) {
        errno = S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
        return errno == 0;
    }
    const std::string parent = ParentDirectory(directory);
    if (parent != directory && !MakeDirectories(parent)) {
        return false;
    }
    return mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
    const std::string target = FinalTarget(path);
    if (!MakeDirectories(ParentDirectory(target)) || !IsRegularOrMissing(target)) {
        return false;
    }
    return PutInPlace(target, content, 0600, false, false);
}

bool SaveFileAtomically(const std::string& path, const std::string& content, bool onlyIfAbsent) {
    const std::string target = FinalTarget(path);
    struct stat info;
    if (lstat(target.c_str(), &info) != 0) {
        return errno == ENOENT && PutInPlace(target, content, 0666, false, onlyIfAbsent);
    }
    if (onlyIfAbsent || !S_ISREG(info.st_mode)) {
        errno = onlyIfAbsent ? EEXIST : NotRegularFault(info.st_mode);
        return false;
    }
    return PutInPlace(target, content, info.st_mode & 0777, true, false);
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
