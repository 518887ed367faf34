// `draw`: the train to scale, read back by xmllint and poppler's tools.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kBanjo = "module=1,distance=82,slot=42:75,stud-hub=3,screw-hub=6,margin=1";

std::string Shell(const std::string& command) {
    FILE* pipe = popen(("{ " + command + "; } 2>&1").c_str(), "r");
    std::string out;
    for (char buffer[4096]; const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe);) {
        out.append(buffer, n);
    }
    return WEXITSTATUS(pclose(pipe)) == 0 ? out : "failed: " + out;
}

std::string Contents(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Half the width of each path stroked in `colour` `width` pt wide: for a
// circle, its radius.
std::vector<double> Radii(const std::string& svg, const std::string& width,
                          const std::string& colour) {
    const std::regex path("stroke-width:" + width + ";[^\"]*stroke:" + colour +
                          ";[^\"]*\" d=\"M ([^\"]*)\"");
    std::vector<double> radii;
    for (std::sregex_iterator at(svg.begin(), svg.end(), path), end; at != end; ++at) {
        std::istringstream numbers(std::regex_replace((*at)[1].str(), std::regex("[A-Z]"), " "));
        std::vector<double> xs;
        double x = 0;
        double y = 0;
        while (numbers >> x >> y) {
            xs.push_back(x);
        }
        const auto [low, high] = std::minmax_element(xs.begin(), xs.end());
        radii.push_back((*high - *low) / 2);
    }
    return radii;
}

bool HasNear(const std::vector<double>& values, double wanted) {
    return std::any_of(values.begin(), values.end(),
                       [wanted](double value) { return std::abs(value - wanted) < 0.001; });
}

// Module 1 on 82 mm with a 3 mm stud hub: C of 60 teeth (tip radius 31 mm)
// needs 35 mm from S, and A:B of 30:39 leaves 34.5 mm, so C-stud fails.
// At 1:1, 1 mm is 72 / 25.4 pt: A's pitch radius 15 mm is 42.5197 pt, B's
// 19.5 mm is 55.2756 pt, and the stud's hub 3 mm is 8.5039 pt.
TEST(Draw, SvgIsTheTrainToScaleWithTheFailedConstraintInRed) {
    const std::string svg = ::testing::TempDir() + "drawn-train.svg";
    std::remove(svg.c_str());
    const CliRun run = RunWith({"draw", "--banjo", kBanjo, "-o", svg, "30,39,60,40"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Shell("xmllint --noout " + svg), "");
    const std::string drawing = Contents(svg);
    const std::vector<double> pitch = Radii(drawing, "1.2", "rgb\\(10%,30%,70%\\)");
    EXPECT_TRUE(HasNear(pitch, 42.5197));
    EXPECT_TRUE(HasNear(pitch, 55.2756));
    EXPECT_FALSE(HasNear(pitch, 42.5197 * 2));
    EXPECT_TRUE(HasNear(Radii(drawing, "1.2", "rgb\\(85%,0%,0%\\)"), 8.5039));
    EXPECT_FALSE(HasNear(Radii(drawing, "0.6", "rgb\\(0%,0%,0%\\)"), 8.5039));
}

// The texts are glyph outlines in SVG; the PDF of the same drawing keeps them.
TEST(Draw, PdfIsOnePageWithTheLabelsAndTheCaption) {
    const std::string pdf = ::testing::TempDir() + "drawn-train.pdf";
    const struct {
        std::string gears;
        std::vector<std::string> texts;
    } cases[] = {
        {"30,39,60,40",
         {"S", "L", "A 30", "B 39", "C 60", "D 40", "34.5 mm",
          "Does not mount (C-stud): C (60 teeth"}},
        {"40,60,50,45", {"I", "A 40", "50 mm", "47.5 mm", "82 mm", "Mounts."}},
        {"40,35,45", {"B 35", "Does not mount (reach)"}},
        {"40,60,60,30,40,45", {"I1", "I2", "F 45", "Does not mount (B-E)"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.gears);
        std::remove(pdf.c_str());
        ASSERT_EQ(RunWith({"draw", "--banjo", kBanjo, "-o", pdf, row.gears}).status, 0);
        EXPECT_EQ(Shell("pdfinfo " + pdf + " | grep '^Pages:' | tr -s ' '"), "Pages: 1\n");
        const std::string text = Shell("pdftotext -raw " + pdf + " - | tr '\\n' ' '");
        for (const std::string& wanted : row.texts) {
            EXPECT_NE(text.find(wanted), std::string::npos) << wanted << " in " << text;
        }
    }
}

TEST(Draw, UsageFaultsExitTwoAndAFailedWriteOne) {
    const std::string svg = ::testing::TempDir() + "drawn-usage.svg";
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"draw", "--banjo", kBanjo, "-o", svg, "30,40"}, 2},
        {{"draw", "--banjo", kBanjo, "-o", svg, "30,0,40"}, 2},
        {{"draw", "--banjo", kBanjo, "-o", svg, "abc"}, 2},
        {{"draw", "--banjo", kBanjo, "-o", svg}, 2},
        {{"draw", "--banjo", kBanjo, "30,40,50"}, 2},
        {{"draw", "--banjo", kBanjo, "-o", svg + ".png", "30,40,50"}, 2},
        {{"draw", "-o", svg, "30,40,50"}, 2},
        {{"draw", "-o", svg, "1.5"}, 2},
        {{"draw", "--banjo", kBanjo, "-o", svg + ".none/x.svg", "30,40,50"}, 1},
        {{"draw", "--banjo", kBanjo, "-o", svg, "30,40,50"}, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.args.back() + " " + std::to_string(row.args.size()));
        EXPECT_EQ(RunWith(row.args).status, row.status);
    }
}

// 1.5 mm with the gears 20 to 80 by fives on an 8 tpi screw: the best train
// that mounts, as the single-thread search lists it first.
TEST(Draw, AThreadIsDrawnAsItsBestTrainOnTheBanjo) {
    const std::vector<std::string> search = {
        "-t",      "metric", "-l", "8", "-g",       "20,25,30,35,40,45,50,55,60,65,70,75,80",
        "--banjo", kBanjo,   "-n", "1", "--format", "json",
        "1.5"};
    const CliRun best = RunWith(search);
    ASSERT_EQ(best.status, 0);
    const auto train = nlohmann::json::parse(best.out)[0];
    const std::string pdf = ::testing::TempDir() + "drawn-thread.pdf";
    std::vector<std::string> draw = search;
    draw.erase(draw.end() - 5, draw.end() - 1);
    draw.insert(draw.begin(), {"draw", "-o", pdf});
    ASSERT_EQ(RunWith(draw).status, 0);
    const std::string text = Shell("pdftotext -raw " + pdf + " -");
    for (const char* letter : {"a", "b", "c", "d"}) {
        SCOPED_TRACE(letter);
        const std::string label =
            std::string(1, static_cast<char>(letter[0] - 'a' + 'A')) + " " + train[letter].dump();
        EXPECT_NE(text.find(label), std::string::npos) << label << " in " << text;
    }
}

} // namespace
