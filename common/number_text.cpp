#include "common/number_text.h"

#include <cfloat>
#include <charconv>

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
