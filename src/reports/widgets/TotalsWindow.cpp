// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/widgets/TotalsWindow.h"

#include "common/Clock.h"
#include "common/widgets/Named.h"
#include "common/widgets/Readable.h"
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
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

using namespace reports;

namespace
{
constexpr int kColumnWidth = 94;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, const QString& colour,
                  bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->setMinimumWidth(160);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    SetDesignedTextColour(label, QColor::fromString(colour));
    return label;
}

QTableWidget* MakeGrid(QWidget* page, const char* name)
{
    auto* grid = new QTableWidget(1, 4, page);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setGeometry(8, 8, 385, 297);
    // The fixed header row is the grid's own header, so it stays in place while the rows scroll.
    QHeaderView* header = grid->horizontalHeader();
    header->setDefaultSectionSize(kColumnWidth);
    header->setFixedHeight(20);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    grid->setTextElideMode(Qt::ElideNone);
    return grid;
}

void FillTable(QTableWidget* grid, const QStringList& header, const std::vector<TotalsRow>& rows)
{
    grid->clearContents();
    grid->setHorizontalHeaderLabels(header);
    grid->setRowCount(static_cast<int>(rows.size()));
    int r = 0;
    for (const TotalsRow& row : rows)
    {
        const QString cells[4] = {row.label, row.received, row.sent, row.both};
        for (int c = 0; c < 4; ++c)
            grid->setItem(r, c, new QTableWidgetItem(cells[c]));
        ++r;
    }
    // The designed 94 pixels, or wider where a cell needs it: no figure is cut (the grid then scrolls). The
    // last column gives up what the four designed widths take beyond the grid, as long as its cells fit.
    const QAbstractItemView* view = grid;
    int used = 0;
    for (int c = 0; c < 3; ++c)
    {
        grid->setColumnWidth(c, std::max(kColumnWidth, view->sizeHintForColumn(c)));
        used += grid->columnWidth(c);
    }
    const int room = grid->width() - 2 * grid->frameWidth() - grid->verticalScrollBar()->sizeHint().width() - used;
    grid->setColumnWidth(3, std::max(view->sizeHintForColumn(3), std::min(kColumnWidth, room)));
}

// A value of a group in its whole: in a smaller size when its text is wider than the group leaves it.
void SetValueText(QLabel* label, const QString& text)
{
    QFont font = label->font();
    font.setPointSizeF(label->parentWidget()->font().pointSizeF());
    const int room = label->parentWidget()->width() - label->x() - 2;
    while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > 5)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    label->setFont(font);
    label->setText(text);
    label->resize(std::max(label->sizeHint().width(), std::min(room, label->minimumWidth())), label->height());
}
} // namespace

// A group of page 1 with its three row captions and its three value labels.
QGroupBox* TotalsWindow::makeGroup(QWidget* page, const char* name, const QString& title, int y,
                                   const char* const (&valueNames)[3], AmountLabels& values)
{
    auto* group = Named(new QGroupBox(title, page), name);
    group->setGeometry(32, y, 337, 81);
    QFont bold = group->font();
    bold.setBold(true);
    group->setFont(bold);
    SetDesignedTextColour(group, QColor(0x80, 0x00, 0x00)); // maroon
    const QString captions[3] = {QStringLiteral("Récéption:"), QStringLiteral("Envoi:"),
                                 QStringLiteral("Deux directions:")};
    const QString colours[3] = {QStringLiteral("green"), QStringLiteral("navy"), QStringLiteral("purple")};
    QLabel** labels[3] = {&values.received, &values.sent, &values.both};
    for (int i = 0; i < 3; ++i)
    {
        MakeLabel(group, "", captions[i], 16, 20 + 18 * i, QStringLiteral("black"), false);
        *labels[i] = MakeLabel(group, valueNames[i], QStringLiteral("0K"), 176, 20 + 18 * i, colours[i], true);
    }
    return group;
}

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

    auto* interfaceFrame = Named(new QFrame(this), "Bevel1");
    interfaceFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    interfaceFrame->setGeometry(8, 2, 393, 17);
    m_interfaceLabel = Named(new QLabel(QStringLiteral("Interface"), this), "Label14");
    m_interfaceLabel->setGeometry(16, 3, 380, 15);

    auto* pages = Named(new QTabWidget(this), "PageControl1");
    pages->setGeometry(0, 24, 409, 353);
    auto* totalsPage = Named(new QWidget, "TabSheet1");
    auto* dailyPage = Named(new QWidget, "TabSheet2");
    auto* monthlyPage = Named(new QWidget, "TabSheet3");
    pages->addTab(totalsPage, QStringLiteral("Totaux/Prévisions"));
    pages->addTab(dailyPage, QStringLiteral("Stats Journalières"));
    pages->addTab(monthlyPage, QStringLiteral("Stats Mensuelles"));

    makeGroup(totalsPage, "GroupBox1", QStringLiteral("Transferts d'aujourd'hui"), 24, {"AujD", "AujU", "AujB"},
              m_today);
    makeGroup(totalsPage, "GroupBox3", QStringLiteral("Prévisions sur le mois"), 120, {"pd", "pu", "pdu"}, m_forecast);
    m_sinceFirstDayGroup = makeGroup(totalsPage, "GroupBox2", QStringLiteral("Transferts depuis le"), 216,
                                     {"Label7", "Label8", "Label9"}, m_sinceFirstDay);

    m_dailyTable = MakeGrid(dailyPage, "grid1");
    m_dailyTable->viewport()->installEventFilter(this);
    m_monthlyTable = MakeGrid(monthlyPage, "grid2");

    auto* chooseButton =
        Named(new QPushButton(QStringLiteral("Selectionner une autre interface à visualiser"), this), "BitBtn1");
    chooseButton->setGeometry(88, 384, 249, 25);
    connect(chooseButton, &QPushButton::clicked, this, &TotalsWindow::openChooser);

    // The load runs from the event loop once the window is up, not inside show().
    m_loadTimer = Named(new QTimer(this), "Timer1");
    m_loadTimer->setInterval(100);
    m_loadTimer->setSingleShot(true);
    connect(m_loadTimer, &QTimer::timeout, this, &TotalsWindow::refresh);
}

void TotalsWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_loadTimer->start();
}

void TotalsWindow::refresh()
{
    m_loadTimer->stop();
    // The load lets events run once per pair; a second load must not start inside it.
    if (m_loading)
        return;
    m_loading = true;
    m_ready = m_chooser.checkBeforeReading(this);
    if (m_ready)
    {
        const TotalsReport report =
            TotalsWalk::Load(m_chooser.selectedDirectory(), m_clock.now().date(), [this](const QString& text) {
                m_interfaceLabel->setText(text);
                QCoreApplication::processEvents();
            });
        showReport(report);
    }
    m_loading = false;
}

void TotalsWindow::showReport(const TotalsReport& report)
{
    const auto show = [](const AmountLabels& labels, const TotalsGroup& amounts) {
        SetValueText(labels.received, amounts.received);
        SetValueText(labels.sent, amounts.sent);
        SetValueText(labels.both, amounts.both);
    };
    // The sums leave damaged totals out: the interface's line says how many.
    m_interfaceLabel->setText(report.damagedTotals == 0 ? report.interfaceName
                              : report.damagedTotals == 1
                                  ? QStringLiteral("%1 : 1 total endommagé, compté 0").arg(report.interfaceName)
                                  : QStringLiteral("%1 : %2 totaux endommagés, comptés 0")
                                        .arg(report.interfaceName)
                                        .arg(report.damagedTotals));
    show(m_today, report.today);
    show(m_forecast, report.forecast);
    m_sinceFirstDayGroup->setTitle(report.sinceFirstDayCaption);
    show(m_sinceFirstDay, report.sinceFirstDay);
    FillTable(m_dailyTable, report.header, report.daily);
    FillTable(m_monthlyTable, report.header, report.monthly);
}

void TotalsWindow::openChooser()
{
    if (m_navigator)
        m_navigator->openChooser();
}

void TotalsWindow::drawDayAt(const QPoint& pos)
{
    if (!m_navigator)
        return;
    const int row = m_dailyTable->rowAt(pos.y());
    const QTableWidgetItem* item = row >= 0 ? m_dailyTable->item(row, 0) : nullptr;
    if (!item)
        return;
    if (const auto date = HistoryDateForDailyRow(item->text()))
        m_navigator->setDateAndDraw(*date);
}

bool TotalsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_dailyTable->viewport() && event->type() == QEvent::MouseButtonRelease)
    {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            drawDayAt(mouse->position().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}
