#include "reports/widgets/TotalsWindow.h"

#include "common/Clock.h"
#include "reports/HistoryNavigator.h"
#include "reports/Totals.h"
#include "reports/widgets/FolderChooser.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

using namespace reports;

namespace
{
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, const QString& colour,
                  bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->setMinimumWidth(160);
    label->setStyleSheet(
        QStringLiteral("color: %1;%2").arg(colour, bold ? QStringLiteral(" font-weight: bold;") : QString()));
    return label;
}

// A group of page 1 with its three row captions and its three value labels.
QGroupBox* MakeGroup(QWidget* page, const char* name, const QString& title, int y, QLabel*& received, QLabel*& sent,
                     QLabel*& both, const char* names[3])
{
    auto* group = new QGroupBox(title, page);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(32, y, 337, 81);
    group->setStyleSheet(QStringLiteral("QGroupBox { color: maroon; font-weight: bold; }"));
    const QString captions[3] = {QStringLiteral("Récéption:"), QStringLiteral("Envoi:"),
                                 QStringLiteral("Deux directions:")};
    const QString colours[3] = {QStringLiteral("green"), QStringLiteral("navy"), QStringLiteral("purple")};
    QLabel** values[3] = {&received, &sent, &both};
    for (int i = 0; i < 3; ++i)
    {
        MakeLabel(group, "", captions[i], 16, 20 + 18 * i, QStringLiteral("black"), false);
        *values[i] = MakeLabel(group, names[i], QStringLiteral("0K"), 176, 20 + 18 * i, colours[i], true);
    }
    return group;
}

QTableWidget* MakeGrid(QWidget* page, const char* name)
{
    auto* grid = new QTableWidget(1, 4, page);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setGeometry(8, 8, 385, 297);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setDefaultSectionSize(94);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return grid;
}

void FillRow(QTableWidget* grid, int row, const QStringList& cells)
{
    for (int c = 0; c < cells.size() && c < 4; ++c)
        grid->setItem(row, c, new QTableWidgetItem(cells[c]));
}

void FillTable(QTableWidget* grid, const QStringList& header, const std::vector<TotalsRow>& rows)
{
    grid->clearContents();
    grid->setRowCount(static_cast<int>(rows.size()) + 1);
    FillRow(grid, 0, header);
    // Row 0 stands for the grid's fixed header row.
    for (int c = 0; c < grid->columnCount(); ++c)
        if (QTableWidgetItem* item = grid->item(0, c))
        {
            item->setBackground(grid->palette().button());
            item->setFlags(Qt::ItemIsEnabled);
        }
    int r = 1;
    for (const TotalsRow& row : rows)
        FillRow(grid, r++, {row.label, row.received, row.sent, row.both});
}
} // namespace

TotalsWindow::TotalsWindow(FolderChooser& chooser, const Clock& clock, QWidget* parent)
    : QDialog(parent), m_chooser(chooser), m_clock(clock)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Totaux"));
    setFixedSize(410, 413);
    // The layout was made for an 8-point dialog font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 2, 393, 17);
    Label14 = new QLabel(QStringLiteral("Interface"), this);
    Label14->setObjectName(QStringLiteral("Label14"));
    Label14->setGeometry(16, 3, 380, 15);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 24, 409, 353);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Totaux/Prévisions"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Stats Journalières"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Stats Mensuelles"));

    const char* todayNames[3] = {"AujD", "AujU", "AujB"};
    const char* forecastNames[3] = {"pd", "pu", "pdu"};
    const char* sinceNames[3] = {"Label7", "Label8", "Label9"};
    GroupBox1 =
        MakeGroup(TabSheet1, "GroupBox1", QStringLiteral("Transferts d'aujourd'hui"), 24, AujD, AujU, AujB, todayNames);
    GroupBox3 =
        MakeGroup(TabSheet1, "GroupBox3", QStringLiteral("Prévisions sur le mois"), 120, pd, pu, pdu, forecastNames);
    GroupBox2 = MakeGroup(TabSheet1, "GroupBox2", QStringLiteral("Transferts depuis le"), 216, Label7, Label8, Label9,
                          sinceNames);

    grid1 = MakeGrid(TabSheet2, "grid1");
    grid1->viewport()->installEventFilter(this);
    grid2 = MakeGrid(TabSheet3, "grid2");

    Button1 = new QPushButton(QStringLiteral("go"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, &TotalsWindow::Button1Click);

    BitBtn1 = new QPushButton(QStringLiteral("Selectionner une autre interface à visualiser"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(88, 384, 249, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &TotalsWindow::BitBtn1Click);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TotalsWindow::Timer1Timer);
}

void TotalsWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Timer1->start();
}

void TotalsWindow::Timer1Timer()
{
    Timer1->stop();
    Button1Click();
}

void TotalsWindow::Button1Click()
{
    // The load lets events run once per pair; a second load must not start inside it.
    if (m_loading)
        return;
    m_loading = true;
    m_ready = m_chooser.OpeningCheck();
    if (m_ready)
    {
        const TotalsReport report =
            TotalsWalk::Load(m_chooser.selectedDirectory(), m_clock.now().date(), [this](const QString& text) {
                Label14->setText(text);
                QCoreApplication::processEvents();
            });
        showReport(report);
    }
    m_loading = false;
}

void TotalsWindow::showReport(const TotalsReport& report)
{
    Label14->setText(report.interfaceName);
    AujD->setText(report.today.received);
    AujU->setText(report.today.sent);
    AujB->setText(report.today.both);
    pd->setText(report.forecast.received);
    pu->setText(report.forecast.sent);
    pdu->setText(report.forecast.both);
    GroupBox2->setTitle(report.sinceFirstDayCaption);
    Label7->setText(report.sinceFirstDay.received);
    Label8->setText(report.sinceFirstDay.sent);
    Label9->setText(report.sinceFirstDay.both);
    FillTable(grid1, report.header, report.daily);
    FillTable(grid2, report.header, report.monthly);
}

void TotalsWindow::BitBtn1Click()
{
    if (m_navigator)
        m_navigator->openChooser();
}

void TotalsWindow::grid1MouseUp(Qt::MouseButton button, const QPoint& pos)
{
    if (button != Qt::RightButton || !m_navigator)
        return;
    const int row = grid1->rowAt(pos.y());
    const QTableWidgetItem* item = row >= 0 ? grid1->item(row, 0) : nullptr;
    if (!item)
        return;
    if (const auto date = HistoryDateForDailyRow(item->text()))
        m_navigator->setDateAndDraw(*date);
}

bool TotalsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid1->viewport() && event->type() == QEvent::MouseButtonRelease)
    {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        grid1MouseUp(mouse->button(), mouse->position().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}
