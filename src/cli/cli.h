// vantorel-cli: the calculation from the command line. Kept apart from main()
// so that tests and fuzzers can run it in-process.
#pragma once

#include <ostream>

// Exit statuses: 0 done (even with no train found), 1 an input the window
// would refuse with a message, 2 a malformed command line.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);
