// Replacing a file so that a crash, a power cut or a full disk never leaves it
// missing, empty or half written. Knows nothing of any window toolkit.
#pragma once

#include <string>

// Writes `content` to a temporary file beside `path`, flushes it to the disk,
// renames it over `path` and flushes the directory. Missing parent
// directories are created first (mode 0700). On any failure the temporary
// file is removed, `path` keeps its earlier content, and false is returned.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);
