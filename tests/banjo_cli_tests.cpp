// The banjo as profiles and the command line give it, and `mount`.
#include "cli_run.h"
#include "lathe/lathe_profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kBanjo = "module=1,distance=82,slot=42:75,stud-hub=3,screw-hub=6,margin=1";

Banjo ProfileBanjo(const std::string& figures) {
    return *ParseLatheProfile("{\"banjo\": {" + figures + "}}", "b.json").banjo;
}

TEST(BanjoProfile, ReadsEveryFigureAndDefaultsTheRest) {
    const Banjo full = ProfileBanjo(R"("module": 1.5, "distance": 82, "slot": [42, 75],
        "stud_hub": 3, "screw_hub": 6, "margin": 0.5, "backlash": 0.1)");
    EXPECT_EQ(full.module, 1.5);
    EXPECT_EQ(full.distance, 82.0);
    EXPECT_EQ(full.slotMin, 42.0);
    EXPECT_EQ(full.slotMax, 75.0);
    EXPECT_EQ(full.studHub, 3.0);
    EXPECT_EQ(full.screwHub, 6.0);
    EXPECT_EQ(full.margin, 0.5);
    EXPECT_EQ(full.backlash, 0.1);
    const Banjo least = ProfileBanjo(R"("module": 1, "distance": 82)");
    EXPECT_FALSE(least.slotMin);
    EXPECT_EQ(least.studHub, 0.0);
    EXPECT_EQ(least.margin, 1.0);
    EXPECT_EQ(least.backlash, 0.0);
}

// 12.7 DP is module 2 (25.4 / 12.7); inches are 25.4 mm, the pitch aside.
TEST(BanjoProfile, DiametralPitchAndInchesAreModuleAndMillimetres) {
    const Banjo dp = ProfileBanjo(R"("dp": 12.7, "distance": 4, "stud_hub": 0.25,
        "length_unit": "in")");
    EXPECT_DOUBLE_EQ(dp.module, 2.0);
    EXPECT_DOUBLE_EQ(dp.distance, 101.6);
    EXPECT_DOUBLE_EQ(dp.studHub, 6.35);
    EXPECT_DOUBLE_EQ(dp.margin, 1.0); // the default stays 1 mm
    Banjo module;
    module.module = 2.0;
    module.distance = 101.6;
    module.studHub = 6.35;
    // C of 20 teeth needs 22 + 6.35 + 1 = 29.35 mm from S: an A:B mesh of
    // 30 teeth (30 mm) clears it, one of 29 does not; so 10 teeth of clearance.
    for (const Banjo& banjo : {dp, module}) {
        EXPECT_EQ(ToothBoundsOf(banjo).cClearance, 10);
        EXPECT_TRUE(MountTwoPairs(banjo, 10, 20, 20, 70).mounts);
        EXPECT_EQ(MountTwoPairs(banjo, 10, 19, 20, 70).failed->name, std::string("C-stud"));
    }
}

TEST(BanjoProfile, BadFiguresNameFileAndField) {
    const struct {
        const char* banjo;
        const char* message;
    } rows[] = {
        {R"("distance": 82)", "b.json: field 'banjo.module': needed (or dp)"},
        {R"("module": 1, "dp": 20, "distance": 82)",
         "b.json: field 'banjo.dp': give module or dp, not both"},
        {R"("module": 1)", "b.json: field 'banjo.distance': needed"},
        {R"("module": 0, "distance": 82)",
         "b.json: field 'banjo.module': expected a number above 0, at most 1000000"},
        {R"("module": 1, "distance": -82)",
         "b.json: field 'banjo.distance': expected a number above 0, at most 1000000"},
        {R"("module": 1, "distance": 82, "slot": [75, 42])",
         "b.json: field 'banjo.slot': its near end is beyond its far end"},
        {R"("module": 1, "distance": 82, "slot": [0, 42])",
         "b.json: field 'banjo.slot': expected a number above 0, at most 1000000"},
        {R"("module": 1, "distance": 82, "slot": [42])",
         "b.json: field 'banjo.slot': expected [near end, far end]"},
        {R"("module": 1, "distance": 82, "stud_hub": -1)",
         "b.json: field 'banjo.stud_hub': expected a number from 0 to 1000000"},
        {R"("module": 1, "distance": 82, "hub": 3)", "b.json: field 'banjo.hub': unknown field"},
        {R"("module": "1", "distance": 82)", "b.json: field 'banjo.module': expected a number"},
        {R"("module": 1, "distance": 82, "length_unit": "ft")",
         "b.json: field 'banjo.length_unit': expected \"mm\" or \"in\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.banjo);
        try {
            ProfileBanjo(row.banjo);
            ADD_FAILURE() << "accepted";
        } catch (const LatheProfileError& error) {
            EXPECT_EQ(std::string(error.what()), row.message);
        }
    }
}

TEST(BanjoOption, BadFiguresNameTheKeyAndExitTwo) {
    const struct {
        const char* figures;
        const char* message;
    } rows[] = {
        {"module=1", "'distance': needed"},
        {"module=1,dp=20,distance=82", "'dp': give module or dp, not both"},
        {"module=1,distance=82,slot=75:42", "'slot': its near end is beyond its far end"},
        {"module=1,distance=82,slot=42", "'slot': expected NEAR:FAR"},
        {"module=1,distance=82,stud-hub=-3", "'stud-hub': expected a number from 0 to 1000000"},
        {"module=1,distance=x", "'distance': 'x' is not a number"},
        {"module=1e308,distance=82", "'module': expected a number above 0, at most 1000000"},
        {"module=1,distance=82,hub=3", "'hub': unknown figure"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.figures);
        const CliRun run = RunWith({"mount", "--banjo", row.figures, "20,30,40,50"});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind(std::string("vantorel-cli: --banjo: ") + row.message, 0), 0u)
            << run.err;
    }
}

// Module 1, stud hub 3, margin 1: C of 60 teeth has tip radius 31 and needs
// 35 mm from S; A:B of 30:39 meshes at 34.5 mm.
TEST(Mount, SaysWhyATrainDoesNotMountAndExitsOne) {
    const CliRun run = RunWith({"mount", "--banjo", kBanjo, "30,39,60,40"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "Does not mount (C-stud): C (60 teeth, tip radius 31 mm) needs 35 mm to pass the "
              "stud's hub; the A:B mesh leaves 34.5 mm.");
}

// Module 2 on 100 mm: a 60 mm and an 80 mm mesh put the stud at (48, 64).
TEST(Mount, JsonGivesTheStudAndExitsZero) {
    const CliRun run =
        RunWith({"mount", "--banjo", "module=2,distance=100", "--format", "json", "25,35,40,40"});
    EXPECT_EQ(run.status, 0);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["mounts"], true);
    EXPECT_TRUE(json["failed"].is_null());
    EXPECT_NEAR(json["studs"][0]["x"].get<double>(), 48.0, 1e-9);
    EXPECT_NEAR(json["studs"][0]["y"].get<double>(), 64.0, 1e-9);
}

TEST(Mount, UsageFaultsExitTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"mount", "--banjo", kBanjo, "30,40"},
             {"mount", "--banjo", kBanjo, "30,40,50,60,70"},
             {"mount", "--banjo", kBanjo, "30,0,50"},
             {"mount", "--banjo", kBanjo, "30,4.5,50"},
             {"mount", "--banjo", kBanjo},
             {"mount", "30,40,50"},
         }) {
        SCOPED_TRACE(args.back());
        EXPECT_EQ(RunWith(args).status, 2);
    }
}

// The profile's banjo is too short for the train; --banjo replaces it.
TEST(Mount, BanjoOptionOverridesTheProfile) {
    const std::string file = ::testing::TempDir() + "banjo_override.json";
    std::ofstream(file) << R"({"banjo": {"module": 2, "distance": 40}})";
    EXPECT_EQ(RunWith({"mount", "--lathe", file, "25,35,40,40"}).status, 1);
    EXPECT_EQ(RunWith({"mount", "--lathe", file, "--banjo", "module=2,distance=100", "25,35,40,40"})
                  .status,
              0);
    std::remove(file.c_str());
}

} // namespace

namespace {

// Each train a search lists with a banjo mounts on it, checked by the model
// itself from the JSON's gears; a simple train's b is its idler.
TEST(BanjoSearch, ListsOnlyTrainsThatMountAndNamesIdlers) {
    Banjo banjo;
    banjo.module = 1.5;
    banjo.distance = 90;
    banjo.slotMin = 45;
    banjo.slotMax = 80;
    banjo.studHub = 4;
    banjo.screwHub = 8;
    const std::string figures = "module=1.5,distance=90,slot=45:80,stud-hub=4,screw-hub=8";
    for (const char* pairs : {"2", "3"}) {
        SCOPED_TRACE(pairs);
        const CliRun run = RunWith({"-l", "8", "-n", "20", "--pairs", pairs, "--banjo", figures,
                                    "--format", "json", "16"});
        const auto trains = nlohmann::json::parse(run.out);
        ASSERT_EQ(trains.size(), 20u);
        for (const auto& train : trains) {
            SCOPED_TRACE(train.dump());
            const auto z = [&](const char* key) { return train[key].get<std::int64_t>(); };
            const Mounting mounting =
                !train["e"].is_null()
                    ? MountThreePairs(banjo, z("a"), z("b"), z("c"), z("d"), z("e"), z("f"))
                : train["simple"] ? MountSimple(banjo, z("a"), z("b"), z("d"))
                                  : MountTwoPairs(banjo, z("a"), z("b"), z("c"), z("d"));
            EXPECT_TRUE(mounting.mounts);
            EXPECT_EQ(train["studs"].size(), train["e"].is_null() ? 1u : 2u);
        }
    }
}

// 16 tpi on an 8 tpi lead screw is 20 -> 40 through an idler. From A = 20
// to D = 40 an idler z needs a reach of 15 + 1.5z + 30 >= 90 mm, z >= 30;
// 25 is too small, and the 30 is the smallest that reaches (slot: 1.5 (z +
// 40) / 2 = 52.5 mm from L).
TEST(BanjoSearch, TextNamesTheSmallestIdlerThatMounts) {
    const CliRun run =
        RunWith({"-l", "8", "-n", "1", "--banjo", "module=1.5,distance=90,slot=45:80", "16"});
    EXPECT_EQ(run.out, "A = 20, B = 30, C = --, D = 40, Thread = 16.000, Error =  0.000%\n");
    const CliRun without = RunWith({"-l", "8", "-n", "1", "16"});
    EXPECT_EQ(without.out, "A = 20, B = ANY, C = --, D = 40, Thread = 16.000, Error =  0.000%\n");
}

} // namespace
