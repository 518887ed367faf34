#include "lathe/banjo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

// Module 2 makes a tooth one millimetre of centre distance: a gear of z
// teeth has pitch radius z and tip radius z + 2, two gears mesh at z1 + z2.
Banjo Banjo2(double distance, double slotMin, double slotMax) {
    Banjo banjo;
    banjo.module = 2.0;
    banjo.distance = distance;
    banjo.slotMin = slotMin;
    banjo.slotMax = slotMax;
    banjo.studHub = 5.0;
    banjo.screwHub = 7.0;
    banjo.margin = 1.0;
    return banjo;
}

std::string FailedName(const Mounting& mounting) {
    return mounting.failed ? mounting.failed->name : "";
}

const Constraint* Find(const Mounting& mounting, const std::string& name) {
    for (const Constraint& check : mounting.checks) {
        if (check.name == name) {
            return &check;
        }
    }
    return nullptr;
}

struct TwoPairRow {
    const char* what;
    double distance, slotMax;
    std::int64_t A, B, C, D;
    const char* failed; // "" when it mounts
};

// Each constraint exactly at its limit (mounts) and one tooth past it (the
// constraint named). Hubs: stud 5, screw 7, margin 1, slot from 40, so
// B-screw is B + 10 <= C + D, C-stud C + 8 <= A + B, A-screw A + 10 <= d,
// D-stud D + 8 <= d.
TEST(BanjoTwoPairs, EachConstraintAtItsLimitAndJustPast) {
    const TwoPairRow rows[] = {
        {"reach, a1 + a2 = d", 100, 60, 20, 30, 25, 25, ""},
        {"reach, a1 + a2 = d - 1", 100, 60, 20, 29, 25, 25, "reach"},
        {"reach, a1 - a2 = d", 100, 60, 110, 40, 25, 25, "A-screw"},
        {"reach, a1 - a2 = d + 1", 100, 60, 111, 40, 25, 25, "reach"},
        {"slot, a2 = 40", 100, 60, 35, 30, 20, 20, ""},
        {"slot, a2 = 39", 100, 60, 35, 30, 20, 19, "slot"},
        {"slot, a2 = 60", 100, 60, 20, 30, 30, 30, ""},
        {"slot, a2 = 61", 100, 60, 20, 30, 30, 31, "slot"},
        {"B-screw, 31 + 10 > 40", 100, 60, 34, 31, 20, 20, "B-screw"},
        {"C-stud, 40 + 8 = 48", 100, 60, 20, 28, 40, 20, ""},
        {"C-stud, 40 + 8 > 47", 100, 60, 20, 27, 40, 20, "C-stud"},
        {"A-screw, 90 + 10 = 100", 100, 60, 90, 20, 20, 20, ""},
        {"A-screw, 91 + 10 > 100", 100, 60, 91, 20, 20, 20, "A-screw"},
        {"D-stud, 52 + 8 = 60", 60, 60, 30, 30, 8, 52, ""},
        {"D-stud, 53 + 8 > 60", 60, 60, 30, 30, 7, 53, "D-stud"},
    };
    for (const TwoPairRow& row : rows) {
        SCOPED_TRACE(row.what);
        const Mounting mounting =
            MountTwoPairs(Banjo2(row.distance, 40, row.slotMax), row.A, row.B, row.C, row.D);
        EXPECT_EQ(FailedName(mounting), row.failed);
        EXPECT_EQ(mounting.mounts, std::string(row.failed).empty());
    }
}

struct SimpleRow {
    const char* what;
    double slotMax;
    std::int64_t A, idler, D;
    const char* failed;
};

// One plane: A-D is A + D + 5 <= d; the rest as for two pairs, d = 100.
TEST(BanjoSimpleTrain, EachConstraintAtItsLimitAndJustPast) {
    const SimpleRow rows[] = {
        {"reach, a1 + a2 = 100", 60, 20, 30, 20, ""},
        {"reach, a1 + a2 = 99", 60, 20, 30, 19, "reach"},
        {"slot, a2 = 40", 60, 50, 20, 20, ""},
        {"slot, a2 = 39", 60, 50, 20, 19, "slot"},
        {"slot, a2 = 60", 60, 20, 30, 30, ""},
        {"slot, a2 = 61", 60, 20, 30, 31, "slot"},
        {"A-D, 50 + 45 + 5 = 100", 60, 50, 10, 45, ""},
        {"A-D, 50 + 46 + 5 > 100", 60, 50, 10, 46, "A-D"},
        {"A-screw, 90 + 10 = 100", 60, 90, 40, 5, ""},
        {"A-screw, 91 + 10 > 100", 60, 91, 40, 4, "A-screw"},
        {"D-stud, 92 + 8 = 100", 200, 3, 10, 92, ""},
        {"D-stud, 93 + 8 > 100", 200, 2, 10, 93, "D-stud"},
    };
    for (const SimpleRow& row : rows) {
        SCOPED_TRACE(row.what);
        const Mounting mounting =
            MountSimple(Banjo2(100, 40, row.slotMax), row.A, row.idler, row.D);
        EXPECT_EQ(FailedName(mounting), row.failed);
    }
}

struct ThreePairRow {
    const char* what;
    double slotMax;
    std::int64_t A, B, C, D, E, F;
    const char* failed;
};

// a1 + a2 + a3 = d = 100: the linkage closes only straight, S, I1, I2 and L
// in a line, so I1 is a2 + a3 from L and I2 is a1 + a2 from S. The base
// train 12:18, 20:20, 15:15 has a1 = 30, a2 = 40, a3 = 30; slot from 20.
// B-E is B + E + 5 <= a2, A-F A + F + 5 <= d, D-screw D + 10 <= a3.
TEST(BanjoThreePairs, StraightLinkageAtEachLimitAndJustPast) {
    const ThreePairRow rows[] = {
        {"reach and D-screw (20 + 10 = 30) at the limit", 80, 12, 18, 20, 20, 15, 15, ""},
        {"reach, a1 + a2 + a3 = 99", 80, 11, 18, 20, 20, 15, 15, "reach"},
        {"D-screw, 21 + 10 > 30", 80, 12, 18, 19, 21, 15, 15, "D-screw"},
        {"slot of I1, 70 from L", 70, 12, 18, 20, 20, 15, 15, ""},
        {"slot of I1, 70 from L past 69", 69, 12, 18, 20, 20, 15, 15, "slot"},
        {"B-E, 18 + 17 + 5 = 40", 80, 12, 18, 20, 20, 17, 13, ""},
        {"B-E, 18 + 18 + 5 > 40", 80, 12, 18, 20, 20, 18, 12, "B-E"},
        {"C-stud, 22 + 8 = 30", 80, 10, 20, 22, 18, 15, 15, ""},
        {"C-stud, 23 + 8 > 30", 80, 10, 20, 23, 17, 15, 15, "C-stud"},
        // Bent: I1 at (48, 64) is 60 from S and 80 from L, I2 then 101 from S.
        {"A-F, 50 + 45 + 5 = 100", 1000, 50, 10, 25, 25, 10, 45, ""},
        {"A-F, 51 + 45 + 5 > 100", 1000, 51, 10, 25, 25, 10, 45, "A-F"},
    };
    for (const ThreePairRow& row : rows) {
        SCOPED_TRACE(row.what);
        const Mounting mounting =
            MountThreePairs(Banjo2(100, 20, row.slotMax), row.A, row.B, row.C, row.D, row.E, row.F);
        EXPECT_EQ(FailedName(mounting), row.failed);
    }
}

// B-F and C-screw ask |I1 L| >= need. Over a free swing they are implied
// where |I1 L| is largest: at d + a1 by A-F (B-F) or C-stud (C-screw), at
// a2 + a3 by B-E or D-screw. So here the slot's far end holds I1 in, and
// the train mounts only with I1 there. Screw hub 10, so B-F is B + F + 5,
// C-screw C + 13. Elsewhere |S I2| >= max(|d - a3|, |a1 - a2|) and
// |I1 L| >= the swing's near end, which clears every other constraint.
// - 22:38, 25:35, 13:42: swing [40, 115], |S I2| >= 45; B-F 38 + 42 + 5
//   = 85, A-E 40, D-stud 43, C-screw 38, B-E 56 <= 60.
// - 44:19, 53:10, 10:14: swing [39, 87], |S I2| >= 76; C-screw 53 + 13 =
//   66, C-stud 61 <= 63, B-F 38, D-screw 23 <= 24.
// One tooth past, the constraint fails below the slot's end, over more of
// the swing than the slot fails beyond it. Its need is the slot's end (and
// I1 sits there), or a millimetre more.
TEST(BanjoThreePairs, BentLinkageHeldInByTheSlot) {
    const struct {
        const char* what;
        double slotMax;
        std::int64_t A, B, C, D, E, F;
        const char* tested;
        bool mounts;
    } rows[] = {
        {"B-F, 38 + 42 + 5 = 85", 85, 22, 38, 25, 35, 13, 42, "B-F", true},
        {"B-F, 39 + 42 + 5 > 85", 85, 21, 39, 25, 35, 13, 42, "B-F", false},
        {"C-screw, 53 + 13 = 66", 66, 44, 19, 53, 10, 10, 14, "C-screw", true},
        {"C-screw, 54 + 13 > 66", 66, 44, 19, 54, 9, 10, 14, "C-screw", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Banjo banjo = Banjo2(100, 20, row.slotMax);
        banjo.screwHub = 10.0;
        const Mounting mounting = MountThreePairs(banjo, row.A, row.B, row.C, row.D, row.E, row.F);
        EXPECT_EQ(mounting.mounts, row.mounts);
        EXPECT_EQ(FailedName(mounting), row.mounts ? "" : row.tested);
        const Constraint* tested = Find(mounting, row.tested);
        ASSERT_NE(tested, nullptr);
        EXPECT_DOUBLE_EQ(tested->need, row.slotMax + (row.mounts ? 0.0 : 1.0));
        if (row.mounts) {
            EXPECT_NEAR(tested->have, row.slotMax, 1e-6);
        }
    }
}

TEST(BanjoThreePairs, StraightLinkageStudsLieOnTheLine) {
    const Mounting mounting = MountThreePairs(Banjo2(100, 20, 80), 12, 18, 20, 20, 15, 15);
    ASSERT_EQ(mounting.studs.size(), 2u);
    EXPECT_NEAR(mounting.studs[0].x, 0.0, 1e-6);
    EXPECT_NEAR(mounting.studs[0].y, 70.0, 1e-6);
    EXPECT_NEAR(mounting.studs[1].x, 0.0, 1e-6);
    EXPECT_NEAR(mounting.studs[1].y, 30.0, 1e-6);
}

// Every check that has a two-pair counterpart passes (C-stud 28 <= 40,
// D-screw 30 <= 60, A-F 65 <= 100, and the swing reaches far enough), but B
// and E, both 22 mm at the tip, need 45 mm on one plane where the C:D mesh
// holds the studs 40 mm apart: no position helps.
TEST(BanjoThreePairs, BAndEClashWhateverTheSwing) {
    Banjo banjo = Banjo2(100, 0, 1000);
    const Mounting mounting = MountThreePairs(banjo, 20, 20, 20, 20, 20, 40);
    EXPECT_EQ(FailedName(mounting), "B-E");
    for (const char* name : {"C-stud", "D-screw", "A-F", "C-screw", "D-stud"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Find(mounting, name)->Holds());
    }
    // E of 15 teeth: 22 + 17 + 1 = 40 just clears; at |S I2| = 80 the studs
    // sit at (21.95, 66.56) and (43.9, 33.125), clear of everything.
    EXPECT_TRUE(MountThreePairs(banjo, 20, 20, 20, 20, 15, 40).mounts);
}

// Whatever position the swing settles on, the studs keep every mesh, and
// each constraint weighs its own gears, hub and margin against its own
// distance there. Tip radii 22, 32, 27, 37, 22, 52; meshes 50, 60, 70.
TEST(BanjoThreePairs, StudsKeepEveryMeshDistance) {
    const Banjo banjo = Banjo2(100, 0, 1000);
    const Mounting mounting = MountThreePairs(banjo, 20, 30, 25, 35, 20, 50);
    ASSERT_TRUE(mounting.mounts);
    const StudPosition I1 = mounting.studs[0];
    const StudPosition I2 = mounting.studs[1];
    EXPECT_NEAR(std::hypot(I1.x, I1.y - 100.0), 50.0, 1e-9);
    EXPECT_NEAR(std::hypot(I1.x - I2.x, I1.y - I2.y), 60.0, 1e-9);
    EXPECT_NEAR(std::hypot(I2.x, I2.y), 70.0, 1e-9);
    EXPECT_GE(I2.x, 0.0);
    const double firstFromL = std::hypot(I1.x, I1.y);
    const double secondFromS = std::hypot(I2.x, I2.y - 100.0);
    const struct {
        const char* name;
        double need, have;
    } rows[] = {
        {"B-E", 32 + 22 + 1, 60},
        {"B-F", 32 + 52 + 1, firstFromL},
        {"A-E", 22 + 22 + 1, secondFromS},
        {"A-F", 22 + 52 + 1, 100},
        {"C-stud", 27 + 5 + 1, 50},
        {"C-screw", 27 + 7 + 1, firstFromL},
        {"D-stud", 37 + 5 + 1, secondFromS},
        {"D-screw", 37 + 7 + 1, 70},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Constraint* check = Find(mounting, row.name);
        ASSERT_NE(check, nullptr);
        EXPECT_DOUBLE_EQ(check->need, row.need);
        EXPECT_NEAR(check->have, row.have, 1e-9);
    }
}

// A position of a train of three pairs on a module-2 banjo, weighed by hand:
// the least room any constraint leaves there, in mm (negative where one
// fails). Tip radius z + 2, mesh z1 + z2.
double LeastRoom(const Banjo& banjo, const std::array<double, 6>& z, double x1, double y1,
                 double x2, double y2) {
    const auto tip = [&](int gear) { return z[gear] + 2.0; };
    const double margin = banjo.margin;
    const double firstFromL = std::hypot(x1, y1);
    const double secondFromS = std::hypot(x2, y2 - banjo.distance);
    const double a1 = z[0] + z[1], a2 = z[2] + z[3], a3 = z[4] + z[5];
    return std::min(
        {firstFromL - *banjo.slotMin, *banjo.slotMax - firstFromL, a3 - *banjo.slotMin,
         *banjo.slotMax - a3, a2 - (tip(1) + tip(4) + margin),
         firstFromL - (tip(1) + tip(5) + margin), secondFromS - (tip(0) + tip(4) + margin),
         banjo.distance - (tip(0) + tip(5) + margin), a1 - (tip(2) + banjo.studHub + margin),
         firstFromL - (tip(2) + banjo.screwHub + margin),
         secondFromS - (tip(3) + banjo.studHub + margin), a3 - (tip(3) + banjo.screwHub + margin)});
}

// The most room any position leaves, over the swing sampled finely: I1 at
// e from L and a1 from S (x >= 0), I2 at a3 from L and a2 from I1, either
// way.
double MostRoom(const Banjo& banjo, const std::array<double, 6>& z) {
    const double d = banjo.distance;
    const double a1 = z[0] + z[1], a2 = z[2] + z[3], a3 = z[4] + z[5];
    const double low = std::max(std::fabs(d - a1), std::fabs(a2 - a3));
    const double high = std::min(d + a1, a2 + a3);
    double most = -1e9;
    for (int i = 0; i <= 2000 && low <= high; ++i) {
        const double e = low + (high - low) * i / 2000;
        const double y1 = (e * e - a1 * a1 + d * d) / (2 * d);
        const double x1 = std::sqrt(std::max(0.0, e * e - y1 * y1));
        const double along = (e * e + a3 * a3 - a2 * a2) / (2 * e);
        const double across = std::sqrt(std::max(0.0, a3 * a3 - along * along));
        for (const double side : {-1.0, 1.0}) {
            const double x2 = (x1 * along - side * y1 * across) / e;
            const double y2 = (y1 * along + side * x1 * across) / e;
            most = std::max(most, LeastRoom(banjo, z, x1, y1, x2, y2));
        }
    }
    return most;
}

// Against that: a train said to mount has every constraint hold where its
// studs are reported, and a train with a position of clear room everywhere
// is said to mount. Trains of 12 to 61 teeth on a small banjo, so that each
// constraint decides some of them.
TEST(BanjoThreePairs, MountsWhereAndOnlyWhereSomePositionClearsEverything) {
    const Banjo banjo = Banjo2(100, 25, 85);
    std::uint32_t state = 12345;
    const auto teeth = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<std::int64_t>(12 + (state >> 16) % 50);
    };
    int mounted = 0;
    for (int i = 0; i < 400; ++i) {
        const std::array<std::int64_t, 6> g = {teeth(), teeth(), teeth(),
                                               teeth(), teeth(), teeth()};
        const Mounting mounting = MountThreePairs(banjo, g[0], g[1], g[2], g[3], g[4], g[5]);
        const std::array<double, 6> z = {double(g[0]), double(g[1]), double(g[2]),
                                         double(g[3]), double(g[4]), double(g[5])};
        SCOPED_TRACE(testing::Message() << g[0] << ":" << g[1] << ", " << g[2] << ":" << g[3]
                                        << ", " << g[4] << ":" << g[5]);
        if (mounting.mounts) {
            const StudPosition I1 = mounting.studs[0], I2 = mounting.studs[1];
            EXPECT_GE(LeastRoom(banjo, z, I1.x, I1.y, I2.x, I2.y), -1e-6);
        } else {
            EXPECT_LT(MostRoom(banjo, z), 1e-3) << "fails " << FailedName(mounting);
        }
        mounted += mounting.mounts;
    }
    EXPECT_GT(mounted, 20);
}

// S at (0, 100), meshes of 60 and 80 mm: the stud sits where a 60-80-100
// triangle has its right angle, at (48, 64).
TEST(BanjoTwoPairs, StudAtTheRightAngleOfAThreeFourFiveTriangle) {
    const Mounting mounting = MountTwoPairs(Banjo2(100, 0, 1000), 25, 35, 40, 40);
    ASSERT_EQ(mounting.studs.size(), 1u);
    EXPECT_DOUBLE_EQ(mounting.studs[0].x, 48.0);
    EXPECT_DOUBLE_EQ(mounting.studs[0].y, 64.0);
}

// At its reach, a straight banjo: the stud on S-L, a1 from S.
TEST(BanjoSimpleTrain, StudOnTheLineAtFullReach) {
    const Mounting mounting = MountSimple(Banjo2(100, 40, 60), 20, 30, 20);
    EXPECT_NEAR(mounting.studs[0].x, 0.0, 1e-6);
    EXPECT_DOUBLE_EQ(mounting.studs[0].y, 50.0);
}

// With one module, B-screw is B + K <= C + D and C-stud is C + K' <= A + B
// with K = 2 + 2(hub + margin - backlash) / m, K' the same with the stud's
// hub. Rows give modules and hubs for which K is whole.
TEST(BanjoTwoPairs, ScrewAndStudClearancesAreTheToothRule) {
    struct Row {
        double module, hub, margin, backlash;
        std::int64_t K;
    } rows[] = {
        {1.0, 3.0, 1.0, 0.0, 10},  {0.5, 3.0, 1.0, 0.0, 18}, {2.0, 3.0, 1.0, 0.0, 6},
        {1.25, 4.0, 1.0, 0.0, 10}, {1.0, 3.0, 1.0, 0.5, 9},  {4.0, 0.5, 0.5, 1.0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.module);
        Banjo banjo;
        banjo.module = row.module;
        banjo.distance = 1000.0;
        banjo.screwHub = row.hub;
        banjo.studHub = row.hub;
        banjo.margin = row.margin;
        banjo.backlash = row.backlash;
        EXPECT_EQ(ToothBoundsOf(banjo).bClearance, row.K);
        EXPECT_EQ(ToothBoundsOf(banjo).cClearance, row.K);
        // The gear passing a shaft against the mesh that holds the stud off it.
        for (std::int64_t gear = 20; gear <= 40; ++gear) {
            for (std::int64_t mesh = 30; mesh <= 60; ++mesh) {
                const Mounting onScrew = MountTwoPairs(banjo, 20, gear, 20, mesh - 20);
                ASSERT_EQ(Find(onScrew, "B-screw")->Holds(), gear + row.K <= mesh) << gear;
                const Mounting onStud = MountTwoPairs(banjo, mesh - 20, 20, gear, 20);
                ASSERT_EQ(Find(onStud, "C-stud")->Holds(), gear + row.K <= mesh) << gear;
            }
        }
    }
}

// Bounds in teeth never turn away a train that mounts: walk every train of
// small gears on an awkward banjo and compare.
TEST(BanjoTwoPairs, ToothBoundsHoldForEveryTrainThatMounts) {
    Banjo banjo;
    banjo.module = 1.5875; // 16 DP
    banjo.distance = 71.3;
    banjo.slotMin = 33.3;
    banjo.slotMax = 60.1;
    banjo.studHub = 4.7;
    banjo.screwHub = 6.35;
    banjo.margin = 0.8;
    banjo.backlash = 0.1;
    const ToothBounds bounds = ToothBoundsOf(banjo);
    int mounted = 0;
    for (std::int64_t A = 12; A <= 80; A += 3) {
        for (std::int64_t B = 12; B <= 80; B += 4) {
            for (std::int64_t C = 12; C <= 80; C += 3) {
                for (std::int64_t D = 12; D <= 80; D += 4) {
                    if (!MountTwoPairs(banjo, A, B, C, D).mounts) {
                        continue;
                    }
                    ++mounted;
                    const std::int64_t ab = A + B, cd = C + D;
                    ASSERT_TRUE(B + bounds.bClearance <= cd && C + bounds.cClearance <= ab &&
                                A <= bounds.maxA && D <= bounds.maxD && cd >= bounds.minMesh &&
                                cd <= bounds.maxMesh && ab + cd >= bounds.minSum &&
                                std::llabs(ab - cd) <= bounds.maxSumDifference)
                        << A << ":" << B << " " << C << ":" << D;
                }
            }
        }
    }
    EXPECT_GT(mounted, 100);
}

} // namespace

// On Banjo2(100, 40, 60) an idler z from A to D needs A + 2z + D >= 100 and
// 40 <= z + D <= 60.
TEST(BanjoCheckIdler, SmallestSpareGearThatMounts) {
    struct Row {
        const char* what;
        std::vector<std::int64_t> gears;
        std::int64_t A, D;
        std::optional<std::int64_t> idler;
    } rows[] = {
        {"25 falls short, 30 reaches", {20, 20, 25, 30, 40}, 20, 20, 30},
        {"both 20s are taken by A and D", {20, 20, 40, 25}, 20, 20, 40},
        {"A's own 30 does not count", {20, 30, 40}, 30, 20, 40},
        {"a second 30 does", {20, 30, 30, 40}, 30, 20, 30},
        {"nothing reaches", {20, 20, 25}, 20, 20, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const BanjoCheck check(Banjo2(100, 40, 60), row.gears);
        EXPECT_EQ(check.Idler(row.A, row.D), row.idler);
        EXPECT_EQ(check.Mounts(row.A, 99, 99, row.D), row.idler.has_value());
    }
}
