// The fast search against the exhaustive one, on arbitrary gear lists,
// targets and table sizes: any difference in any bit aborts.
#include "gearcalc.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Kept small enough for the exhaustive search to answer in milliseconds.
constexpr int kMaxFuzzedGears = 24;

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool SameSlot(const GearTrain& x, const GearTrain& y) {
    return x.A == y.A && x.B == y.B && x.C == y.C && x.D == y.D &&
           Bits(x.thread) == Bits(y.thread) && Bits(x.error) == Bits(y.error);
}

std::int64_t ToothCount(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange(0, 15) == 0) {
        return input.ConsumeIntegral<std::int64_t>(); // zero, negative, beyond 2^53
    }
    return input.ConsumeIntegralInRange<std::int64_t>(1, 400);
}

// Either any double at all, or the thread of a train of the list, so that
// exact hits and ties at error 0 are common.
double Target(FuzzedDataProvider& input, const std::vector<std::int64_t>& gears, double leadTpi) {
    if (gears.size() < 4 || input.ConsumeBool()) {
        return input.ConsumeFloatingPoint<double>();
    }
    auto pick = [&] {
        return static_cast<double>(
            gears[input.ConsumeIntegralInRange<std::size_t>(0, gears.size() - 1)]);
    };
    const double a = pick(), b = pick(), c = pick(), d = pick();
    return ((b / a) * (d / c)) * leadTpi;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int show = input.ConsumeIntegralInRange(-1, kMaxTrains + 5);
    const double leadTpi = input.ConsumeBool() ? input.ConsumeFloatingPoint<double>()
                                               : input.ConsumeIntegralInRange(1, 32);
    std::vector<std::int64_t> gears(input.ConsumeIntegralInRange(0, kMaxFuzzedGears));
    for (std::int64_t& teeth : gears) {
        teeth = ToothCount(input);
    }
    const double desiredTpi = Target(input, gears, leadTpi);

    const auto fast = SearchBestTrains(desiredTpi, leadTpi, gears, show);
    const auto reference = SearchBestTrainsReference(desiredTpi, leadTpi, gears, show);
    if (fast.size() != reference.size()) {
        std::fprintf(stderr, "table sizes differ: %zu and %zu\n", fast.size(), reference.size());
        std::abort();
    }
    for (std::size_t i = 0; i < fast.size(); ++i) {
        if (!SameSlot(fast[i], reference[i])) {
            std::fprintf(stderr, "slot %zu differs\n", i);
            std::abort();
        }
    }
    return 0;
}
