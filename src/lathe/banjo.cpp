#include "lathe/banjo.h"

#include "core/result_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// What rounding may cost a comparison; far below anything a lathe can show.
constexpr double kTolerance = 1e-6;

Constraint AtLeast(const char* name, double need, double have) {
    return {name, need, have, std::nullopt};
}

Constraint Within(const char* name, double low, double have, double high) {
    return {name, low, have, high};
}

// The slot's limits, or none: a banjo without a slot holds its stud anywhere.
Constraint Slot(const Banjo& banjo, double fromL) {
    return Within("slot", banjo.slotMin.value_or(0.0), fromL,
                  banjo.slotMax.value_or(std::numeric_limits<double>::infinity()));
}

template <std::size_t N> const Constraint* FirstFailing(const std::array<Constraint, N>& checks) {
    for (const Constraint& check : checks) {
        if (!check.Holds()) {
            return &check;
        }
    }
    return nullptr;
}

template <std::size_t N>
Mounting Judged(const std::array<Constraint, N>& checks, std::vector<StudPosition> studs) {
    Mounting mounting;
    mounting.studs = std::move(studs);
    if (const Constraint* failed = FirstFailing(checks)) {
        mounting.failed = *failed;
    }
    mounting.mounts = !mounting.failed;
    mounting.checks.assign(checks.begin(), checks.end());
    return mounting;
}

// The stud that meshes a1 from S and a2 from L, on the side x >= 0. When the
// meshes cannot meet, the nearest the stud can come: on the line S-L.
StudPosition StudBetween(double d, double a1, double a2) {
    const double y = (a2 * a2 - a1 * a1 + d * d) / (2.0 * d);
    const double x2 = a2 * a2 - y * y;
    return {x2 > 0.0 ? std::sqrt(x2) : 0.0, y};
}

double Distance(StudPosition p, StudPosition q) {
    return std::hypot(p.x - q.x, p.y - q.y);
}

// Three pairs: I1 is e from L and a1 from S, on the side x >= 0 (a train
// mounted the other way round is its mirror image); I2 is a3 from L and a2
// from I1, turned from I1 about L away from S (`branch` +1) or towards it.
// Every position of the linkage is one of these, or a mirror image.
struct Linkage {
    StudPosition first;
    StudPosition second;
};

Linkage LinkageAt(double d, double a1, double a2, double a3, double e, int branch) {
    e = std::max(e, 1e-12); // I1 on L itself: any direction serves
    const StudPosition first = StudBetween(d, a1, e);
    const double towardsFirst = std::atan2(first.x, first.y);
    const double cosine = std::clamp((e * e + a3 * a3 - a2 * a2) / (2.0 * e * a3), -1.0, 1.0);
    const double angle = towardsFirst + branch * std::acos(cosine);
    return {first, {a3 * std::sin(angle), a3 * std::cos(angle)}};
}

// Everything about a train of three pairs but where its studs are.
class ThreePairs {
public:
    ThreePairs(const Banjo& banjo, const std::array<std::int64_t, 6>& z)
        : banjo_(banjo), z_(z), a1_(CentreDistance(banjo, z[0], z[1])),
          a2_(CentreDistance(banjo, z[2], z[3])), a3_(CentreDistance(banjo, z[4], z[5])) {}

    // Where |I1 L| may lie for the linkage to close; empty when low > high.
    std::pair<double, double> Swing() const {
        const double d = banjo_.distance;
        return {std::max(std::fabs(d - a1_), std::fabs(a2_ - a3_)), std::min(d + a1_, a2_ + a3_)};
    }

    // The part of the swing where every constraint on |I1 L| holds: the
    // slot, B-F and C-screw.
    std::pair<double, double> Band() const {
        const auto [low, high] = Swing();
        const double margin = banjo_.margin;
        return {std::max({low, banjo_.slotMin.value_or(0.0), Tip(1) + Tip(5) + margin,
                          Tip(2) + banjo_.screwHub + margin}),
                std::min(high, banjo_.slotMax.value_or(high))};
    }

    // What the constraints on |S I2| ask: A-E and D-stud.
    double SecondFromS() const {
        return std::max(Tip(0) + Tip(4) + banjo_.margin, Tip(3) + banjo_.studHub + banjo_.margin);
    }

    double SecondReach() const { return std::min(banjo_.distance + a3_, a1_ + a2_); }

    Linkage At(double e, int branch) const {
        return LinkageAt(banjo_.distance, a1_, a2_, a3_, e, branch);
    }

    double SFrom(double e) const { return Distance({0.0, banjo_.distance}, At(e, 1).second); }

    // Those that hold or fail wherever the studs are.
    std::array<Constraint, 5> FixedChecks() const {
        const double margin = banjo_.margin;
        return {Slot(banjo_, a3_), AtLeast("B-E", Tip(1) + Tip(4) + margin, a2_),
                AtLeast("A-F", Tip(0) + Tip(5) + margin, banjo_.distance),
                AtLeast("C-stud", Tip(2) + banjo_.studHub + margin, a1_),
                AtLeast("D-screw", Tip(3) + banjo_.screwHub + margin, a3_)};
    }

    std::array<Constraint, 10> Checks(const Linkage& at) const {
        const StudPosition S{0.0, banjo_.distance};
        const double first = std::hypot(at.first.x, at.first.y);
        const double sToSecond = Distance(S, at.second);
        const double margin = banjo_.margin;
        return {Slot(banjo_, first),
                Slot(banjo_, a3_),
                AtLeast("B-E", Tip(1) + Tip(4) + margin, Distance(at.first, at.second)),
                AtLeast("B-F", Tip(1) + Tip(5) + margin, first),
                AtLeast("A-E", Tip(0) + Tip(4) + margin, sToSecond),
                AtLeast("A-F", Tip(0) + Tip(5) + margin, banjo_.distance),
                AtLeast("C-stud", Tip(2) + banjo_.studHub + margin, a1_),
                AtLeast("C-screw", Tip(2) + banjo_.screwHub + margin, first),
                AtLeast("D-stud", Tip(3) + banjo_.studHub + margin, sToSecond),
                AtLeast("D-screw", Tip(3) + banjo_.screwHub + margin, a3_)};
    }

    // The swing is not empty exactly when S and L are no nearer than the
    // linkage can fold and no farther than it stretches.
    Constraint Reach() const {
        const double folded = std::max(a3_ - a1_ - a2_, std::fabs(a1_ - a2_) - a3_);
        return Within("reach", folded, banjo_.distance, a1_ + a2_ + a3_);
    }

private:
    double Tip(int gear) const { return TipRadius(banjo_, z_[gear]); }

    const Banjo& banjo_;
    std::array<std::int64_t, 6> z_;
    double a1_, a2_, a3_;
};

// How good a position is: where every constraint holds, the least room any
// leaves, in mm; elsewhere the shortfalls added up, so that a train that
// cannot mount is shown where it fails least.
template <std::size_t N> double Room(const std::array<Constraint, N>& checks) {
    double least = std::numeric_limits<double>::infinity();
    double shortfall = 0.0;
    const auto add = [&](double room) {
        least = std::min(least, room);
        shortfall += std::min(room, 0.0);
    };
    for (const Constraint& check : checks) {
        add(check.have - check.need);
        if (check.needMax) {
            add(*check.needMax - check.have);
        }
    }
    return shortfall < 0.0 ? shortfall : least;
}

struct SwingPoint {
    double e;
    int branch;
    double room;
};

// The greatest value of `f` between `low` and `high`, and where, by golden
// section: `f` is taken to rise to one peak there and fall after it.
template <class Function>
std::pair<double, double> GoldenMaximum(const Function& f, double low, double high) {
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double x1 = high - ratio * (high - low);
    double x2 = low + ratio * (high - low);
    double f1 = f(x1);
    double f2 = f(x2);
    while (high - low > 1e-10) {
        if (f1 < f2) {
            low = x1;
            x1 = x2;
            f1 = f2;
            x2 = low + ratio * (high - low);
            f2 = f(x2);
        } else {
            high = x2;
            x2 = x1;
            f2 = f1;
            x1 = high - ratio * (high - low);
            f1 = f(x1);
        }
    }
    return f1 >= f2 ? std::make_pair(x1, f1) : std::make_pair(x2, f2);
}

// The most room between `low` and `high` on one branch, about a peak of the
// samples; the room is continuous along the swing.
SwingPoint Refine(const ThreePairs& train, double low, double high, int branch) {
    const auto room = [&](double e) { return Room(train.Checks(train.At(e, branch))); };
    const auto [e, most] = GoldenMaximum(room, low, high);
    return {e, branch, most};
}

constexpr int kSwingSamples = 128;

// The swing searched: |S I2| sampled evenly on both branches; every local
// peak of the room refined; the best position kept.
SwingPoint BestPosition(const ThreePairs& train) {
    const auto [low, high] = train.Swing();
    const double step = (high - low) / kSwingSamples;
    SwingPoint best{low, 1, -std::numeric_limits<double>::infinity()};
    for (const int branch : {1, -1}) {
        std::vector<double> rooms;
        for (int i = 0; i <= kSwingSamples; ++i) {
            rooms.push_back(Room(train.Checks(train.At(low + step * i, branch))));
        }
        for (int i = 0; i <= kSwingSamples; ++i) {
            const bool left = i == 0 || rooms[i] >= rooms[i - 1];
            const bool right = i == kSwingSamples || rooms[i] >= rooms[i + 1];
            // On a level stretch nothing is to be gained by refining.
            const bool level = (i == 0 || rooms[i] == rooms[i - 1]) &&
                               (i == kSwingSamples || rooms[i] == rooms[i + 1]);
            const bool peak = left && right && !level;
            if (rooms[i] > best.room) {
                best = {low + step * i, branch, rooms[i]};
            }
            if (!peak) {
                continue;
            }
            const double from = std::max(low, low + step * (i - 1));
            const double to = std::min(high, low + step * (i + 1));
            const SwingPoint point =
                step > 0.0 ? Refine(train, from, to, branch) : SwingPoint{low, branch, rooms[i]};
            if (point.room > best.room) {
                best = point;
            }
        }
    }
    return best;
}

// The constraint that fails at most samples of the swing, earlier named
// first on a tie.
std::size_t MostFailing(const ThreePairs& train) {
    const auto [low, high] = train.Swing();
    std::array<int, 10> failures{};
    for (const int branch : {1, -1}) {
        for (int i = 0; i <= kSwingSamples; ++i) {
            const auto checks =
                train.Checks(train.At(low + (high - low) * i / kSwingSamples, branch));
            for (std::size_t c = 0; c < checks.size(); ++c) {
                failures[c] += checks[c].Holds() ? 0 : 1;
            }
        }
    }
    return static_cast<std::size_t>(std::max_element(failures.begin(), failures.end()) -
                                    failures.begin());
}

// The largest whole number n with n <= bound, and the smallest with n >= bound,
// each loosened by a little more than the exact test tolerates, so that a bound
// never turns away what the exact test lets through.
std::int64_t Floor(double bound, double module) {
    const double loose = bound + 2.0 * kTolerance / module + 1e-6;
    if (!(loose < 9e18)) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return loose < -9e18 ? std::numeric_limits<std::int64_t>::min()
                         : static_cast<std::int64_t>(std::floor(loose));
}

std::int64_t Ceil(double bound, double module) {
    return -Floor(-bound, module);
}

std::array<Constraint, 5> SimpleChecks(const Banjo& banjo, std::int64_t A, std::int64_t B,
                                       std::int64_t D) {
    const double d = banjo.distance;
    const double a1 = CentreDistance(banjo, A, B);
    const double a2 = CentreDistance(banjo, B, D);
    const double m = banjo.margin;
    return {Within("reach", std::fabs(a1 - a2), d, a1 + a2), Slot(banjo, a2),
            AtLeast("A-D", TipRadius(banjo, A) + TipRadius(banjo, D) + m, d),
            AtLeast("A-screw", TipRadius(banjo, A) + banjo.screwHub + m, d),
            AtLeast("D-stud", TipRadius(banjo, D) + banjo.studHub + m, d)};
}

std::array<Constraint, 6> TwoPairChecks(const Banjo& banjo, std::int64_t A, std::int64_t B,
                                        std::int64_t C, std::int64_t D) {
    const double d = banjo.distance;
    const double a1 = CentreDistance(banjo, A, B);
    const double a2 = CentreDistance(banjo, C, D);
    const double m = banjo.margin;
    return {Within("reach", std::fabs(a1 - a2), d, a1 + a2),
            Slot(banjo, a2),
            AtLeast("B-screw", TipRadius(banjo, B) + banjo.screwHub + m, a2),
            AtLeast("C-stud", TipRadius(banjo, C) + banjo.studHub + m, a1),
            AtLeast("A-screw", TipRadius(banjo, A) + banjo.screwHub + m, d),
            AtLeast("D-stud", TipRadius(banjo, D) + banjo.studHub + m, d)};
}

// Where in the band I1 puts I2 at least `need` from S, or failing that
// farthest from it: sampled, then refined about the best sample.
double FarthestSecond(const ThreePairs& train, double low, double high, double need) {
    constexpr int kSamples = 64;
    const double step = (high - low) / kSamples;
    int best = 0;
    double farthest = -1.0;
    for (int i = 0; i <= kSamples; ++i) {
        const double s = train.SFrom(low + step * i);
        if (s >= need) {
            return low + step * i;
        }
        if (s > farthest) {
            farthest = s;
            best = i;
        }
    }
    if (!(step > 0.0)) {
        return low;
    }
    const auto [e, s] = GoldenMaximum([&](double x) { return train.SFrom(x); },
                                      std::max(low, low + step * (best - 1)),
                                      std::min(high, low + step * (best + 1)));
    return s > farthest ? e : low + step * best;
}

// A position where the train mounts, as |I1 L| with I2 on branch +1, if
// there is one. The constraints that move with the studs bound |I1 L| to a
// band and |S I2| from below, and for each |I1 L| branch +1 puts I2
// farther from S than branch -1 does; so the train mounts exactly when the
// farthest I2 over the band is far enough.
std::optional<double> MountingPosition(const ThreePairs& train) {
    if (FirstFailing(train.FixedChecks()) || !train.Reach().Holds()) {
        return std::nullopt;
    }
    const auto [low, high] = train.Band();
    if (low > high + kTolerance) {
        return std::nullopt;
    }
    const double need = train.SecondFromS();
    // I2 is never farther from S than the meshes from S to it reach.
    if (need > train.SecondReach() + kTolerance) {
        return std::nullopt;
    }
    const double e = FarthestSecond(train, low, std::max(low, high), need);
    if (FirstFailing(train.Checks(train.At(e, 1)))) {
        return std::nullopt;
    }
    return e;
}

} // namespace

bool Constraint::Holds() const {
    if (needMax) {
        return have >= need - kTolerance && have <= *needMax + kTolerance;
    }
    return need <= have + kTolerance;
}

double PitchRadius(const Banjo& banjo, std::int64_t teeth) {
    return banjo.module * static_cast<double>(teeth) / 2.0;
}

double TipRadius(const Banjo& banjo, std::int64_t teeth) {
    return PitchRadius(banjo, teeth) + banjo.module;
}

double CentreDistance(const Banjo& banjo, std::int64_t driving, std::int64_t driven) {
    return PitchRadius(banjo, driving) + PitchRadius(banjo, driven) + banjo.backlash;
}

Mounting MountSimple(const Banjo& banjo, std::int64_t A, std::int64_t B, std::int64_t D) {
    return Judged(
        SimpleChecks(banjo, A, B, D),
        {StudBetween(banjo.distance, CentreDistance(banjo, A, B), CentreDistance(banjo, B, D))});
}

Mounting MountTwoPairs(const Banjo& banjo, std::int64_t A, std::int64_t B, std::int64_t C,
                       std::int64_t D) {
    return Judged(
        TwoPairChecks(banjo, A, B, C, D),
        {StudBetween(banjo.distance, CentreDistance(banjo, A, B), CentreDistance(banjo, C, D))});
}

Mounting MountThreePairs(const Banjo& banjo, std::int64_t A, std::int64_t B, std::int64_t C,
                         std::int64_t D, std::int64_t E, std::int64_t F) {
    const ThreePairs train(banjo, {A, B, C, D, E, F});
    const Constraint reach = train.Reach();
    if (!reach.Holds()) {
        const auto [low, high] = train.Swing();
        // Drawn as near as it comes: I1 where the swing is narrowest.
        const Linkage near = train.At(std::clamp(banjo.distance, high, low), 1);
        Mounting mounting = Judged(train.Checks(near), {near.first, near.second});
        mounting.mounts = false;
        mounting.failed = reach;
        return mounting;
    }
    const SwingPoint best = BestPosition(train);
    Linkage at = train.At(best.e, best.branch);
    const std::optional<double> mounts = MountingPosition(train);
    if (mounts && FirstFailing(train.Checks(at))) {
        at = train.At(*mounts, 1);
    }
    Mounting mounting = Judged(train.Checks(at), {at.first, at.second});
    mounting.mounts = mounts.has_value();
    if (!mounts) {
        mounting.failed = mounting.checks[MostFailing(train)];
    }
    return mounting;
}

ToothBounds ToothBoundsOf(const Banjo& banjo) {
    const double m = banjo.module;
    const double j = banjo.backlash;
    const double d = banjo.distance;
    return {Ceil(2.0 + 2.0 * (banjo.screwHub + banjo.margin - j) / m, m),
            Ceil(2.0 + 2.0 * (banjo.studHub + banjo.margin - j) / m, m),
            Floor(2.0 * (d - banjo.screwHub - banjo.margin) / m - 2.0, m),
            Floor(2.0 * (d - banjo.studHub - banjo.margin) / m - 2.0, m),
            Ceil(2.0 * (banjo.slotMin.value_or(0.0) - j) / m, m),
            banjo.slotMax ? Floor(2.0 * (*banjo.slotMax - j) / m, m)
                          : std::numeric_limits<std::int64_t>::max(),
            Ceil(2.0 * (d - 2.0 * j) / m, m),
            Floor(2.0 * d / m, m)};
}

BanjoCheck::BanjoCheck(const Banjo& banjo, const std::vector<std::int64_t>& gears)
    : TrainCheck(ToothBoundsOf(banjo)), banjo_(banjo),
      threePairs_{Ceil(4.0 + 2.0 * (banjo.margin - banjo.backlash) / banjo.module, banjo.module),
                  Floor(2.0 * (banjo.distance - banjo.margin) / banjo.module - 4.0, banjo.module)} {
    const std::size_t n = std::min<std::size_t>(gears.size(), kMaxGears);
    for (std::size_t i = 0; i < n; ++i) {
        if (gears[i] > 0) {
            ++counts_[gears[i]];
        }
    }
}

bool BanjoCheck::Mounts(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const {
    if (B == C) {
        return Idler(A, D).has_value();
    }
    return !FirstFailing(TwoPairChecks(banjo_, A, B, C, D));
}

bool BanjoCheck::MayMountThreePairs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D,
                                    std::int64_t E, std::int64_t F) const {
    __extension__ using Wide = __int128;
    const Wide middle = Wide{C} + D;
    const Wide last = Wide{E} + F;
    return Wide{C} + bounds.cClearance <= Wide{A} + B && Wide{D} + bounds.bClearance <= last &&
           Wide{B} + E + threePairs_.beClearance <= middle && Wide{A} + F <= threePairs_.maxAF &&
           last >= bounds.minMesh && last <= bounds.maxMesh;
}

bool BanjoCheck::MountsThreePairs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D,
                                  std::int64_t E, std::int64_t F) const {
    return MayMountThreePairs(A, B, C, D, E, F) &&
           MountingPosition(ThreePairs(banjo_, {A, B, C, D, E, F})).has_value();
}

std::optional<std::int64_t> BanjoCheck::Idler(std::int64_t A, std::int64_t D) const {
    const auto known = idlers_.find({A, D});
    if (known != idlers_.end()) {
        return known->second;
    }
    std::optional<std::int64_t> idler;
    for (const auto& [teeth, count] : counts_) {
        const int spare = count - (teeth == A) - (teeth == D);
        if (spare > 0 && !FirstFailing(SimpleChecks(banjo_, A, teeth, D))) {
            idler = teeth;
            break;
        }
    }
    idlers_.emplace(std::make_pair(A, D), idler);
    return idler;
}

namespace {

constexpr double kLargestFigure = 1e6;

double Figure(const std::optional<double>& value, const char* field, bool zeroAllowed,
              double fallback) {
    if (!value) {
        return fallback;
    }
    // A kilometre bounds every figure of a lathe, and keeps every sum of
    // radii far from overflowing.
    if (!std::isfinite(*value) || *value < 0.0 || (!zeroAllowed && *value == 0.0) ||
        *value > kLargestFigure) {
        throw BanjoError(field, zeroAllowed ? "expected a number from 0 to 1000000"
                                            : "expected a number above 0, at most 1000000");
    }
    return *value;
}

} // namespace

Banjo MakeBanjo(const BanjoFigures& figures) {
    if (figures.module && figures.dp) {
        throw BanjoError("dp", "give module or dp, not both");
    }
    if (!figures.module && !figures.dp) {
        throw BanjoError("module", "needed (or dp)");
    }
    if (!figures.distance) {
        throw BanjoError("distance", "needed");
    }
    const double unit = figures.inches ? 25.4 : 1.0;
    Banjo banjo;
    if (figures.dp) {
        banjo.dp = Figure(figures.dp, "dp", false, 0.0);
        banjo.module = 25.4 / *banjo.dp;
    } else {
        banjo.module = Figure(figures.module, "module", false, 0.0);
    }
    banjo.distance = Figure(figures.distance, "distance", false, 0.0) * unit;
    if (figures.slotMin || figures.slotMax) {
        banjo.slotMin = Figure(figures.slotMin, "slot", false, 0.0) * unit;
        banjo.slotMax = Figure(figures.slotMax, "slot", false, 0.0) * unit;
        if (*banjo.slotMin > *banjo.slotMax) {
            throw BanjoError("slot", "its near end is beyond its far end");
        }
    }
    banjo.studHub = Figure(figures.studHub, "stud_hub", true, 0.0) * unit;
    banjo.screwHub = Figure(figures.screwHub, "screw_hub", true, 0.0) * unit;
    banjo.margin = Figure(figures.margin, "margin", true, 1.0 / unit) * unit;
    banjo.backlash = Figure(figures.backlash, "backlash", true, 0.0) * unit;
    banjo.inches = figures.inches;
    if (!std::isfinite(banjo.module) || !std::isfinite(banjo.distance)) {
        throw BanjoError(figures.dp ? "dp" : "distance", "out of range");
    }
    return banjo;
}

BanjoFigures FiguresOf(const Banjo& banjo) {
    BanjoFigures figures;
    if (banjo.dp) {
        figures.dp = banjo.dp;
    } else {
        figures.module = banjo.module;
    }
    figures.distance = banjo.distance;
    figures.slotMin = banjo.slotMin;
    figures.slotMax = banjo.slotMax;
    figures.studHub = banjo.studHub;
    figures.screwHub = banjo.screwHub;
    figures.margin = banjo.margin;
    figures.backlash = banjo.backlash;
    return figures;
}

std::string Millimetres(double length) {
    std::string shown = FormatText("%.2f", length);
    while (shown.back() == '0') {
        shown.pop_back();
    }
    if (shown.back() == '.') {
        shown.pop_back();
    }
    return shown == "-0" ? "0" : shown;
}

std::string BanjoText(const Banjo& banjo) {
    std::string text =
        banjo.dp ? "DP " + Millimetres(*banjo.dp) : "module " + Millimetres(banjo.module);
    text += ", S-L " + Millimetres(banjo.distance) + " mm";
    if (banjo.slotMin) {
        text += ", slot " + Millimetres(*banjo.slotMin) + "-" + Millimetres(*banjo.slotMax) + " mm";
    }
    text += ", hubs " + Millimetres(banjo.studHub) + " mm (stud) and " +
            Millimetres(banjo.screwHub) + " mm (screw), margin " + Millimetres(banjo.margin) +
            " mm";
    if (banjo.backlash != 0.0) {
        text += ", backlash " + Millimetres(banjo.backlash) + " mm";
    }
    return text;
}
