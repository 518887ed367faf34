#include "two_pair_search.h"

#include "units.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Same train as the slot: drivers swapped, driven gears swapped, or both; or
// two simple trains from the same A to the same D through any idler.
bool SameTrain(const GearTrain& slot, double a, double b, double c, double d) {
    const double A = static_cast<double>(slot.A);
    const double B = static_cast<double>(slot.B);
    const double C = static_cast<double>(slot.C);
    const double D = static_cast<double>(slot.D);
    const bool driversMatch = (a == A && c == C) || (a == C && c == A);
    const bool drivenMatch = (b == B && d == D) || (b == D && d == B);
    if (driversMatch && drivenMatch) {
        return true;
    }
    return a == A && d == D && b == c && B == C;
}

bool MatchesAnySlot(const std::vector<GearTrain>& table, double a, double b, double c, double d) {
    return std::any_of(table.begin(), table.end(),
                       [&](const GearTrain& slot) { return SameTrain(slot, a, b, c, d); });
}

double WorstError(const std::vector<GearTrain>& table) {
    double worst = 0.0;
    for (const GearTrain& slot : table) {
        if (slot.error > worst) {
            worst = slot.error;
        }
    }
    return worst;
}

// The lowest-index slot holding the worst error takes the newcomer.
void ReplaceWorst(std::vector<GearTrain>& table, double threshold, const GearTrain& newcomer) {
    for (GearTrain& slot : table) {
        if (slot.error == threshold) {
            slot = newcomer;
            return;
        }
    }
}

// A plain exchange sort on purpose: trains of equal error must end in the
// same order every time, and that order is this procedure's.
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

std::uint64_t BitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double DoubleOf(std::uint64_t bits) {
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
};

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
    }
}

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

std::size_t QuotientIndex::LowerBound(double value) const {
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

TrainKeys KeysOf(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
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

bool KeyedTable::HoldsSameTrain(const TrainKeys& keys) const {
    // Counting rather than or-ing into a bool lets the compiler vectorize.
    int matches = 0;
    for (int slot = 0; slot < kLeaves; ++slot) {
        matches += (pairKeys_[slot] == keys.pair) + (simpleKeys_[slot] == keys.simple);
    }
    return matches != 0;
}

void KeyedTable::Admit(const GearTrain& train, const TrainKeys& keys) {
    const int slot = winners_[1];
    slots_[static_cast<std::size_t>(slot)] = train;
    pairKeys_[slot] = keys.pair;
    simpleKeys_[slot] = keys.simple == kCandidateNotSimple ? kSlotNotSimple : keys.simple;
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

// What became of the last quadruple tried with given classes (a, b, c, d),
// which every other quadruple with those classes shares: such a quadruple
// cuts the same thread and matches the same slots. It is certainly rejected
// - for ever, once one was admitted: while that train is kept it matches,
//   and when it is evicted the threshold falls to its error or below;
// - as long as no slot has been evicted, once one matched a kept train.
// A lossy cache: a forgotten entry only means the quadruple is tried again.
class RepeatMemo {
public:
    RepeatMemo() : entries_(kSize) {}

    bool Rejects(std::uint32_t classes, std::uint32_t evictions) const {
        const Entry& entry = entries_[Slot(classes)];
        return entry.tag == classes + 1 && (entry.stamp == kForever || entry.stamp == evictions);
    }
    void RememberAdmitted(std::uint32_t classes) {
        entries_[Slot(classes)] = {classes + 1, kForever};
    }
    void RememberMatched(std::uint32_t classes, std::uint32_t evictions) {
        entries_[Slot(classes)] = {classes + 1, evictions};
    }

private:
    struct Entry {
        std::uint32_t tag;
        std::uint32_t stamp;
    };
    static constexpr std::size_t kSize = 1 << 14;
    static constexpr std::uint32_t kForever = 0xFFFFFFFF;

    static std::size_t Slot(std::uint32_t classes) {
        return static_cast<std::size_t>((classes * 0x9E3779B1u) >> 18);
    }

    std::vector<Entry> entries_;
};

// The exhaustive loop with every quadruple skipped that provably cannot enter
// the table at its turn; those that might are tried in enumeration order with
// the very same arithmetic, so the table ends bit for bit the same.
//
// It rests on these facts, which need positive gears and a positive, finite
// desired thread and lead screw:
// - The threshold never rises: a newcomer replaces a slot holding the largest
//   error with a smaller one. A quadruple not below the threshold at the start
//   of its (a, b) block is therefore rejected at its turn.
// - For a fixed first pair (a, b), T = (ratio * quotient) * lead is a
//   non-decreasing function of quotient = G[d] / G[c], because rounding is
//   monotonic and every factor is positive; the error |desired - T| is below
//   the threshold for one run of the sorted quotients.
// - Quadruples with equal classes share their fate (see RepeatMemo). Within a
//   block, until a slot is evicted, only the first quadruple of each class
//   pair (c, d) needs trying; after an eviction every one is tried.
class FastSearch {
public:
    FastSearch(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears, int show,
               const FitRules& rules);

    std::vector<GearTrain> Run();

private:
    struct Block {
        int a;
        int b;
        double ratio;
        std::size_t first;
        std::size_t last;
    };

    void SearchBlock(int a, int b);
    void FindAdmissibleRun(Block& block) const;
    int FirstPositionPair(const Block& block, int x, int y) const;
    void TryFirstOfEachClassPair(const Block& block);
    void TryEveryPairAfter(const Block& block, int after);
    void TryEveryPairInOrder(const Block& block);
    bool Consider(const Block& block, int c, int d);

    double desired_;
    double lead_;
    const std::vector<std::int64_t>& gears_;
    const FitRules& rules_;
    GearClasses classes_;
    int n_;
    const double* G_;
    QuotientIndex index_;
    // Packed as c << 8 | d: the first pair of each class pair in a block, and
    // every pair after an eviction.
    std::vector<std::uint32_t> candidates_;
    std::vector<std::uint32_t> laterCandidates_;
    KeyedTable table_;
    RepeatMemo memo_;
    std::uint32_t evictions_ = 0;
};

FastSearch::FastSearch(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears,
                       int show, const FitRules& rules)
    : desired_(desiredTpi), lead_(leadTpi), gears_(gears), rules_(rules), classes_(gears),
      n_(classes_.n), G_(classes_.G), index_(classes_), table_(show) {
    candidates_.reserve(static_cast<std::size_t>(n_ * n_));
    laterCandidates_.reserve(static_cast<std::size_t>(n_ * n_));
}

std::vector<GearTrain> FastSearch::Run() {
    // Once every kept train is exact, nothing can get below the threshold.
    for (int a = 0; a < n_ && table_.Threshold() > 0.0; ++a) {
        if (rules_.spindleGear && gears_[a] != *rules_.spindleGear) {
            continue;
        }
        for (int b = 0; b < n_ && table_.Threshold() > 0.0; ++b) {
            if (b != a) {
                SearchBlock(a, b);
            }
        }
    }
    return table_.Sorted();
}

void FastSearch::SearchBlock(int a, int b) {
    Block block{a, b, G_[b] / G_[a], 0, 0};
    FindAdmissibleRun(block);
    if (block.first == block.last) {
        return;
    }
    // A wide run, as while the table fills, is cheaper to walk in
    // enumeration order than to gather and sort.
    const auto classPairs = index_.PairsEnd(block.last) - index_.PairsBegin(block.first);
    if (classPairs * 8 > n_ * n_) {
        TryEveryPairInOrder(block);
        return;
    }
    TryFirstOfEachClassPair(block);
}

void FastSearch::FindAdmissibleRun(Block& block) const {
    const std::vector<double>& values = index_.Values();
    const double threshold = table_.Threshold();
    const auto deviation = [&](std::size_t entry) {
        return desired_ - (block.ratio * values[entry]) * lead_;
    };
    // Start near the boundary, then settle it with the exact arithmetic.
    std::size_t first = index_.LowerBound((desired_ - threshold) / (block.ratio * lead_));
    while (first > 0 && deviation(first - 1) < threshold) {
        --first;
    }
    while (first < values.size() && !(deviation(first) < threshold)) {
        ++first;
    }
    std::size_t last = first;
    while (last < values.size() && deviation(last) > -threshold) {
        ++last;
    }
    block.first = first;
    block.last = last;
}

// The first (c, d) in enumeration order with c of class x and d of class y
// that the position rules allow beside a and b, packed as c << 8 | d; -1 if
// there is none.
int FastSearch::FirstPositionPair(const Block& block, int x, int y) const {
    const std::uint8_t* const members = classes_.members;
    for (int i = classes_.starts[x]; i < classes_.starts[x + 1]; ++i) {
        const int c = members[i];
        if (c == block.a) {
            continue;
        }
        for (int j = classes_.starts[y]; j < classes_.starts[y + 1]; ++j) {
            const int d = members[j];
            if (d != block.a && d != block.b && d != c) {
                return c << 8 | d;
            }
        }
    }
    return -1;
}

void FastSearch::TryFirstOfEachClassPair(const Block& block) {
    candidates_.clear();
    for (auto pair = index_.PairsBegin(block.first); pair != index_.PairsEnd(block.last); ++pair) {
        const int first = FirstPositionPair(block, *pair >> 8, *pair & 0xFF);
        if (first >= 0) {
            candidates_.push_back(static_cast<std::uint32_t>(first));
        }
    }
    std::sort(candidates_.begin(), candidates_.end());
    for (const std::uint32_t key : candidates_) {
        if (Consider(block, static_cast<int>(key >> 8), static_cast<int>(key & 0xFF))) {
            TryEveryPairAfter(block, static_cast<int>(key));
            return;
        }
    }
}

// After an eviction, later quadruples of the block may enter although an
// earlier one of the same classes did not, so each is tried at its turn.
void FastSearch::TryEveryPairAfter(const Block& block, int after) {
    std::vector<std::uint32_t>& rest = laterCandidates_;
    rest.clear();
    const std::uint8_t* const members = classes_.members;
    for (auto pair = index_.PairsBegin(block.first); pair != index_.PairsEnd(block.last); ++pair) {
        const int x = *pair >> 8;
        const int y = *pair & 0xFF;
        for (int i = classes_.starts[x]; i < classes_.starts[x + 1]; ++i) {
            for (int j = classes_.starts[y]; j < classes_.starts[y + 1]; ++j) {
                const int c = members[i];
                const int d = members[j];
                const int key = c << 8 | d;
                if (key > after && c != block.a && d != block.a && d != block.b && d != c) {
                    rest.push_back(static_cast<std::uint32_t>(key));
                }
            }
        }
    }
    std::sort(rest.begin(), rest.end());
    for (const std::uint32_t key : rest) {
        Consider(block, static_cast<int>(key >> 8), static_cast<int>(key & 0xFF));
    }
}

void FastSearch::TryEveryPairInOrder(const Block& block) {
    const std::vector<double>& values = index_.Values();
    const double lowest = values[block.first];
    const double highest = values[block.last - 1];
    for (int c = 0; c < n_; ++c) {
        for (int d = 0; d < n_; ++d) {
            const double quotient = G_[d] / G_[c];
            if (c != block.a && d != block.a && d != block.b && d != c && quotient >= lowest &&
                quotient <= highest) {
                Consider(block, c, d);
            }
        }
    }
}

// One quadruple at its turn, judged exactly as the exhaustive loop judges it.
// Returns whether it evicted a kept train. Whether a train fits depends on
// tooth counts only, so the first quadruple of a class pair speaks for all.
bool FastSearch::Consider(const Block& block, int c, int d) {
    if (!rules_.Allows(gears_[block.a], gears_[block.b], gears_[c], gears_[d])) {
        return false;
    }
    const double thread = (block.ratio * (G_[d] / G_[c])) * lead_;
    const double error = std::fabs(desired_ - thread);
    if (!(error < table_.Threshold())) {
        return false;
    }
    const std::uint32_t a = classes_.of[block.a];
    const std::uint32_t b = classes_.of[block.b];
    const std::uint32_t x = classes_.of[c];
    const std::uint32_t y = classes_.of[d];
    const std::uint32_t classes = a << 21 | b << 14 | x << 7 | y;
    if (memo_.Rejects(classes, evictions_)) {
        return false;
    }
    const TrainKeys keys = KeysOf(a, b, x, y);
    if (table_.HoldsSameTrain(keys)) {
        memo_.RememberMatched(classes, evictions_);
        return false;
    }
    // Only a full table has no empty slot to fill.
    const bool evicts = table_.Full();
    table_.Admit(GearTrain{gears_[block.a], gears_[block.b], gears_[c], gears_[d], thread, error},
                 keys);
    memo_.RememberAdmitted(classes);
    evictions_ += evicts;
    return evicts;
}

bool FastSearchApplies(double desiredTpi, double leadTpi, const std::vector<std::int64_t>& gears) {
    if (!IsUsableMeasure(desiredTpi) || !IsUsableMeasure(leadTpi)) {
        return false;
    }
    const std::size_t n = std::min<std::size_t>(gears.size(), kMaxGears);
    return std::all_of(gears.begin(), gears.begin() + static_cast<std::ptrdiff_t>(n),
                       [](std::int64_t teeth) { return teeth > 0; });
}

} // namespace

bool FitRules::Allows(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const {
    if (spindleGear && A != *spindleGear) {
        return false;
    }
    if (B == C) {
        return true;
    }
    // Wide enough that no sum of tooth counts can overflow.
    __extension__ using Wide = __int128;
    if (clearance &&
        !(Wide{B} + *clearance <= Wide{C} + D && Wide{C} + *clearance <= Wide{A} + B)) {
        return false;
    }
    return !minimumSum || Wide{A} + B + C + D >= *minimumSum;
}

std::vector<GearTrain> SearchBestTrains(double desiredTpi, double leadTpi,
                                        const std::vector<std::int64_t>& gears, int show,
                                        const FitRules& rules) {
    if (show <= 0) {
        return {};
    }
    if (!FastSearchApplies(desiredTpi, leadTpi, gears)) {
        return SearchBestTrainsReference(desiredTpi, leadTpi, gears, show, rules);
    }
    return FastSearch(desiredTpi, leadTpi, gears, show, rules).Run();
}

std::vector<GearTrain> SearchBestTrainsReference(double desiredTpi, double leadTpi,
                                                 const std::vector<std::int64_t>& gears, int show,
                                                 const FitRules& rules) {
    if (show <= 0) {
        return {};
    }
    std::vector<GearTrain> table(static_cast<std::size_t>(std::min(show, kMaxTrains)));
    const int n = static_cast<int>(std::min<std::size_t>(gears.size(), kMaxGears));
    double G[kMaxGears];
    for (int i = 0; i < n; ++i) {
        G[i] = static_cast<double>(gears[i]);
    }

    double threshold = kEmptyError;
    for (int a = 0; a < n; ++a) {
        for (int b = 0; b < n; ++b) {
            if (b == a) {
                continue;
            }
            for (int c = 0; c < n; ++c) {
                if (c == a) {
                    continue;
                }
                for (int d = 0; d < n; ++d) {
                    if (d == a || d == b || d == c) {
                        continue;
                    }
                    if (!rules.Allows(gears[a], gears[b], gears[c], gears[d])) {
                        continue;
                    }
                    const double thread = ((G[b] / G[a]) * (G[d] / G[c])) * leadTpi;
                    const double error = std::fabs(desiredTpi - thread);
                    if (!(error < threshold)) {
                        continue;
                    }
                    if (MatchesAnySlot(table, G[a], G[b], G[c], G[d])) {
                        continue;
                    }
                    ReplaceWorst(table, threshold,
                                 GearTrain{gears[a], gears[b], gears[c], gears[d], thread, error});
                    threshold = WorstError(table);
                }
            }
        }
    }
    SortByError(table);
    return table;
}
