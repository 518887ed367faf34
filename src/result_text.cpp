#include "result_text.h"

#include <cinttypes>
#include <cstdio>

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
