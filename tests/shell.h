// Runs shell commands in a directory (made first) and gives what they
// printed: tests build odd files, links and FIFOs and list what is left.
#pragma once

#include <cstdio>
#include <string>

inline std::string Shell(const std::string& directory, const std::string& commands) {
    const std::string line =
        "mkdir -p '" + directory + "' && cd '" + directory + "' && " + commands;
    FILE* pipe = popen(line.c_str(), "r");
    std::string output;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        output += static_cast<char>(c);
    }
    pclose(pipe);
    return output;
}
