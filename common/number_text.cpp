#include "common/number_text.h"

#include <cfloat>
#include <charconv>
#include <cmath>

std::string FormatFixed(double value, int decimals) {
    if (decimals < 0)
        decimals = 0;
    // Room for DBL_MAX's 309 integer digits, the sign, the point and the decimals.
    std::string text(DBL_MAX_10_EXP + 4 + static_cast<std::size_t>(decimals), '\0');
    const std::to_chars_result r =
        std::to_chars(&text[0], &text[0] + text.size(), value, std::chars_format::fixed, decimals);
    text.resize(r.ptr - text.data());
    return text;
}

double NearestDecimal(double value, int decimals) {
    if (!std::isfinite(value) || decimals < 0 || decimals > 6)
        return value;
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i)
        scale *= 10.0;
    const double units = std::round(value * scale);
    // Past 2^53 the units are no longer whole numbers to round to.
    if (std::fabs(units) > 9007199254740992.0)
        return value;
    // One division of two exact doubles: rounded once, to the nearest.
    return units / scale;
}
