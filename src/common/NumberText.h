// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The general floating-point text form: shortest form with at most 15 significant digits, no digit
// grouping, no exponent for whole numbers below 10^15, the decimal separator of the default QLocale.
QString FloatText(long double value);

// Values shown to the user are cut, never rounded: floor(v × 10^decimals) × 10^-decimals.
long double CutHundredths(long double value);
long double CutTenths(long double value);

// Parses the general floating-point form (either decimal separator); false when it does not parse.
bool ParseFloatText(const QString& text, long double& value);

// Multiples of 1024 throughout.
inline constexpr long double kKilo = 1024.0L;
inline constexpr long double kMega = 1048576.0L;
inline constexpr long double kGiga = 1073741824.0L;
