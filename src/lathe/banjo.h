// The banjo: where the change gears' studs can really sit, measured once on
// the lathe, and whether a train mounts on it. Tooth counts alone cannot say
// whether a gear hits a shaft, whether the banjo reaches, or whether the stud
// leaves its slot; this does, to well under a hundredth of a millimetre.
//
// Frame, in mm: the lead screw L (or the gearbox's input shaft) is the
// banjo's pivot at (0, 0); the stud S that carries A is at (0, distance).
// Every intermediate stud is fixed somewhere in the banjo's slot.
#pragma once

#include "core/two_pair_search.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct Banjo {
    double module = 0.0;   // mm of pitch diameter per tooth, for every change gear
    double distance = 0.0; // S to L
    // How far from L a stud may sit; without a slot, anywhere.
    std::optional<double> slotMin, slotMax;
    double studHub = 0.0;  // radius of what S carries where no gear of the train is
    double screwHub = 0.0; // the same on L
    double margin = 1.0;   // between any two things that do not mesh
    double backlash = 0.0; // added to every centre distance
    // As the user gave them, for headers: the pitch as DP, the lengths in inches.
    std::optional<double> dp;
    bool inches = false;
};

// A banjo's figures as a profile or the command line gives them, before any
// is checked; lengths in mm, or in inches with `inches`.
struct BanjoFigures {
    std::optional<double> module, dp, distance, slotMin, slotMax, studHub, screwHub, margin,
        backlash;
    bool inches = false;
};

// A figure that cannot be used: `field` names it as a profile does
// ("module", "slot", "stud_hub"), what() says what is wrong.
struct BanjoError : std::runtime_error {
    BanjoError(std::string figure, const std::string& problem)
        : std::runtime_error(problem), field(std::move(figure)) {}
    std::string field;
};

// The banjo in mm; throws BanjoError at the first unusable figure: a pitch
// given both ways or not at all, no distance, a length that is not a finite
// number up to 1000000 (above 0 for the pitch, the distance and the slot; hubs, margin
// and backlash may be 0), a slot whose ends are the wrong way round.
Banjo MakeBanjo(const BanjoFigures& figures);
// Its figures as a profile holds them, lengths in mm.
BanjoFigures FiguresOf(const Banjo& banjo);
// One line for a chart's header: "module 1, S-L 82 mm, slot 42-75 mm, hubs
// 3 mm (stud) and 6 mm (screw), margin 1 mm".
std::string BanjoText(const Banjo& banjo);
// A length as the outputs show it: to 0.01 mm, no trailing zeros.
std::string Millimetres(double length);

// Pitch radius, tip radius and the centre distance of two meshing gears.
double PitchRadius(const Banjo& banjo, std::int64_t teeth);
double TipRadius(const Banjo& banjo, std::int64_t teeth);
double CentreDistance(const Banjo& banjo, std::int64_t driving, std::int64_t driven);

struct StudPosition {
    double x = 0.0;
    double y = 0.0;
};

// One constraint of a train: it holds when `need` <= `have` (for `reach`
// and `slot`, when `have` lies within [need, needMax]).
struct Constraint {
    const char* name = "";
    double need = 0.0;
    double have = 0.0;
    std::optional<double> needMax;

    bool Holds() const;
};

// Whether a train mounts; if not, the first constraint that fails (the one
// that fails over most of the swing, for three pairs). `studs` are the
// intermediate studs, first to last, where the train sits, or as near as it
// comes when it does not mount. `checks` are all the constraints there, in
// the order they are named.
struct Mounting {
    bool mounts = false;
    std::optional<Constraint> failed;
    std::vector<StudPosition> studs;
    std::vector<Constraint> checks;
};

// A -> B (the idler) -> D, all in one plane.
Mounting MountSimple(const Banjo& banjo, std::int64_t A, std::int64_t B, std::int64_t D);
// A:B in one plane, C:D in the other; B and C share the stud.
Mounting MountTwoPairs(const Banjo& banjo, std::int64_t A, std::int64_t B, std::int64_t C,
                       std::int64_t D);
// A:B and E:F in one plane, C:D in the other, on two studs.
Mounting MountThreePairs(const Banjo& banjo, std::int64_t A, std::int64_t B, std::int64_t C,
                         std::int64_t D, std::int64_t E, std::int64_t F);

// Necessary conditions of MountTwoPairs in whole teeth, for a search to
// prune on before the exact test: no train that mounts ever fails one.
ToothBounds ToothBoundsOf(const Banjo& banjo);

// The banjo as a search's rule, for trains from `gears` (those that take
// part in the search). Not for use by two searches at once: it remembers
// the idlers it has found.
class BanjoCheck : public TrainCheck {
public:
    BanjoCheck(const Banjo& banjo, const std::vector<std::int64_t>& gears);

    bool Mounts(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) const override;
    bool MountsThreePairs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D,
                          std::int64_t E, std::int64_t F) const override;

    // The smallest gear of the list that mounts as the idler from A to D;
    // A's and D's own gears do not count.
    std::optional<std::int64_t> Idler(std::int64_t A, std::int64_t D) const;

    const Banjo& Figures() const { return banjo_; }

private:
    // Whole-tooth forms of the three-pair constraints that do not move with
    // the studs, loosened as ToothBounds are: B + E + beClearance <= C + D,
    // A + F <= maxAF, and the slot's limits on E + F.
    struct ThreePairBounds {
        std::int64_t beClearance;
        std::int64_t maxAF;
    };

    bool MayMountThreePairs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D,
                            std::int64_t E, std::int64_t F) const;

    Banjo banjo_;
    ThreePairBounds threePairs_;
    std::map<std::int64_t, int> counts_; // how many gears of each size
    mutable std::map<std::pair<std::int64_t, std::int64_t>, std::optional<std::int64_t>> idlers_;
};
