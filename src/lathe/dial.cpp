#include "lathe/dial.h"

#include "core/parsing.h"
#include "lathe/chart.h"

#include <algorithm>
#include <cstddef>

namespace {

// 10^38 is the largest power of ten below 2^128.
constexpr int kMaxDigits = 38;

Whole Gcd(Whole a, Whole b) {
    while (b != 0) {
        const Whole rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

Whole PowerOfTen(int exponent) {
    Whole power = 1;
    for (int i = 0; i < exponent; ++i) {
        power *= 10;
    }
    return power;
}

// The product of `factors`, or nothing once it passes `limit`.
std::optional<Whole> ProductUpTo(const std::vector<Whole>& factors, Whole limit) {
    Whole product = 1;
    for (Whole factor : factors) {
        if (factor > limit / product) {
            return std::nullopt;
        }
        product *= factor;
    }
    return product;
}

void DropOnes(std::vector<Whole>& factors) {
    factors.erase(std::remove(factors.begin(), factors.end(), Whole{1}), factors.end());
}

// The digits of a decimal without sign, point or exponent, and the power of
// ten they are to be scaled by.
struct Digits {
    std::string digits;
    long scale = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t TakeDigits(const std::string& text, std::size_t at, std::string& digits) {
    while (at < text.size() && IsDigit(text[at])) {
        digits += text[at++];
    }
    return at;
}

// Reads an exponent, held within bounds far past any that fits.
std::size_t TakeExponent(const std::string& text, std::size_t at, long& exponent, bool& ok) {
    const bool negative = at < text.size() && text[at] == '-';
    at += at < text.size() && (text[at] == '-' || text[at] == '+') ? 1 : 0;
    std::string digits;
    at = TakeDigits(text, at, digits);
    ok = !digits.empty();
    for (char c : digits) {
        exponent = std::min(exponent * 10 + (c - '0'), 100000L);
    }
    exponent = negative ? -exponent : exponent;
    return at;
}

std::optional<Digits> SplitDecimal(const std::string& text) {
    Digits decimal;
    std::size_t at = !text.empty() && text[0] == '+' ? 1 : 0;
    at = TakeDigits(text, at, decimal.digits);
    if (at < text.size() && text[at] == '.') {
        const std::size_t point = at + 1;
        at = TakeDigits(text, point, decimal.digits);
        decimal.scale = -static_cast<long>(at - point);
    }
    bool ok = !decimal.digits.empty();
    if (ok && at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        long exponent = 0;
        at = TakeExponent(text, at + 1, exponent, ok);
        decimal.scale += exponent;
    }
    return ok && at == text.size() ? std::optional<Digits>(decimal) : std::nullopt;
}

// Whole numbers as typed in a dial list: digits only, nothing above 10^18.
std::optional<std::int64_t> WholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), IsDigit)) {
        return std::nullopt;
    }
    return std::stoll(text);
}

} // namespace

ExactRatio::ExactRatio(Whole numerator, Whole denominator) {
    MultiplyBy(numerator, denominator);
}

void ExactRatio::MultiplyBy(Whole numerator, Whole denominator) {
    for (Whole& below : below_) {
        const Whole common = Gcd(numerator, below);
        numerator /= common;
        below /= common;
    }
    for (Whole& above : above_) {
        const Whole common = Gcd(denominator, above);
        denominator /= common;
        above /= common;
    }
    const Whole common = Gcd(numerator, denominator);
    above_.push_back(numerator / common);
    below_.push_back(denominator / common);
    DropOnes(above_);
    DropOnes(below_);
}

ExactRatio& ExactRatio::operator*=(const ExactRatio& other) {
    const ExactRatio copy = other; // `other` may be this very ratio
    for (Whole above : copy.above_) {
        MultiplyBy(above, 1);
    }
    for (Whole below : copy.below_) {
        MultiplyBy(1, below);
    }
    return *this;
}

ExactRatio ExactRatio::Inverse() const {
    ExactRatio inverse;
    inverse.above_ = below_;
    inverse.below_ = above_;
    return inverse;
}

bool ExactRatio::NumeratorIsOne() const {
    return above_.empty();
}

std::optional<Whole> ExactRatio::NumeratorUpTo(Whole limit) const {
    return ProductUpTo(above_, limit);
}

std::optional<Whole> ExactRatio::DenominatorUpTo(Whole limit) const {
    return ProductUpTo(below_, limit);
}

std::optional<ExactRatio> ExactDecimal(const std::string& text) {
    std::optional<Digits> decimal = SplitDecimal(text);
    if (!decimal) {
        return std::nullopt;
    }
    std::string& digits = decimal->digits;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++decimal->scale;
    }
    if (digits.empty() || digits.size() > kMaxDigits || decimal->scale > kMaxDigits ||
        decimal->scale < -kMaxDigits) {
        return std::nullopt;
    }
    Whole value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<Whole>(c - '0');
    }
    const int scale = static_cast<int>(decimal->scale);
    ExactRatio ratio(value, scale < 0 ? PowerOfTen(-scale) : 1);
    ratio *= ExactRatio(scale > 0 ? PowerOfTen(scale) : 1, 1);
    return ratio;
}

std::string DialGearFault(const DialGear& gear) {
    if (gear.teeth < 1 || gear.teeth > kMaxDialTeeth) {
        return "teeth must be a whole number from 1 to " + std::to_string(kMaxDialTeeth);
    }
    if (gear.marks < 1) {
        return "marks must be a whole number of at least 1";
    }
    if (gear.teeth % gear.marks != 0) {
        return "marks (" + std::to_string(gear.marks) + ") must divide teeth (" +
               std::to_string(gear.teeth) + ")";
    }
    return "";
}

std::vector<DialGear> ParseDialGears(const std::string& text) {
    std::vector<DialGear> gears;
    for (const std::string& item : SplitAtCommas(text)) {
        const std::size_t colon = item.find(':');
        const auto teeth = WholeNumber(item.substr(0, colon));
        const auto marks =
            colon == std::string::npos ? std::nullopt : WholeNumber(item.substr(colon + 1));
        if (!teeth || !marks) {
            throw DialError("invalid dial gear '" + item + "' (TEETH:MARKS)");
        }
        gears.push_back({*teeth, *marks});
        const std::string fault = DialGearFault(gears.back());
        if (!fault.empty()) {
            throw DialError("dial gear '" + item + "': " + fault);
        }
    }
    return gears;
}

DialAnswer ReadDial(const ExactRatio& ratio, const std::vector<DialGear>& gears) {
    DialAnswer answer;
    if (ratio.NumeratorIsOne()) {
        answer.anywhere = true;
        return answer;
    }
    for (const DialGear& gear : gears) {
        const Whole teeth = static_cast<Whole>(gear.teeth);
        const std::optional<Whole> threads = ratio.NumeratorUpTo(teeth);
        if (!threads || teeth % *threads != 0) {
            continue;
        }
        const Whole teethPerMark = teeth / static_cast<Whole>(gear.marks);
        const auto step = static_cast<std::int64_t>(*threads / Gcd(*threads, teethPerMark));
        answer.gear = gear.teeth;
        for (std::int64_t mark = 1; mark <= gear.marks; mark += step) {
            answer.marks.push_back(mark);
        }
        return answer;
    }
    return answer;
}

ExactRatio CutOverScrew(const ReportedTrain& train, const ExactRatio& gearboxFactor) {
    const auto whole = [](std::int64_t teeth) { return static_cast<Whole>(teeth); };
    ExactRatio ratio = gearboxFactor;
    if (IsSimple(train)) {
        ratio *= ExactRatio(whole(train.A), whole(train.D));
        return ratio;
    }
    ratio *= ExactRatio(whole(train.A), whole(train.B));
    ratio *= ExactRatio(whole(train.C), whole(train.D));
    if (train.E && train.F) {
        ratio *= ExactRatio(whole(*train.E), whole(*train.F));
    }
    return ratio;
}

ExactRatio GearboxFactor(const ExactRatio& position, const ExactRatio& screw, LeadScrewUnit unit) {
    // A pitch in threads per inch is the inverse of a length.
    ExactRatio factor = unit == LeadScrewUnit::MM ? position : screw;
    factor *= unit == LeadScrewUnit::MM ? screw.Inverse() : position.Inverse();
    return factor;
}

DialAnswer DialSetup::AnswerFor(const ReportedTrain& train) const {
    return ReadDial(CutOverScrew(train, factors.at(train.gearbox)), gears);
}

DialSetup MakeDialSetup(const std::vector<DialGear>& gears,
                        const std::map<std::string, std::string>& positions,
                        const std::string& screw, LeadScrewUnit unit) {
    DialSetup setup{gears, {}};
    if (positions.empty()) {
        setup.factors.emplace("", ExactRatio());
        return setup;
    }
    const std::optional<ExactRatio> real = ExactDecimal(screw);
    if (!real) {
        throw DialError("dial screw '" + screw + "' cannot be read as an exact decimal");
    }
    for (const auto& [label, lead] : positions) {
        const std::optional<ExactRatio> effective = ExactDecimal(lead);
        if (!effective) {
            throw DialError("lead screw '" + lead + "' of gearbox position '" + label +
                            "' cannot be read as an exact decimal");
        }
        setup.factors.emplace(label, GearboxFactor(*effective, *real, unit));
    }
    return setup;
}

std::string DialMarksText(const DialAnswer& answer) {
    if (answer.anywhere) {
        return "anywhere";
    }
    if (answer.marks.empty()) {
        return "none";
    }
    std::string text;
    for (std::int64_t mark : answer.marks) {
        text += (text.empty() ? "" : ",") + std::to_string(mark);
    }
    return text;
}

std::string DialText(const DialAnswer& answer, bool nameGear) {
    const std::string marks = DialMarksText(answer);
    if (!nameGear || answer.marks.empty()) {
        return marks;
    }
    return marks + " (gear " + std::to_string(answer.gear) + ")";
}

std::string DialGearsText(const std::vector<DialGear>& gears) {
    std::string text;
    for (const DialGear& gear : gears) {
        text += (text.empty() ? "" : "; ") + std::to_string(gear.teeth) + " teeth, " +
                std::to_string(gear.marks) + " marks";
    }
    return text;
}

const char* const kDialKey = "Dial marks are counted from the mark of the first pass, which is 1; "
                             "anywhere: close the half-nut at any point; none: keep the nut closed "
                             "and reverse";
