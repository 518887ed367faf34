#include "core/gear_index.h"

#include <algorithm>
#include <utility>

GearClasses::GearClasses(const std::vector<std::int64_t>& gears)
    : n(static_cast<int>(std::min<std::size_t>(gears.size(), kMaxGears))) {
    int sizeCount[kMaxGears] = {};
    for (int i = 0; i < n; ++i) {
        G[i] = static_cast<double>(gears[i]);
        const int x = static_cast<int>(std::find(size, size + count, G[i]) - size);
        if (x == count) {
            size[count++] = G[i];
        }
        of[i] = static_cast<std::uint8_t>(x);
        ++sizeCount[x];
    }
    starts[0] = 0;
    for (int x = 0; x < count; ++x) {
        starts[x + 1] = starts[x] + sizeCount[x];
    }
    int filled[kMaxGears] = {};
    for (int i = 0; i < n; ++i) {
        members[starts[of[i]] + filled[of[i]]++] = static_cast<std::uint8_t>(i);
        const bool first = filled[of[i]] == 1;
        fewest[of[i]] = first ? gears[i] : std::min(fewest[of[i]], gears[i]);
        most[of[i]] = first ? gears[i] : std::max(most[of[i]], gears[i]);
    }
    for (int x = 0; x < count; ++x) {
        bySize[x] = static_cast<std::uint8_t>(x);
    }
    std::sort(bySize, bySize + count, [&](int x, int y) { return size[x] < size[y]; });
}

namespace {

struct SortablePair {
    std::uint64_t bits;
    std::uint16_t classes;
};

// Positive doubles order like their bit patterns read as unsigned integers.
// A least-significant-digit radix sort on the top 32 bits of those patterns
// (above the smallest one) takes four linear passes, where a comparison sort
// would cost more than the search; an insertion pass then orders the rare
// neighbours that only the lower bits tell apart.
void SortByBits(std::vector<SortablePair>& pairs) {
    if (pairs.empty()) {
        return;
    }
    const auto [lowest, highest] = std::minmax_element(
        pairs.begin(), pairs.end(),
        [](const SortablePair& x, const SortablePair& y) { return x.bits < y.bits; });
    const std::uint64_t base = lowest->bits;
    int drop = 0;
    while ((highest->bits - base) >> drop > 0xFFFFFFFFu) {
        ++drop;
    }
    const auto digit = [&](const SortablePair& pair, int pass) {
        return static_cast<std::size_t>(((pair.bits - base) >> (drop + 8 * pass)) & 0xFF);
    };
    std::size_t counts[4][256] = {};
    for (const SortablePair& pair : pairs) {
        for (int pass = 0; pass < 4; ++pass) {
            ++counts[pass][digit(pair, pass)];
        }
    }
    std::vector<SortablePair> buffer(pairs.size());
    for (int pass = 0; pass < 4; ++pass) {
        std::size_t start = 0;
        for (std::size_t& count : counts[pass]) {
            start += std::exchange(count, start);
        }
        for (const SortablePair& pair : pairs) {
            buffer[counts[pass][digit(pair, pass)]++] = pair;
        }
        pairs.swap(buffer);
    }
    for (std::size_t i = 1; i < pairs.size(); ++i) {
        for (std::size_t j = i; j > 0 && pairs[j].bits < pairs[j - 1].bits; --j) {
            std::swap(pairs[j], pairs[j - 1]);
        }
    }
}

} // namespace

QuotientIndex::QuotientIndex(const GearClasses& classes) {
    std::vector<SortablePair> sorted;
    for (int x = 0; x < classes.count; ++x) {
        const bool twoOfX = classes.starts[x + 1] - classes.starts[x] > 1;
        for (int y = 0; y < classes.count; ++y) {
            if (y != x || twoOfX) {
                sorted.push_back({BitsOf(classes.size[y] / classes.size[x]),
                                  static_cast<std::uint16_t>(x << 8 | y)});
            }
        }
    }
    SortByBits(sorted);
    pairs_.reserve(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i == 0 || sorted[i].bits != sorted[i - 1].bits) {
            values_.push_back(DoubleOf(sorted[i].bits));
            starts_.push_back(static_cast<std::uint32_t>(i));
        }
        pairs_.push_back(sorted[i].classes);
    }
    starts_.push_back(static_cast<std::uint32_t>(pairs_.size()));
    BuildGuide();
}

void QuotientIndex::BuildGuide() {
    if (values_.empty()) {
        return;
    }
    base_ = BitsOf(values_.front());
    const std::uint64_t span = BitsOf(values_.back()) - base_;
    while ((span >> shift_) >= values_.size()) {
        ++shift_;
    }
    guide_.resize(static_cast<std::size_t>(span >> shift_) + 1);
    std::size_t entry = 0;
    for (std::size_t bucket = 0; bucket < guide_.size(); ++bucket) {
        while (Bucket(values_[entry]) < bucket) {
            ++entry;
        }
        guide_[bucket] = static_cast<std::uint32_t>(entry);
    }
}
