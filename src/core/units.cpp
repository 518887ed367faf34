#include "core/units.h"

#include <cmath>

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kPi = 3.141592653589793;

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

bool IsUsableMeasure(double value) {
    return std::isfinite(value) && value > 0.0;
}
