// The thread dial: for a train, on which marks the half-nut may be closed
// again between passes without cutting a new groove beside the old one.
//
// What counts is the lead the train really cuts over the pitch of the screw
// that turns the dial, R. The carriage may travel j0 screw threads between
// engagements, or a multiple of that, where j0 is R's numerator in lowest
// terms. R comes from tooth counts and decimals as typed, so it is exact;
// a ratio rounded to a double would turn "none" into a set of marks.
#pragma once

#include "core/units.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct ReportedTrain;

// Wide enough for any decimal typed with up to 38 digits.
__extension__ typedef unsigned __int128 Whole;

// An exact positive ratio kept as factors that are never multiplied out:
// every factor above is coprime to every factor below, so the product of
// those above is the numerator in lowest terms. No input can overflow it.
class ExactRatio {
public:
    // 1
    ExactRatio() = default;
    // numerator / denominator, both above 0
    ExactRatio(Whole numerator, Whole denominator);

    ExactRatio& operator*=(const ExactRatio& other);
    ExactRatio Inverse() const;

    bool NumeratorIsOne() const;
    // The numerator or the denominator in lowest terms, or nothing when it
    // is above `limit`.
    std::optional<Whole> NumeratorUpTo(Whole limit) const;
    std::optional<Whole> DenominatorUpTo(Whole limit) const;

private:
    void MultiplyBy(Whole numerator, Whole denominator);

    std::vector<Whole> above_;
    std::vector<Whole> below_;
};

// A decimal exactly as typed: "8.4666667" is 84666667/10000000, "1.5e2" is
// 150. Nothing when the text is not a plain decimal above 0, or when its
// digits do not fit.
std::optional<ExactRatio> ExactDecimal(const std::string& text);

// One dial gear: T teeth meshing with the lead screw, k marks on its face.
struct DialGear {
    std::int64_t teeth = 0;
    std::int64_t marks = 0;
};

// A dial gear larger than any lathe's, and beyond which the marks listed
// would run to pages.
constexpr std::int64_t kMaxDialTeeth = 1000;

// A dial or dial screw that cannot be used; what() says why, for the user.
struct DialError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Teeth from 1 to kMaxDialTeeth, marks from 1 that divide the teeth. What is
// wrong names the value ("teeth", "marks"), for the caller to name the place.
std::string DialGearFault(const DialGear& gear);

// Reads "T:K,T:K,..." with the checks of DialGearFault.
std::vector<DialGear> ParseDialGears(const std::string& text);

// Where the nut may close: anywhere, on the marks of the first dial gear
// that has any (numbered from the mark of the first pass, which is 1), or
// nowhere (keep the nut closed and reverse).
struct DialAnswer {
    bool anywhere = false;
    std::int64_t gear = 0; // teeth of the dial gear named; 0 with no marks
    std::vector<std::int64_t> marks;
};

// The rule itself, for a lead cut of `ratio` times the screw's pitch.
DialAnswer ReadDial(const ExactRatio& ratio, const std::vector<DialGear>& gears);

// R of a train: g x A/D for a simple train, g x (A C)/(B D) for two pairs,
// g x (A C E)/(B D F) for three, with `gearboxFactor` g.
ExactRatio CutOverScrew(const ReportedTrain& train, const ExactRatio& gearboxFactor);

// g of a gearbox position: its effective lead screw over the real screw's,
// as pitches, both typed in `unit`.
ExactRatio GearboxFactor(const ExactRatio& position, const ExactRatio& screw, LeadScrewUnit unit);

// A lathe's dial and what each gearbox position gives it, by position label
// ("" for a lathe without a gearbox).
struct DialSetup {
    std::vector<DialGear> gears;
    std::map<std::string, ExactRatio> factors;

    DialAnswer AnswerFor(const ReportedTrain& train) const;
    bool NamesGear() const { return gears.size() > 1; }
};

// The setup for positions typed as `positions` (label and lead screw, as
// ExactDecimal reads them) on a real screw typed as `screw`; without
// positions, one of factor 1. Throws DialError when a value cannot be read
// exactly.
DialSetup MakeDialSetup(const std::vector<DialGear>& gears,
                        const std::map<std::string, std::string>& positions,
                        const std::string& screw, LeadScrewUnit unit);

// "1,3,5,7", "anywhere" or "none"; the marks followed by " (gear T)" when
// `nameGear`.
std::string DialText(const DialAnswer& answer, bool nameGear);
// The marks alone, "1,3,5,7", or "anywhere" or "none".
std::string DialMarksText(const DialAnswer& answer);
// "16 teeth, 8 marks; 40 teeth, 8 marks"
std::string DialGearsText(const std::vector<DialGear>& gears);
// What the answers mean, for a chart's key.
extern const char* const kDialKey;
