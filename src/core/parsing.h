// Reading the numbers a user types, as the window's entries read them.
#pragma once

#include <string>
#include <vector>

// Reads a number the way the window's entries are read: the whole text must
// be one number in the C locale ("." as decimal point), leading blanks allowed.
bool ParseMeasure(const std::string& text, double* value);

// `value` as "%g" writes it when that reads back as the same number, and
// otherwise with the fewest more significant digits that do: a value kept
// in a file and shown again is not rounded to six digits on the way.
std::string RoundTripText(double value);

// A plain decimal number: an optional sign, digits with at most one point,
// and an optional exponent. No blanks, no hexadecimal, no "inf" or "nan":
// whatever a user types as a number must look like this.
bool IsPlainDecimal(const std::string& text);

// The items of a comma-separated list. "a,b,,c" gives four items, the third
// empty: nothing is silently dropped.
std::vector<std::string> SplitAtCommas(const std::string& text);
