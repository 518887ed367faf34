#include "gearcalc.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kPi = 3.141592653589793;

// Same train as the slot: drivers swapped, driven gears swapped, or both; or
// two simple trains from the same A to the same D through any idler.
bool SameTrain(const GearTrain& slot, double a, double b, double c, double d) {
    const double A = static_cast<double>(slot.A);
    const double B = static_cast<double>(slot.B);
    const double C = static_cast<double>(slot.C);
    const double D = static_cast<double>(slot.D);
    const bool driversMatch = (a == A && c == C) || (a == C && c == A);
    const bool drivenMatch = (b == B && d == D) || (b == D && d == B);
    if (driversMatch && drivenMatch) {
        return true;
    }
    return a == A && d == D && b == c && B == C;
}

bool MatchesAnySlot(const std::vector<GearTrain>& table, double a, double b, double c, double d) {
    return std::any_of(table.begin(), table.end(),
                       [&](const GearTrain& slot) { return SameTrain(slot, a, b, c, d); });
}

double WorstError(const std::vector<GearTrain>& table) {
    double worst = 0.0;
    for (const GearTrain& slot : table) {
        if (slot.error > worst) {
            worst = slot.error;
        }
    }
    return worst;
}

// The lowest-index slot holding the worst error takes the newcomer.
void ReplaceWorst(std::vector<GearTrain>& table, double threshold, const GearTrain& newcomer) {
    for (GearTrain& slot : table) {
        if (slot.error == threshold) {
            slot = newcomer;
            return;
        }
    }
}

// A plain exchange sort on purpose: trains of equal error must end in the
// same order every time, and that order is this procedure's.
void SortByError(std::vector<GearTrain>& table) {
    const std::size_t count = table.size();
    for (std::size_t i = 0; i + 1 < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            if (table[i].error > table[j].error) {
                std::swap(table[i], table[j]);
            }
        }
    }
}

} // namespace

double ThreadToTpi(ThreadType type, double value) {
    switch (type) {
    case ThreadType::Metric:
        return kMillimetresPerInch / value;
    case ThreadType::DP:
        return value / kPi;
    case ThreadType::Modulus:
        return (kMillimetresPerInch / value) / kPi;
    case ThreadType::SAE:
        break;
    }
    return value;
}

double LeadScrewToTpi(LeadScrewUnit unit, double value) {
    return unit == LeadScrewUnit::MM ? kMillimetresPerInch / value : value;
}

double TpiToThread(ThreadType type, double tpi) {
    switch (type) {
    case ThreadType::Metric:
        return kMillimetresPerInch / tpi;
    case ThreadType::DP:
        return tpi * kPi;
    case ThreadType::Modulus:
        return (kMillimetresPerInch / tpi) / kPi;
    case ThreadType::SAE:
        break;
    }
    return tpi;
}

std::vector<GearTrain> SearchBestTrains(double desiredTpi, double leadTpi,
                                        const std::vector<std::int64_t>& gears, int show) {
    if (show <= 0) {
        return {};
    }
    std::vector<GearTrain> table(static_cast<std::size_t>(std::min(show, kMaxTrains)));
    const int n = static_cast<int>(std::min<std::size_t>(gears.size(), kMaxGears));
    double G[kMaxGears];
    for (int i = 0; i < n; ++i) {
        G[i] = static_cast<double>(gears[i]);
    }

    double threshold = kEmptyError;
    for (int a = 0; a < n; ++a) {
        for (int b = 0; b < n; ++b) {
            if (b == a) {
                continue;
            }
            for (int c = 0; c < n; ++c) {
                if (c == a) {
                    continue;
                }
                for (int d = 0; d < n; ++d) {
                    if (d == a || d == b || d == c) {
                        continue;
                    }
                    const double thread = ((G[b] / G[a]) * (G[d] / G[c])) * leadTpi;
                    const double error = std::fabs(desiredTpi - thread);
                    if (!(error < threshold)) {
                        continue;
                    }
                    if (MatchesAnySlot(table, G[a], G[b], G[c], G[d])) {
                        continue;
                    }
                    ReplaceWorst(table, threshold,
                                 GearTrain{gears[a], gears[b], gears[c], gears[d], thread, error});
                    threshold = WorstError(table);
                }
            }
        }
    }
    SortByError(table);
    return table;
}

std::string FormatResultLine(const GearTrain& train, double desiredTpi, ThreadType type) {
    const double percentError = (train.error / desiredTpi) * 100.0;
    const double shownThread = TpiToThread(type, train.thread);
    char line[256];
    if (train.IsSimple()) {
        std::snprintf(line, sizeof line,
                      "A = %" PRId64 ", B = ANY, C = --, D = %" PRId64
                      ", Thread =%7.3f, Error =%7.3f%%",
                      train.A, train.D, shownThread, percentError);
    } else {
        std::snprintf(line, sizeof line,
                      "A = %" PRId64 ", B = %" PRId64 ", C = %" PRId64 ", D = %" PRId64
                      ", Thread =%7.3f, Error =%7.3f%%",
                      train.A, train.B, train.C, train.D, shownThread, percentError);
    }
    return line;
}

std::vector<std::string> FormatResultLines(const std::vector<GearTrain>& table, double desiredTpi,
                                           ThreadType type) {
    std::vector<std::string> lines;
    for (const GearTrain& train : table) {
        if (!train.IsEmpty()) {
            lines.push_back(FormatResultLine(train, desiredTpi, type));
        }
    }
    return lines;
}

bool IsUsableMeasure(double value) {
    return std::isfinite(value) && value > 0.0;
}

bool ParseMeasure(const std::string& text, double* value) {
    if (text.find('\0') != std::string::npos) {
        return false;
    }
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(start, &end);
    if (end == start || *end != '\0' || errno == ERANGE) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseWholeNumber(const std::string& text, long* value) {
    if (text.find('\0') != std::string::npos) {
        return false;
    }
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(start, &end, 10);
    if (end == start || *end != '\0' || errno == ERANGE) {
        return false;
    }
    *value = parsed;
    return true;
}
