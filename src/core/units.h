// The units in which threads and lead screws are given, and their conversion
// to threads per inch, the one unit every search works in.
#pragma once

// How the desired thread is given. The numbers are stored in the settings.
enum class ThreadType { SAE = 0, Metric = 1, DP = 2, Modulus = 3 };

// How the lead screw is given. The numbers are stored in the settings.
enum class LeadScrewUnit { TPI = 0, MM = 1 };

// Everything inside the search is in threads per inch; these three are the
// only places where millimetres and pi come in.
double ThreadToTpi(ThreadType type, double value);
double LeadScrewToTpi(LeadScrewUnit unit, double value);
double TpiToThread(ThreadType type, double tpi);

// A desired thread or lead screw that parses can still be useless: zero,
// negative, infinite or not-a-number values give no meaningful train.
bool IsUsableMeasure(double value);
