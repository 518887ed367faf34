#include "core/keyed_table.h"

#include <algorithm>
#include <utility>

void SortByError(std::vector<GearTrain>& table) {
    const std::size_t count = table.size();
    for (std::size_t i = 0; i + 1 < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            if (table[i].error > table[j].error) {
                std::swap(table[i], table[j]);
            }
        }
    }
}

KeyedTable::KeyedTable(int show) : slots_(static_cast<std::size_t>(std::min(show, kMaxTrains))) {
    std::fill(pairKeys_, pairKeys_ + kLeaves, kEmptySlotKey);
    std::fill(simpleKeys_, simpleKeys_ + kLeaves, kSlotNotSimple);
    std::fill(errors_, errors_ + kLeaves, -1.0);
    std::fill(errors_, errors_ + slots_.size(), kEmptyError);
    for (int leaf = 0; leaf < kLeaves; ++leaf) {
        winners_[kLeaves + leaf] = leaf;
    }
    for (int node = kLeaves - 1; node >= 1; --node) {
        const int left = winners_[2 * node];
        const int right = winners_[2 * node + 1];
        winners_[node] = errors_[right] > errors_[left] ? right : left;
    }
}

KeySet::KeySet() {
    std::fill(keys_, keys_ + kSize, kFree);
}

void KeySet::Insert(std::uint32_t key) {
    std::uint32_t at = Home(key);
    while (keys_[at] != kFree) {
        at = (at + 1) & kMask;
    }
    keys_[at] = key;
}

void KeySet::Erase(std::uint32_t key) {
    std::uint32_t hole = Home(key);
    while (keys_[hole] != key) {
        hole = (hole + 1) & kMask;
    }
    keys_[hole] = kFree;
    // A later key of the run moves into the hole unless its home lies
    // after the hole, up to where it sits.
    for (std::uint32_t at = (hole + 1) & kMask; keys_[at] != kFree; at = (at + 1) & kMask) {
        const std::uint32_t home = Home(keys_[at]);
        if (((at - home) & kMask) >= ((at - hole) & kMask)) {
            keys_[hole] = keys_[at];
            keys_[at] = kFree;
            hole = at;
        }
    }
}

void KeyedTable::Admit(const GearTrain& train, const TrainKeys& keys) {
    const int slot = winners_[1];
    if (pairKeys_[slot] != kEmptySlotKey) {
        pairKeySet_.Erase(pairKeys_[slot]);
    }
    if (simpleKeys_[slot] != kSlotNotSimple) {
        simpleKeySet_.Erase(simpleKeys_[slot]);
    }
    slots_[static_cast<std::size_t>(slot)] = train;
    pairKeys_[slot] = keys.pair;
    simpleKeys_[slot] = keys.simple == kCandidateNotSimple ? kSlotNotSimple : keys.simple;
    pairKeySet_.Insert(keys.pair);
    if (keys.simple != kCandidateNotSimple) {
        simpleKeySet_.Insert(keys.simple);
    }
    errors_[slot] = train.error;
    for (int node = (kLeaves + slot) / 2; node >= 1; node /= 2) {
        const int left = winners_[2 * node];
        const int right = winners_[2 * node + 1];
        winners_[node] = errors_[right] > errors_[left] ? right : left;
    }
}

std::vector<GearTrain> KeyedTable::Sorted() {
    SortByError(slots_);
    return slots_;
}
