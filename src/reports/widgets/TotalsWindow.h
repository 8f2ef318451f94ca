// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class Clock;
class HistoryNavigator;
class QGroupBox;
class QLabel;
class QTableWidget;
class QTimer;
class FolderChooser;
namespace reports
{
struct TotalsReport;
}

// "Totaux": today's traffic, the monthly forecast, the totals since the first day and the daily and
// monthly tables of the selected statistics directory, loaded anew at every showing.
class TotalsWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TotalsWindow)

public:
    TotalsWindow(FolderChooser& chooser, const Clock& clock, QWidget* parent = nullptr);

    void setNavigator(HistoryNavigator* navigator) { m_navigator = navigator; }
    bool ready() const { return m_ready; }

public slots:
    // Checks the selected directory and loads its report now, dropping a load still pending from showing.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The value labels of one group of the first page.
    struct AmountLabels
    {
        QLabel* received = nullptr;
        QLabel* sent = nullptr;
        QLabel* both = nullptr;
    };

    static QGroupBox* makeGroup(QWidget* page, const char* name, const QString& title, int y,
                                const char* const (&valueNames)[3], AmountLabels& values);
    void showReport(const reports::TotalsReport& report);
    void openChooser();
    void drawDayAt(const QPoint& pos);

    FolderChooser& m_chooser;
    const Clock& m_clock;
    HistoryNavigator* m_navigator = nullptr;
    bool m_ready = false;
    bool m_loading = false;

    QLabel* m_interfaceLabel = nullptr;
    QGroupBox* m_sinceFirstDayGroup = nullptr;
    AmountLabels m_today;
    AmountLabels m_forecast;
    AmountLabels m_sinceFirstDay;
    QTableWidget* m_dailyTable = nullptr;
    QTableWidget* m_monthlyTable = nullptr;
    QTimer* m_loadTimer = nullptr;
};
