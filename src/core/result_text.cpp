#include "core/result_text.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);
    return text;
}

double PercentError(double error, double desiredTpi) {
    return (error / desiredTpi) * 100.0;
}

std::string FormatResultLine(const GearTrain& train, double desiredTpi, ThreadType type) {
    const double percentError = PercentError(train.error, desiredTpi);
    const double shownThread = TpiToThread(type, train.thread);
    if (train.IsSimple()) {
        return FormatText("A = %" PRId64 ", B = ANY, C = --, D = %" PRId64
                          ", Thread =%7.3f, Error =%7.3f%%",
                          train.A, train.D, shownThread, percentError);
    }
    return FormatText("A = %" PRId64 ", B = %" PRId64 ", C = %" PRId64 ", D = %" PRId64
                      ", Thread =%7.3f, Error =%7.3f%%",
                      train.A, train.B, train.C, train.D, shownThread, percentError);
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

std::string FormatThreePairLine(const ThreePairTrain& train, double desiredTpi, ThreadType type) {
    return FormatText("A = %" PRId64 ", B = %" PRId64 ", C = %" PRId64 ", D = %" PRId64
                      ", E = %" PRId64 ", F = %" PRId64 ", Thread =%7.3f, Error =%7.3f%%",
                      train.A, train.B, train.C, train.D, train.E, train.F,
                      TpiToThread(type, train.thread), PercentError(train.error, desiredTpi));
}
