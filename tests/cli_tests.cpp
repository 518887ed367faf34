// Runs the built vantorel-cli as scripts run it and checks what they rely on:
// the lines on stdout, the message on stderr and the exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t count;
    while ((count = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    close(fd);
    return text;
}

ProcessResult RunCli(const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        close(outPipe[0]);
        close(errPipe[0]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(VANTOREL_CLI_PATH));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    ProcessResult result;
    result.out = ReadAll(outPipe[0]);
    result.err = ReadAll(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(Cli, PrintsTheWindowsResultLines) {
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-t", "metric", "-l", "8", "-n", "1", "1.5"},
         "A = 20, B = 50, C = 65, D = 55, Thread =  1.501, Error =  0.061%\n"},
        {{"-l", "8", "-g", "20,30,40", "16"},
         "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%\n"
         "A = 20, B = ANY, C = --, D = 30, Thread = 12.000, Error = 25.000%\n"
         "A = 30, B = ANY, C = --, D = 40, Thread = 10.667, Error = 33.333%\n"
         "A = 40, B = ANY, C = --, D = 30, Thread =  6.000, Error = 62.500%\n"
         "A = 30, B = ANY, C = --, D = 20, Thread =  5.333, Error = 66.667%\n"},
        {{"--lead-screw=8", "--gears=40,20,30", "--show=1", "16"},
         "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%\n"},
        {{"--type", "module", "--lead-unit", "mm", "-l", "6", "-n", "1", "-g", "20,30,40", "1"},
         "A = 20, B = ANY, C = --, D = 40, Thread =  0.955, Error =  4.720%\n"},
        {{"-g", "20,30", "16"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult result = RunCli(c.args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
    }
}

TEST(Cli, SortsTheGearListBeforeSearching) {
    const ProcessResult sorted = RunCli({"-n", "20", "-g", "20,25,30,40,55,80", "11"});
    const ProcessResult shuffled = RunCli({"-n", "20", "-g", "80,30,20,55,40,25", "11"});
    EXPECT_EQ(sorted.status, 0);
    EXPECT_NE(sorted.out, "");
    EXPECT_EQ(shuffled.out, sorted.out);
}

TEST(Cli, RefusesUnusableInputsWithTheWindowsMessages) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"abc"}, "Nothing to convert!"},
        {{"0"}, "Nothing to convert!"},
        {{"--", "-16"}, "Nothing to convert!"},
        {{"inf"}, "Nothing to convert!"},
        {{"nan"}, "Nothing to convert!"},
        {{"8 "}, "Nothing to convert!"},
        {{"-l", "abc", "abc"}, "Nothing to convert!"},
        {{"-l", "abc", "8"}, "You must enter a lead screw pitch!"},
        {{"-l", "0", "8"}, "You must enter a lead screw pitch!"},
        {{"-l", "-8", "8"}, "You must enter a lead screw pitch!"},
        {{"-l", "", "-g", "20", "8"}, "You must enter a lead screw pitch!"},
        {{"-g", "20", "8"}, "Not enough change gears!"},
        {{"-g", "", "8"}, "Not enough change gears!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult result = RunCli(c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, std::string("vantorel-cli: ") + c.message + "\n");
    }
}

TEST(Cli, RejectsMalformedArgumentsNamingThem) {
    const struct {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{"--bogus", "8"}, "'--bogus'"},
        {{"-x", "8"}, "'-x'"},
        {{"-t", "inch", "8"}, "'inch'"},
        {{"-u", "cm", "8"}, "'cm'"},
        {{"-g", "20,0,30", "8"}, "'0'"},
        {{"-g", "20,-5,30", "8"}, "'-5'"},
        {{"-g", "20,3.5", "8"}, "'3.5'"},
        {{"-g", "20,,30", "8"}, "''"},
        {{"-g", "20,12a", "8"}, "'12a'"},
        {{"-g", "20,99999999999999999999", "8"}, "'99999999999999999999'"},
        {{"-n", "0", "8"}, "'0'"},
        {{"-n", "100", "8"}, "'100'"},
        {{"-n", "five", "8"}, "'five'"},
        {{"8", "9"}, "'9'"},
        {{}, "THREAD"},
        {{"8", "--show"}, "'--show'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult result = RunCli(c.args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line only";
    }
}

TEST(Cli, HelpAndVersionGoToStdout) {
    const ProcessResult help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: vantorel-cli [options] THREAD", 0), 0u);
    EXPECT_NE(help.out.find("--lead-unit tpi|mm"), std::string::npos);
    const ProcessResult version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("vantorel-cli ", 0), 0u);
    EXPECT_EQ(version.err, "");
}

} // namespace
