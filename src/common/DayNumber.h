// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>

// Days counted from 30 December 1899 (day 0); 15 June 2004 is day 38153.
int DayNumber(const QDate& date);
int DayNumber(const QDateTime& dateTime);
QDate DateOfDay(int dayNumber);

// Days of a month with 29 days for February in every Gregorian leap year.
int DaysInMonth(int year, int month);

// "hh:nn:ss", always eight characters, whatever the locale.
QString TimeText(const QTime& time);
// "dd/mm/yyyy", the short date format of the whole program.
QString DateText(const QDate& date);
