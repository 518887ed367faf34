#include "cli/cli.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write then fails and is reported
    // like a full disk, rather than the kernel ending the run unheard.
    std::signal(SIGXFSZ, SIG_IGN);
    return RunCli(argc, argv, std::cout, std::cerr);
}
