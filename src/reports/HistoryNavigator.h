// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>

// What the totals and histogram windows need of the history graph window, which implements it;
// keeps the reports library free of the graph window's header.
class HistoryNavigator
{
public:
    virtual ~HistoryNavigator() = default;
    // Sets the graph's date picker to date, shows the graph window and runs its draw action.
    virtual void setDateAndDraw(const QDate& date) = 0;
    // The graph window's "Ouvrir" action: shows the folder chooser and disables the graph window.
    virtual void openChooser() = 0;
};
