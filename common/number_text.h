// Numbers as text for every file, item and message the programs write: a
// point, no thousands separators and a leading minus, whatever the user's
// locale. Built with std::to_chars, never printf, whose rounding and decimal
// separator differ between C runtimes and locales.
#pragma once

#include <string>

// "%.*f" of the C locale: rounded to nearest (ties to even) on the exact
// binary value, as glibc prints it; negative values, and negative zero, keep
// their minus ("-0.00" for -0.001). A negative count counts as 0.
std::string FormatFixed(double value, int decimals);

// The double nearest to the decimal with the given number of decimals that
// value stands for: the instrument's 21.4 arrives as 214 * 0.1, which is not
// the double a reader of "21.4" gets; this is (214 / 10.0), whose shortest
// text is "21.4" again. For writers that print the shortest round-trip form.
double NearestDecimal(double value, int decimals);
