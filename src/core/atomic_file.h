// Replacing a file so that a crash, a power cut or a full disk never leaves it
// missing, empty or half written. Knows nothing of any window toolkit.
#pragma once

#include <string>

// Writes `content` to a temporary file beside the file `path` names, flushes
// it to the disk, renames it over that file and flushes the directory. When
// `path` is a symbolic link, the file replaced is the link's final target,
// in the target's directory, and the link stays. Missing parent directories
// are created first (mode 0700). Something that is not a regular file in
// the target's place is left alone. On any failure, a file-size limit
// included, the temporary file is removed, the target keeps its earlier
// content, and false is returned.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

// Writes all of `content` to `fd`, through short writes and interruptions.
// On failure errno says why.
bool WriteWhole(int fd, const std::string& content);
