#include "instrument/quantity_format.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstddef>

namespace {

// How one column of a row turns the value into its number.
enum Form {
    kRounded0,   // "%.0f"
    kRounded1,   // "%.1f"
    kRounded2,   // "%.2f"
    kCut,        // one decimal, cut toward zero
    kByResolution,  // hundredths: "%.2f"; tenths: cut
};

struct Row {
    const char* unit;  // with its leading blank
    Form withUnit;     // display field, unit shown
    Form withoutUnit;  // display field without unit, and DDE "Wynik"
    Form measurement;  // DDE "Pomiar"
};

// By quantity code 1 to 8. Note "\xB0" "C": written as one literal, the
// escape would swallow the C as a hex digit.
const Row kRows[] = {
    {" W/m2", kRounded1, kByResolution, kCut},
    {" kLx", kRounded2, kRounded2, kRounded2},
    {" \xB0" "C", kByResolution, kByResolution, kByResolution},
    {" \xB0", kRounded0, kRounded0, kRounded0},
    {" hPa", kRounded1, kByResolution, kCut},
    {" m/s", kRounded1, kByResolution, kCut},
    {" %", kRounded1, kByResolution, kCut},
    {" ppm", kRounded0, kRounded0, kRounded0},
};

const Row* FindRow(int quantity) {
    if (quantity < 1 || quantity > 8)
        return nullptr;
    return &kRows[quantity - 1];
}

std::string FormatNumber(double value, Form form, BOOL fineResolution) {
    switch (form) {
    case kRounded0:
        return FormatFixed(value, 0);
    case kRounded1:
        return FormatFixed(value, 1);
    case kRounded2:
        return FormatFixed(value, 2);
    case kCut:
        return FormatCutTenths(value);
    case kByResolution:
        break;
    }
    return fineResolution ? FormatFixed(value, 2) : FormatCutTenths(value);
}

}  // namespace

std::string FormatCutTenths(double value) {
    double tenths = std::trunc(value * 10.0);
    // Too big for the float step (and NaN, infinity): the value has no tenths
    // left to cut anyway.
    if (!(std::fabs(tenths) <= FLT_MAX))
        return FormatFixed(value, 1);
    // The integer that the cut goes through has no sign of its own.
    if (tenths == 0.0)
        tenths = 0.0;
    // Single precision on purpose: what the field has always shown, and exact
    // for every tenth below about a million.
    const float cut = static_cast<float>(tenths) * 0.1f;
    return FormatFixed(cut, 1);
}

std::string FormatDisplayText(double value, int displayQuantity, BOOL fineResolution,
                              BOOL showUnit) {
    const Row* row = FindRow(displayQuantity);
    if (!row)
        return std::string();
    if (!showUnit)
        return FormatNumber(value, row->withoutUnit, fineResolution);
    return FormatNumber(value, row->withUnit, fineResolution) + row->unit;
}

std::string FormatDdeResult(double value, int displayQuantity, BOOL fineResolution) {
    return FormatDisplayText(value, displayQuantity, fineResolution, FALSE);
}

std::string FormatDdeMeasurement(double value, int displayQuantity, BOOL fineResolution) {
    const Row* row = FindRow(displayQuantity);
    if (!row)
        return std::string();
    return FormatNumber(value, row->measurement, fineResolution) + row->unit;
}

double ConvertQuantity(double value, int measuredQuantity, int displayQuantity) {
    if (measuredQuantity == kQuantityWattsPerSquareMetre && displayQuantity == kQuantityKiloLux)
        return value * 0.6802721088435374;  // 1 / 1.47
    if (measuredQuantity == kQuantityKiloLux && displayQuantity == kQuantityWattsPerSquareMetre)
        return value * 1.47;
    return value;
}

BOOL HasRaisedUnit(int displayQuantity, BOOL showUnit) {
    return displayQuantity == kQuantityWattsPerSquareMetre && showUnit ? TRUE : FALSE;
}

RaisedUnitText FormatRaisedUnit(double value) {
    RaisedUnitText text;
    text.base = FormatFixed(value, 1) + " W/m";
    text.exponent = "2";
    text.measured = text.base + text.exponent;
    return text;
}
