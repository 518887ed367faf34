#include "core/parsing.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

std::size_t CountDigits(const std::string& text, std::size_t* at) {
    const std::size_t start = *at;
    while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') {
        ++*at;
    }
    return *at - start;
}

} // namespace

bool IsPlainDecimal(const std::string& text) {
    std::size_t at = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    std::size_t digits = CountDigits(text, &at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += CountDigits(text, &at);
    }
    if (digits == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        at += at < text.size() && (text[at] == '-' || text[at] == '+') ? 1 : 0;
        if (CountDigits(text, &at) == 0) {
            return false;
        }
    }
    return at == text.size();
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

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

std::string RoundTripText(double value) {
    char text[32];
    for (int digits = 6;; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value || digits == 17) {
            return text;
        }
    }
}
