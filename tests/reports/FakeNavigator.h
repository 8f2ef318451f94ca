// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/HistoryNavigator.h"

#include <QList>

// Records what the reports windows ask of the history graph window.
class FakeNavigator final : public HistoryNavigator
{
public:
    void setDateAndDraw(const QDate& date) override { dates.append(date); }
    void openChooser() override { ++chooserOpened; }

    QList<QDate> dates;
    int chooserOpened = 0;
};
