// The whole command-line calculation from arbitrary argument text: one
// argument per line of the input.
#include "cli/cli.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxArguments = 24;

std::vector<std::string> SplitLines(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size && lines.size() <= kMaxArguments; ++i) {
        if (data[i] == '\n') {
            lines.emplace_back();
        } else {
            lines.back().push_back(static_cast<char>(data[i]));
        }
    }
    return lines;
}

// A chart written to a file could land anywhere the fuzzer's text names.
bool WritesAFile(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return argument.rfind("-o", 0) == 0 || argument.rfind("--output", 0) == 0;
    });
}

} // namespace

// Profiles that `lathes --save` writes go to a folder of the run's own.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char folder[] = "/tmp/vantorel-fuzz-cli-XXXXXX";
    setenv("XDG_CONFIG_HOME", mkdtemp(folder), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments = SplitLines(data, size);
    if (WritesAFile(arguments)) {
        return 0;
    }
    arguments.insert(arguments.begin(), "vantorel-cli");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::ostringstream out, err;
    const int status = RunCli(static_cast<int>(arguments.size()), argv.data(), out, err);
    // What scripts rely on: a known status; a refusal is one line on stderr
    // and nothing on stdout; a success says at most that gears were left out.
    const std::string said = err.str();
    const bool oneLine = said.find('\n') == said.size() - 1;
    const bool refused = status == 1 || status == 2;
    if ((status != 0 && !refused) || (refused && (!oneLine || !out.str().empty())) ||
        (status == 0 && !said.empty() && said.find(" gears given; ") == std::string::npos)) {
        std::abort();
    }
    return 0;
}
