// vantorel-cli's chart as PDF and SVG, read back by poppler's tools and
// xmllint, against the text and CSV of the same chart.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace {

const std::string kChart = std::string(VANTOREL_CLI_PATH) + " chart ";
// In the working directory, which ctest makes the build tree's own.
const std::string kDir = "vantorel-chart-";

// Runs `command` in sh; returns its exit status and what it printed on both
// streams, but for the list of leak suppressions a sanitizer build prints on exit.
std::pair<int, std::string> Shell(const std::string& command) {
    const std::string quiet = "export LSAN_OPTIONS=$LSAN_OPTIONS:print_suppressions=0; ";
    FILE* pipe = popen((quiet + "{ " + command + "; } 2>&1").c_str(), "r");
    std::string out;
    for (char buffer[4096]; const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe);) {
        out.append(buffer, n);
    }
    return {WEXITSTATUS(pclose(pipe)), out};
}

int Number(const std::string& command) {
    return std::stoi(Shell(command).second);
}

int Occurrences(const std::string& pattern, const std::string& command) {
    return Number(command + " | grep -o '" + pattern + "' | wc -l");
}

// Whole multiples of 10^18, each exact as a double.
const std::string kHuge = "1000000000000000000,2000000000000000000,3000000000000000000,"
                          "5000000000000000000,7000000000000000000,9000000000000000000";

TEST(ChartDocument, PdfAndSvgHoldEveryRowOnPagesOfTheirPaper) {
    const char* a4 = "595.276 x 841.89 pts (A4)";
    const struct {
        std::string chart;
        const char* drawing;
        const char* markAbove; // the percent it shades above
        int pages;
        const char* size;
    } cases[] = {
        {"--threads metric-coarse --gearbox A=16,B/2=8", "", "0.5", 1, a4},
        {"--threads unc,bsw,module", "--mark-above 0 --paper a4", "0", 1, a4}, // 60 threads
        {"--threads metric-coarse,unc,bsp", "", "0.5", 2, a4},                 // 75 threads
        {"--threads unc,bsw,module", "--paper letter", "0.5", 1, "612 x 792 pts (letter)"},
        // 16 tpi from no ratio nearer than 1:2 on a 16 tpi lead screw: 50% off
        {"--threads unc -g 20,40,80", "--mark-above 50", "50", 1, a4},
        {"--threads unc -g 20,40,80", "--mark-above 49.99", "49.99", 1, a4},
        {"--threads all -n 2 -l 8 -u mm --clearance 10 --pairs 3", "", "0.5", 6, a4}, // 346 rows
        // A heading naming 2000 gears would leave no room for the 25 threads.
        {"--threads unc -g $(seq -s, 1 2000) 2>/dev/null", "", "0.5", 1, a4},
        // No label or tooth count cut: 75 rows. For 7 tpi the third best is
        // 1000005 to 40 on the first position: 0.00064 tpi, after 8 and 4.
        {"--threads unc -n 3 -g 20,40,1000005 --gearbox LEVERPOSITION-A1=16,B=8", "", "0.5", 2, a4},
        // Six columns of 19 digits are wider than the page: smaller type.
        {"--threads unc -l 4 --pairs 3 -g " + kHuge, "--paper letter", "0.5", 1,
         "612 x 792 pts (letter)"},
    };
    for (const auto& c : cases) {
        const std::string chart = kChart + c.chart, pages = std::to_string(c.pages);
        const std::string to = chart + " " + c.drawing + " -o ";
        const std::string pdf = kDir + "rows.pdf", svg = kDir + "rows.svg";
        SCOPED_TRACE(to);
        ASSERT_EQ(Shell(to + pdf + " --format pdf && " + to + svg + " --format svg").first, 0);
        EXPECT_EQ(Shell("pdfinfo " + pdf + " | grep -E '^Page(s| size)' | tr -s ' '").second,
                  "Pages: " + pages + "\nPage size: " + c.size + "\n");
        const std::string text = "pdftotext -layout " + pdf + " - | tr -s ' '";
        EXPECT_EQ(Occurrences("Threading chart$", text), c.pages);
        EXPECT_GE(Occurrences("^Thread Wanted .*A B C D .*Cut Error$", text), c.pages);
        // The first page and the last numbered, each once.
        EXPECT_EQ(Occurrences(" Page \\(1\\|" + pages + "\\) of " + pages + "$", text),
                  std::min(c.pages, 2));
        // Each train's row as the text chart has it: thread, wanted, gears, cut, error.
        const std::string rows = " | sed 's/^ //; s/ *\u2713$//; s/ $//' | grep '%$'";
        EXPECT_EQ(Shell(text + rows).second, Shell(chart + " | tr -s ' '" + rows).second);
        const std::string error =
            chart + " --format json | grep -o 'error_percent\": [^,]*' | awk '$2 ";
        EXPECT_EQ(Occurrences("\u2713", text), c.pages + Number(error + "< 1e-9' | wc -l"));
        const int shaded = Number(error + ">= 1e-9 && $2 > " + c.markAbove + "' | wc -l");
        EXPECT_EQ(Occurrences("rgb(8[12]", "pdftocairo -svg " + pdf + " -"), shaded);
        // The SVG: the same glyphs but blank ones, its pages one below the other.
        const std::string inked =
            R"(grep -B1 'd=""' $s | grep -o 'glyph[0-9-]*' | sed 's/.*/#&"/' >$s.b;
                                     grep -o '#glyph[0-9-]*"' $s | grep -cvFf $s.b)";
        EXPECT_EQ(Number("s=" + svg + "; " + inked),
                  Number(text + " | sed 's/\u2713/x/g' | tr -d ' \n\f' | wc -c"));
        const std::string box =
            R"( --xpath 'concat(/*/@width, " ", /*/@height, " ", (//*[@y])[last()]/@y)')";
        double page[2] = {0, 0}, picture[3] = {0, 0, 0};
        std::sscanf(c.size, "%lf x %lf", &page[0], &page[1]);
        std::sscanf(Shell("xmllint" + box + " " + svg).second.c_str(), "%lfpt %lfpt %lf",
                    &picture[0], &picture[1], &picture[2]);
        EXPECT_NEAR(picture[0], page[0], 0.01);
        EXPECT_NEAR(picture[1], page[1] * c.pages, 0.01 * c.pages);
        EXPECT_GT(picture[2], page[1] * (c.pages - 1)) << "the last page stands last";
    }
}

TEST(ChartDocument, WritesWholeFilesOrSaysWhyNot) {
    const std::string inode = "f=" + kDir + "written; echo old >$f; i=$(stat -c %i $f); ";
    const std::string cannot = "vantorel-cli: cannot write ";
    const std::string help = " (try 'vantorel-cli --help')\n";
    const struct {
        std::string command;
        int status;
        std::string out;
    } cases[] = {
        {kChart + "--format pdf", 2,
         "vantorel-cli: a pdf or svg chart needs -o FILE, or -o - for standard output" + help},
        {"rm -rf " + kDir + "gone; " + kChart + "--format svg -o " + kDir + "gone/chart.svg", 1,
         cannot + "'" + kDir + "gone/chart.svg': No such file or directory\n"},
        {kChart + "--format pdf -o - >/dev/full", 1,
         cannot + "the output: No space left on device\n"},
        {kChart + "--format pdf -o - >&-", 1, cannot + "the output: Bad file descriptor\n"},
        // A device, the file behind standard output: written in place, not renamed over.
        {kChart + "--format pdf -o /dev/full", 1,
         cannot + "'/dev/full': No space left on device\n"},
        {inode + kChart + "-o /dev/stdout >$f && [ $(stat -c %i $f) = $i ]", 0, ""},
        // A regular file is replaced by a new one, with its mode; a new one
        // gets 0666 less the umask.
        {inode + kChart + "-o $f && [ $(stat -c %i $f) != $i ] && head -c 4 $f", 0, "Lead"},
        {inode + "chmod 604 $f; " + kChart + "-o $f && stat -c %a $f", 0, "604\n"},
        {inode + "rm $f; umask 027; " + kChart + "-o $f && stat -c %a $f", 0, "640\n"},
        // No folder is made, not even for the target of a link.
        {"rm -rf " + kDir + "gone; ln -sfn " + kDir + "gone/a/x.pdf " + kDir + "link.pdf; " +
             kChart + "-o " + kDir + "link.pdf; s=$?; [ -e " + kDir + "gone ] || exit $s",
         1, cannot + "'" + kDir + "link.pdf': No such file or directory\n"},
        {kChart + "--mark-above -0.01", 2, "vantorel-cli: --mark-above: '-0.01' is below 0" + help},
        {kChart + "--format svg --mark-above 0 -o - | head -c 5", 0, "<?xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(Shell(c.command), std::make_pair(c.status, c.out));
    }
}

} // namespace
