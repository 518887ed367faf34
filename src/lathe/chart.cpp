#include "lathe/chart.h"

#include "core/gearcalc.h"
#include "lathe/banjo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>

const char* UnitName(ThreadType type) {
    switch (type) {
    case ThreadType::Metric:
        return "mm";
    case ThreadType::DP:
        return "DP";
    case ThreadType::Modulus:
        return "module";
    case ThreadType::SAE:
        break;
    }
    return "tpi";
}

bool IsSimple(const ReportedTrain& train) {
    return !train.E && train.B == train.C;
}

std::vector<std::int64_t> GearsOfTrain(const ReportedTrain& train) {
    if (train.E && train.F) {
        return {train.A, train.B, train.C, train.D, *train.E, *train.F};
    }
    if (IsSimple(train)) {
        return {train.A, train.idler.value_or(train.B), train.D};
    }
    return {train.A, train.B, train.C, train.D};
}

std::string BText(const ReportedTrain& train) {
    if (train.idler) {
        return std::to_string(*train.idler);
    }
    return IsSimple(train) ? "ANY" : std::to_string(train.B);
}

void PlaceOnBanjo(std::vector<ReportedTrain>& trains, const FitRules& rules) {
    const auto* check = dynamic_cast<const BanjoCheck*>(rules.check);
    if (check == nullptr) {
        return;
    }
    const Banjo& banjo = check->Figures();
    for (ReportedTrain& train : trains) {
        if (train.E) {
            train.studs =
                MountThreePairs(banjo, train.A, train.B, train.C, train.D, *train.E, *train.F)
                    .studs;
        } else if (IsSimple(train)) {
            train.idler = check->Idler(train.A, train.D);
            train.studs = MountSimple(banjo, train.A, train.idler.value_or(train.B), train.D).studs;
        } else {
            train.studs = MountTwoPairs(banjo, train.A, train.B, train.C, train.D).studs;
        }
    }
}

double PercentError(const ReportedTrain& train, double desiredTpi) {
    return PercentError(train.error, desiredTpi);
}

std::string GearList(const std::vector<std::int64_t>& gears) {
    std::string text;
    for (std::int64_t teeth : gears) {
        text += (text.empty() ? "" : " ") + std::to_string(teeth);
    }
    return text;
}

std::string RulesText(const FitRules& rules) {
    std::string text;
    if (rules.clearance) {
        text += "clearance " + std::to_string(*rules.clearance) + " teeth; ";
    }
    if (rules.minimumSum) {
        text += "gears summing to at least " + std::to_string(*rules.minimumSum) + " teeth; ";
    }
    if (rules.spindleGear) {
        text += "spindle gear " + std::to_string(*rules.spindleGear) + "; ";
    }
    if (const auto* banjo = dynamic_cast<const BanjoCheck*>(rules.check)) {
        text += "banjo " + BanjoText(banjo->Figures()) + "; ";
    }
    return text.empty() ? "none" : text.substr(0, text.size() - 2);
}

std::string WantedText(const StandardThread& thread) {
    char text[64];
    std::snprintf(text, sizeof text, "%g %s", thread.value, UnitName(thread.type));
    return text;
}

ReportedTrain ReportedTrainOf(const GearTrain& train) {
    return {train.A,      train.B,      train.C,     train.D, std::nullopt,
            std::nullopt, train.thread, train.error, ""};
}

std::vector<ReportedTrain> ReportedTrainsOf(const std::vector<GearTrain>& table) {
    std::vector<ReportedTrain> trains;
    for (const GearTrain& train : table) {
        if (!train.IsEmpty()) {
            trains.push_back(ReportedTrainOf(train));
        }
    }
    return trains;
}

ReportedTrain ReportedTrainOf(const ThreePairTrain& train) {
    return {train.A, train.B, train.C, train.D, train.E, train.F, train.thread, train.error, ""};
}

std::vector<ReportedTrain> ReportedTrainsOf(const std::vector<ThreePairTrain>& trains) {
    std::vector<ReportedTrain> reported;
    for (const ThreePairTrain& train : trains) {
        reported.push_back(ReportedTrainOf(train));
    }
    return reported;
}

std::vector<ReportedTrain> BestOfBoth(const std::vector<ReportedTrain>& twoPairs,
                                      const std::vector<ReportedTrain>& threePairs, int show) {
    std::vector<ReportedTrain> best;
    // std::merge takes from the first range on equal keys.
    std::merge(twoPairs.begin(), twoPairs.end(), threePairs.begin(), threePairs.end(),
               std::back_inserter(best),
               [](const ReportedTrain& a, const ReportedTrain& b) { return a.error < b.error; });
    best.resize(std::min(best.size(), static_cast<std::size_t>(std::max(show, 0))));
    return best;
}

namespace {

int GearCount(const ReportedTrain& train) {
    if (train.E) {
        return 6;
    }
    return IsSimple(train) ? 3 : 4;
}

bool SamePair(std::int64_t a, std::int64_t b, std::int64_t x, std::int64_t y) {
    return (a == x && b == y) || (a == y && b == x);
}

// The same gears on the same roles, as the search tells trains apart: a
// simple train met after a compound of the same gears was dropped as a repeat.
bool SameGears(const ReportedTrain& simple, const ReportedTrain& other) {
    if (other.E) {
        return false;
    }
    if (IsSimple(other)) {
        return simple.A == other.A && simple.D == other.D;
    }
    return SamePair(simple.A, simple.C, other.A, other.C) &&
           SamePair(simple.B, simple.D, other.B, other.D);
}

struct SimpleSearch {
    double desiredTpi;
    double leadTpi;
    const std::vector<std::int64_t>& gears;
    const FitRules& rules;

    // What a from idler b to d cuts, by the search's own arithmetic.
    double Thread(int a, int b, int d) const {
        const double A = static_cast<double>(gears[a]);
        const double B = static_cast<double>(gears[b]);
        const double D = static_cast<double>(gears[d]);
        return ((B / A) * (D / B)) * leadTpi;
    }
    bool Fits(int a, int b, int d) const {
        return rules.Allows(gears[a], gears[b], gears[b], gears[d]);
    }
};

// The first idler, in list order, through which `a` and `d` cut with
// exactly `error`; -1 if none does.
int IdlerOfError(const SimpleSearch& search, int n, int a, int d, double error) {
    for (int b = 0; b < n; ++b) {
        if (b != a && b != d && search.Fits(a, b, d) &&
            std::fabs(search.desiredTpi - search.Thread(a, b, d)) == error) {
            return b;
        }
    }
    return -1;
}

// The simple train of exactly `error` the search meets first: gear a, idler
// b, gear d, the earliest in list order. Only the pairs (a, d) whose ratio
// comes near are tried through every idler.
std::optional<ReportedTrain> FirstSimpleTrainOfError(const SimpleSearch& search, double error) {
    const int n = static_cast<int>(std::min<std::size_t>(search.gears.size(), kMaxGears));
    const double nearEnough = error + 1e-9 * search.desiredTpi;
    for (int a = 0; a < n; ++a) {
        int first = -1;
        int firstIdler = n;
        for (int d = 0; d < n; ++d) {
            const double ratio =
                static_cast<double>(search.gears[d]) / static_cast<double>(search.gears[a]);
            if (d == a || !(std::fabs(search.desiredTpi - ratio * search.leadTpi) <= nearEnough)) {
                continue;
            }
            const int b = IdlerOfError(search, n, a, d, error);
            if (b >= 0 && b < firstIdler) {
                first = d;
                firstIdler = b;
            }
        }
        if (first >= 0) {
            const std::int64_t idler = search.gears[firstIdler];
            return ReportedTrain{search.gears[a],
                                 idler,
                                 idler,
                                 search.gears[first],
                                 std::nullopt,
                                 std::nullopt,
                                 search.Thread(a, firstIdler, first),
                                 error,
                                 ""};
        }
    }
    return std::nullopt;
}

// A search keeps the trains it meets first, and drops a simple train met after
// a compound of the same gears as a repeat: the simple train of the best error
// is brought in first, in place of its repeat or of the last train.
void BringInSimpleTrain(std::vector<ReportedTrain>& trains, const SimpleSearch& search, int show) {
    if (trains.empty() || trains.front().E) {
        return;
    }
    const double best = trains.front().error;
    for (const ReportedTrain& train : trains) {
        if (train.error == best && IsSimple(train)) {
            return;
        }
    }
    const std::optional<ReportedTrain> simple = FirstSimpleTrainOfError(search, best);
    if (!simple) {
        return;
    }
    const auto repeat = std::find_if(trains.begin(), trains.end(), [&](const ReportedTrain& train) {
        return SameGears(*simple, train);
    });
    if (repeat != trains.end()) {
        trains.erase(repeat);
    }
    trains.insert(trains.begin(), *simple);
    trains.resize(std::min(trains.size(), static_cast<std::size_t>(show)));
}

} // namespace

void SimplestFirst(std::vector<ReportedTrain>& trains) {
    std::stable_sort(
        trains.begin(), trains.end(), [](const ReportedTrain& x, const ReportedTrain& y) {
            return x.error < y.error || (x.error == y.error && GearCount(x) < GearCount(y));
        });
}

std::vector<ChartEntry> BuildChart(const std::vector<const ThreadList*>& lists, double leadTpi,
                                   const std::vector<std::int64_t>& gears, int show,
                                   const FitRules& rules, int pairs) {
    std::vector<ChartEntry> chart;
    for (const ThreadList* list : lists) {
        for (const StandardThread& thread : list->threads) {
            const double desiredTpi = ThreadToTpi(thread.type, thread.value);
            std::vector<ReportedTrain> trains =
                ReportedTrainsOf(SearchBestTrains(desiredTpi, leadTpi, gears, show, rules));
            if (pairs == 3) {
                trains = BestOfBoth(trains,
                                    ReportedTrainsOf(SearchBestThreePairTrains(desiredTpi, leadTpi,
                                                                               gears, show, rules)),
                                    show);
            }
            BringInSimpleTrain(trains, {desiredTpi, leadTpi, gears, rules}, show);
            SimplestFirst(trains);
            chart.push_back({list->name, thread, desiredTpi, trains});
        }
    }
    return chart;
}
