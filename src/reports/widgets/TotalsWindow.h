#pragma once

#include <QDialog>

class Clock;
class HistoryNavigator;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;
class QFrame;
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

    QFrame* Bevel1 = nullptr;
    QLabel* Label14 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* AujD = nullptr;
    QLabel* AujU = nullptr;
    QLabel* AujB = nullptr;
    QLabel* pd = nullptr;
    QLabel* pu = nullptr;
    QLabel* pdu = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QTableWidget* grid1 = nullptr;
    QTableWidget* grid2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    void Timer1Timer();
    void Button1Click();
    void BitBtn1Click();
    void grid1MouseUp(Qt::MouseButton button, const QPoint& pos);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showReport(const reports::TotalsReport& report);

    FolderChooser& m_chooser;
    const Clock& m_clock;
    HistoryNavigator* m_navigator = nullptr;
    bool m_ready = false;
    bool m_loading = false;
};
