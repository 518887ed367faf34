// What the two-pair search knows of the gear list before it tries a single
// train: the gears grouped into classes of equal size, and every quotient of
// two classes sorted, so the quotients that can cut a thread near the wanted
// one are found by lookup rather than by trying them all.
#pragma once

#include "core/two_pair_search.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// Positive doubles order like their bit patterns read as unsigned integers.
inline std::uint64_t BitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline double DoubleOf(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The gear list as the search sees it: the doubles G, and their classes,
// where positions holding equal gears form one class. Quadruples of positions
// with the same classes are the same four doubles to the search, so most of
// the work can be done once per class.
struct GearClasses {
    explicit GearClasses(const std::vector<std::int64_t>& gears);

    int n = 0;
    double G[kMaxGears];
    int count = 0;
    double size[kMaxGears];
    std::uint8_t of[kMaxGears];
    // The positions of class x, ascending, are members[starts[x]..starts[x+1]).
    std::uint8_t members[kMaxGears];
    int starts[kMaxGears + 1];
    // The tooth counts a class spans: one, unless gears beyond what a double
    // holds exactly round to one size.
    std::int64_t fewest[kMaxGears];
    std::int64_t most[kMaxGears];
    // The classes by size, ascending.
    std::uint8_t bySize[kMaxGears];
};

// The quotients size[y] / size[x] of every ordered pair of classes that two
// distinct positions can fill, sorted once per search. Class pairs with
// bit-identical quotients share one entry, since they cut bit-identical
// threads with any first pair.
class QuotientIndex {
public:
    explicit QuotientIndex(const GearClasses& classes);

    const std::vector<double>& Values() const { return values_; }
    // The class pairs of entries first..last-1, each packed as x << 8 | y.
    const std::uint16_t* PairsBegin(std::size_t first) const {
        return pairs_.data() + starts_[first];
    }
    const std::uint16_t* PairsEnd(std::size_t last) const { return pairs_.data() + starts_[last]; }
    // The first entry not below `value`.
    std::size_t LowerBound(double value) const;

private:
    std::size_t Bucket(double value) const {
        return static_cast<std::size_t>((BitsOf(value) - base_) >> shift_);
    }
    void BuildGuide();

    std::vector<double> values_;
    std::vector<std::uint32_t> starts_;
    std::vector<std::uint16_t> pairs_;
    // Buckets of equal width in bit patterns, each pointing at its first
    // entry, so that a lookup is one load and a step or two instead of a
    // bisection.
    std::vector<std::uint32_t> guide_;
    std::uint64_t base_ = 0;
    int shift_ = 0;
};

// Inline: the search looks up once for every first pair it tries.
inline std::size_t QuotientIndex::LowerBound(double value) const {
    if (values_.empty() || !(value > values_.front())) {
        return 0;
    }
    if (value > values_.back()) {
        return values_.size();
    }
    std::size_t entry = guide_[Bucket(value)];
    while (values_[entry] < value) {
        ++entry;
    }
    return entry;
}
