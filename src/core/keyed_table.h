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

// A set of keys, small enough to stay in the cache: open addressing with
// linear probing, and removal by moving later keys of a probe run back.
class KeySet {
public:
    KeySet();
    bool Contains(std::uint32_t key) const {
        for (std::uint32_t at = Home(key);; at = (at + 1) & kMask) {
            if (keys_[at] == key) {
                return true;
            }
            if (keys_[at] == kFree) {
                return false;
            }
        }
    }
    void Insert(std::uint32_t key);
    void Erase(std::uint32_t key);

private:
    // Twice the most keys a table holds, so that probe runs stay short.
    static constexpr std::uint32_t kSize = 512;
    static constexpr std::uint32_t kMask = kSize - 1;
    // Never a key of a train.
    static constexpr std::uint32_t kFree = 0xFFFFFFFFU;
    static std::uint32_t Home(std::uint32_t key) { return (key * 0x9E3779B1U) >> 23; }

    std::uint32_t keys_[kSize];
};

// The best-trains table with the keys of each slot kept beside it, and in
// sets, so that a candidate is checked against every slot at once, and
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
    // The keys of the slots that hold a train, and of those that hold a
    // simple one; no two slots share a key.
    KeySet pairKeySet_;
    KeySet simpleKeySet_;
};

// Inline: the search asks this of nearly every candidate it tries.
inline bool KeyedTable::HoldsSameTrain(const TrainKeys& keys) const {
    return pairKeySet_.Contains(keys.pair) ||
           (keys.simple != kCandidateNotSimple && simpleKeySet_.Contains(keys.simple));
}
