// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/NumberText.h"

#include <QLocale>

#include <cmath>
#include <cstdint>

QString FloatText(long double value)
{
    if (std::isnan(value) || std::isinf(value))
        return QStringLiteral("0");
    const long double magnitude = std::fabs(value);
    if (magnitude < 1e15L && std::floor(value) == value)
        return QString::number(static_cast<qint64>(value));
    QString text = QString::number(static_cast<double>(value), 'g', 15);
    const QChar point = QLocale().decimalPoint().at(0);
    if (point != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), point);
    return text;
}

long double CutHundredths(long double value)
{
    return std::floor(value * 100.0L) * 0.01L;
}

long double CutTenths(long double value)
{
    return std::floor(value * 10.0L) * 0.1L;
}

bool ParseFloatText(const QString& text, long double& value)
{
    // Plain digits, as the store writes every total: below 10^15 the conversion is exact, so reading
    // them directly gives what the general parse would.
    const qsizetype n = text.size();
    if (n > 0 && n <= 15)
    {
        int64_t digits = 0;
        qsizetype i = 0;
        for (; i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
            digits = digits * 10 + (text[i].unicode() - '0');
        if (i == n)
        {
            value = static_cast<long double>(static_cast<double>(digits));
            return true;
        }
    }
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || std::isnan(v) || std::isinf(v))
        return false;
    value = v;
    return true;
}
