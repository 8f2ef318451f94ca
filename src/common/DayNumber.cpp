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
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    if (year < 0 || year > 9999)
        return TwoDigits(day) + QLatin1Char('/') + TwoDigits(month) + QLatin1Char('/') +
               QString::number(year).rightJustified(4, QLatin1Char('0'));
    // Written in place: the totals window shows one date per day of years of statistics.
    QString text(10, Qt::Uninitialized);
    QChar* out = text.data();
    const auto twoDigits = [&out](int v) {
        *out++ = QLatin1Char(static_cast<char>('0' + v / 10));
        *out++ = QLatin1Char(static_cast<char>('0' + v % 10));
    };
    twoDigits(day);
    *out++ = QLatin1Char('/');
    twoDigits(month);
    *out++ = QLatin1Char('/');
    twoDigits(year / 100);
    twoDigits(year % 100);
    return text;
}
