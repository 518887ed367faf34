// Reading the numbers a user types, as the window's entries read them.
#pragma once

#include <string>

// Reads a number the way the window's entries are read: the whole text must
// be one number in the C locale ("." as decimal point), leading blanks allowed.
bool ParseMeasure(const std::string& text, double* value);
