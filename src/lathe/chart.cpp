#include "lathe/chart.h"

#include "core/gearcalc.h"
#include "lathe/banjo.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

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
            chart.push_back({list->name, thread, desiredTpi, trains});
        }
    }
    return chart;
}
