// The fast searches against the exhaustive ones on arbitrary gear lists,
// targets, table sizes and fit rules: any differing bit aborts.
#include "core/gearcalc.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

template <class Train>
void AbortUnlessSame(const std::vector<Train>& fast, const std::vector<Train>& reference) {
    // Every field is 8 bytes, so no padding: equal bytes are equal trains.
    if (fast.size() != reference.size() ||
        (!fast.empty() &&
         std::memcmp(fast.data(), reference.data(), sizeof(Train) * fast.size()))) {
        std::abort();
    }
}

std::optional<std::int64_t> MaybeTeeth(FuzzedDataProvider& input) {
    const auto teeth = input.ConsumeIntegralInRange<std::int64_t>(-20, 700);
    return input.ConsumeBool() ? std::optional(teeth) : std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int pairs = input.ConsumeBool() ? 3 : 2;
    const int show = input.ConsumeIntegralInRange(-1, kMaxTrains + 5);
    const FitRules rules{MaybeTeeth(input), MaybeTeeth(input), MaybeTeeth(input)};
    const double leadTpi = input.ConsumeBool() ? input.ConsumeFloatingPoint<double>()
                                               : input.ConsumeIntegralInRange(1, 32);
    // Few enough gears for the exhaustive searches to answer in milliseconds.
    std::vector<std::int64_t> gears(input.ConsumeIntegralInRange(0, pairs == 3 ? 12 : 24));
    for (std::int64_t& teeth : gears) {
        teeth = input.ConsumeIntegralInRange(0, 15) == 0 // zero, negative, beyond 2^53
                    ? input.ConsumeIntegral<std::int64_t>()
                    : input.ConsumeIntegralInRange<std::int64_t>(1, 400);
    }
    // Any double at all, or a thread that gears of the list cut, so that
    // exact hits and ties are common.
    const auto pick = [&] {
        return static_cast<double>(
            gears[input.ConsumeIntegralInRange<std::size_t>(0, gears.size() - 1)]);
    };
    double ratio = 1.0;
    for (int pair = 0; pair < pairs && !gears.empty(); ++pair) {
        ratio *= pick() / pick();
    }
    const double desiredTpi =
        input.ConsumeBool() ? input.ConsumeFloatingPoint<double>() : ratio * leadTpi;
    if (pairs == 3) {
        AbortUnlessSame(
            SearchBestThreePairTrains(desiredTpi, leadTpi, gears, show, rules),
            SearchBestThreePairTrainsReference(desiredTpi, leadTpi, gears, show, rules));
    } else {
        AbortUnlessSame(SearchBestTrains(desiredTpi, leadTpi, gears, show, rules),
                        SearchBestTrainsReference(desiredTpi, leadTpi, gears, show, rules));
    }
    return 0;
}
