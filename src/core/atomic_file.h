// Replacing a file so that a crash, a power cut or a full disk never leaves it
// missing, empty or half written. Knows nothing of any window toolkit.
#pragma once

#include <string>

// Makes `directory` and each missing folder above it, mode 0700. True when
// it is a directory in the end; else errno says why.
bool MakeDirectories(const std::string& directory);

// Writes `content` to a temporary file beside the file `path` names, flushes
// it to the disk, renames it over that file and flushes the directory. When
// `path` is a symbolic link, the file replaced is the link's final target,
// in the target's directory, and the link stays. Missing parent directories
// are created first (mode 0700), and the file is the user's alone (mode
// 0600), as settings should be. Something that is not a regular file in
// the target's place is left alone. On any failure, a file-size limit
// included, the temporary file is removed, the target keeps its earlier
// content, and false is returned.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

// As ReplaceFileAtomically, for a file the user names (a chart, a lathe
// profile), with that file's usual rights: no directory is made (a missing
// one is ENOENT), a new file gets mode 0666 less the umask, and a replaced
// one keeps its mode. With `onlyIfAbsent` the file is only created: one
// already there, or made meanwhile by another save, is left as it is (EEXIST).
// On failure errno says why.
bool SaveFileAtomically(const std::string& path, const std::string& content, bool onlyIfAbsent);

// Writes all of `content` to `fd`, through short writes and interruptions.
// On failure errno says why.
bool WriteWhole(int fd, const std::string& content);
