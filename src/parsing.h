// Reading the numbers a user types, as the window's entries read them.
#pragma once

#include <string>

// Reads a number the way the window's entries are read: the whole text must
// be one number in the C locale ("." as decimal point), leading blanks allowed.
bool ParseMeasure(const std::string& text, double* value);

// Reads a tooth count the way the window's Add entry reads one: the whole
// text is one base-10 integer within range (leading blanks and a sign
// allowed); the caller decides about the sign.
bool ParseWholeNumber(const std::string& text, long* value);
