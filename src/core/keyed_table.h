// The table of the best trains found so far, as the two-pair search keeps
// it: each slot's train, its keys for the duplicate test, and the slot the
// next newcomer replaces.
#pragma once

#include "core/two_pair_search.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// A plain exchange sort on purpose: trains of equal error must end in the
// same order every time, and that order is this procedure's.
void SortByError(std::vector<GearTrain>& table);

// The duplicate test in class numbers: equal classes mean equal gear sizes,
// so comparing keys decides exactly what comparing the four doubles with
// every slot decides.
struct TrainKeys {
    // Drivers and driven gears each as an unordered pair of classes.
    std::uint32_t pair;
    // Classes of A and D for a train whose B and C are of one size.
    std::uint32_t simple;
};

// Never the key of a train, so never matched: a slot without a train, and the
// simple key of a slot and of a candidate that are not simple trains.
constexpr std::uint32_t kEmptySlotKey = 1u << 31;
constexpr std::uint32_t kSlotNotSimple = 1u << 30;
constexpr std::uint32_t kCandidateNotSimple = 1u << 29;

inline TrainKeys KeysOf(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    const std::uint32_t pair =
        std::min(a, c) | std::max(a, c) << 7 | std::min(b, d) << 14 | std::max(b, d) << 21;
    return {pair, b == c ? (a | d << 7) : kCandidateNotSimple};
}

// The best-trains table with the keys of each slot kept beside it, so that a
// candidate is checked against every slot in a few vector instructions, and
// a tournament over the errors: each inner node holds the slot with the
// larger error of its two children, the lower index winning ties, so the
// root is the threshold's slot, the one the next newcomer replaces.
class KeyedTable {
public:
    explicit KeyedTable(int show);

    double Threshold() const { return errors_[winners_[1]]; }
    bool Full() const { return Threshold() < kEmptyError; }
    bool HoldsSameTrain(const TrainKeys& keys) const;
    void Admit(const GearTrain& train, const TrainKeys& keys);
    std::vector<GearTrain> Sorted();

private:
    // A power of two at least kMaxTrains; slots beyond the table hold an
    // error below any real one and keys that never match.
    static constexpr int kLeaves = 128;
    static_assert(kLeaves >= kMaxTrains);

    std::vector<GearTrain> slots_;
    std::uint32_t pairKeys_[kLeaves];
    std::uint32_t simpleKeys_[kLeaves];
    double errors_[kLeaves];
    int winners_[2 * kLeaves];
};

// Inline: the search asks this of nearly every candidate it tries.
inline bool KeyedTable::HoldsSameTrain(const TrainKeys& keys) const {
    // Counting rather than or-ing into a bool lets the compiler vectorize.
    int matches = 0;
    for (int slot = 0; slot < kLeaves; ++slot) {
        matches += (pairKeys_[slot] == keys.pair) + (simpleKeys_[slot] == keys.simple);
    }
    return matches != 0;
}
