// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DayNumber.h"

namespace
{
const QDate kDayZero(1899, 12, 30);

QString TwoDigits(int v)
{
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}
} // namespace

int DayNumber(const QDate& date)
{
    return static_cast<int>(kDayZero.daysTo(date));
}

int DayNumber(const QDateTime& dateTime)
{
    return DayNumber(dateTime.date());
}

QDate DateOfDay(int dayNumber)
{
    return kDayZero.addDays(dayNumber);
}

int DaysInMonth(int year, int month)
{
    return QDate(year, month, 1).daysInMonth();
}

QString TimeText(const QTime& time)
{
    return TwoDigits(time.hour()) + QLatin1Char(':') + TwoDigits(time.minute()) + QLatin1Char(':') +
           TwoDigits(time.second());
}

QString DateText(const QDate& date)
{
    return TwoDigits(date.day()) + QLatin1Char('/') + TwoDigits(date.month()) + QLatin1Char('/') +
           QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
}
