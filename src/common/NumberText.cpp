// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/NumberText.h"

#include <QLocale>

#include <cmath>

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
