// Value texts of the display fields and of the DDE items "Wynik" and "Pomiar".
//
// Texts are Windows-1250 bytes (the degree sign is 0xB0). Numbers always use
// a point, no thousands separators and a leading minus, whatever the user's
// locale: they are built with std::to_chars, never with printf, whose
// rounding and decimal separator differ between C runtimes and locales.
#pragma once

#include "common/number_text.h"
#include "common/win_types.h"

#include <string>

// Quantity codes of a display field. Any other code (0 = not set up) gives
// no text at all.
enum QuantityCode {
    kQuantityWattsPerSquareMetre = 1,  // W/m2, drawn with a raised "2"
    kQuantityKiloLux = 2,
    kQuantityCelsius = 3,              // the only one the main window uses
    kQuantityDegrees = 4,
    kQuantityHectopascal = 5,
    kQuantityMetresPerSecond = 6,
    kQuantityPercent = 7,
    kQuantityPpm = 8,
};

// One decimal, cut toward zero: the integer part of value * 10.0 times 0.1f
// in single precision. Never "-0.0": -0.07 gives "0.0".
std::string FormatCutTenths(double value);

// The display field's text: with its unit when showUnit is set, otherwise the
// bare number. fineResolution TRUE = the instrument reports hundredths. For
// code 1 with unit this is the whole text "x.x W/m2" that the field measures;
// what it draws comes from FormatRaisedUnit.
std::string FormatDisplayText(double value, int displayQuantity, BOOL fineResolution,
                              BOOL showUnit);

// DDE item "Wynik": the display field's text without unit.
std::string FormatDdeResult(double value, int displayQuantity, BOOL fineResolution);

// DDE item "Pomiar": the value with its unit as DDE clients get it; code 1
// ends in a plain "W/m2".
std::string FormatDdeMeasurement(double value, int displayQuantity, BOOL fineResolution);

// The display field's value converted from the measured to the shown
// quantity: only W/m2 <-> kLx changes it.
double ConvertQuantity(double value, int measuredQuantity, int displayQuantity);

// Code 1 with unit is drawn in two pieces: the field centres a box the size
// of `measured`, draws `base` left-aligned in it and `exponent` raised at its
// right edge.
struct RaisedUnitText {
    std::string measured;  // "12.4 W/m2"
    std::string base;      // "12.4 W/m"
    std::string exponent;  // "2"
};

// TRUE when the field draws its text by FormatRaisedUnit instead of
// FormatDisplayText.
BOOL HasRaisedUnit(int displayQuantity, BOOL showUnit);
RaisedUnitText FormatRaisedUnit(double value);
