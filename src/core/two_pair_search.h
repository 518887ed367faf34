// The search for the best trains of two pairs of change gears: A drives B,
// C on B's stud drives D on the lead screw.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// One slot of the best-trains table. Tooth counts are kept as 64-bit values
// taken from the gear list itself, so a train always shows the gears the user
// owns, however large. `thread` and `error` are in threads per inch.
struct GearTrain {
    std::int64_t A = 0;
    std::int64_t B = 0;
    std::int64_t C = 0;
    std::int64_t D = 0;
    double thread = 0.0;
    double error = 100000.0;

    bool IsEmpty() const { return A <= 0; }
    bool IsSimple() const { return B == C; }
};

// The table has room for this many trains; the number shown is at most one less.
constexpr int kMaxTrains = 100;
// Only this many gears of the list take part in a search.
constexpr int kMaxGears = 100;
// Error of an empty slot, and the admission threshold before the table is full.
constexpr double kEmptyError = 100000.0;

// Whole-tooth limits that a compound train of two pairs must meet to pass a
// TrainCheck: cheap to test, and never stricter than the check itself.
struct ToothBounds {
    std::int64_t bClearance; // B + bClearance <= C + D
    std::int64_t cClearance; // C + cClearance <= A + B
    std::int64_t maxA;
    std::int64_t maxD;
    std::int64_t minMesh; // C + D
    std::int64_t maxMesh;
    std::int64_t minSum;           // A + B + C + D
    std::int64_t maxSumDifference; // |(A + B) - (C + D)|

    bool Allow(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const;
};

// An exact test of whether a train can be mounted, beyond what tooth counts
// say: the lathe's own geometry. A simple train (B == C) passes when some
// gear of the list serves as its idler.
class TrainCheck {
public:
    explicit TrainCheck(const ToothBounds& necessary) : bounds(necessary) {}
    virtual ~TrainCheck() = default;
    virtual bool Mounts(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const = 0;
    virtual bool MountsThreePairs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D,
                                  std::int64_t E, std::int64_t F) const = 0;

    // Necessary for Mounts of a compound train.
    const ToothBounds bounds;
};

// Limits on which trains can really be mounted, all off unless set. They
// depend on tooth counts only. A simple train (B and C of equal size: one
// idler, or two equal gears that act as one) passes the clearance and
// reach rules, since its idler bridges any gap.
struct FitRules {
    // Teeth of room between a gear and the shaft it must pass: a compound
    // train needs B + K <= C + D (B clears the lead-screw shaft) and
    // C + K <= A + B (C clears the spindle's).
    std::optional<std::int64_t> clearance;
    // The banjo's reach: a compound train needs A + B + C + D >= S.
    std::optional<std::int64_t> minimumSum;
    // The gear the spindle carries: A must have these teeth.
    std::optional<std::int64_t> spindleGear;
    // With it, only trains it passes, over and above the rules above. Not
    // owned: whoever sets it keeps it alive while the rules are in use.
    const TrainCheck* check = nullptr;

    bool Allows(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const;
    // The same rules for three pairs on two studs (defined with that search):
    // B + K <= C + D and C + K <= A + B on the first stud, D + K <= E + F and
    // E + K <= C + D on the second; A + B + C + D + E + F >= S; A is the
    // spindle gear.
    bool AllowsThreePairs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D,
                          std::int64_t E, std::int64_t F) const;
};

// The best trains for a thread. Returns `show` slots (clamped to
// 0..kMaxTrains) sorted by error; unused slots are empty. `gears` is the gear
// list in list order; only its first kMaxGears entries take part. The table
// is the one SearchBestTrainsReference gives, to the last bit, but only the
// quadruples that could still enter the table are ever looked at.
// With `rules`, the best of the trains that fit: trains that do not are
// never candidates, rather than being dropped from a short list afterwards.
std::vector<GearTrain> SearchBestTrains(double desiredTpi, double leadTpi,
                                        const std::vector<std::int64_t>& gears, int show,
                                        const FitRules& rules = {});

// The exhaustive search, tried quadruple by quadruple in enumeration order,
// n(n-1)(n-2)^2 of them. It defines what SearchBestTrains must return and is
// the oracle the tests compare against; too slow for large gear sets.
std::vector<GearTrain> SearchBestTrainsReference(double desiredTpi, double leadTpi,
                                                 const std::vector<std::int64_t>& gears, int show,
                                                 const FitRules& rules = {});
