// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/widgets/HistogramWindow.h"

#include <algorithm>

#include "common/widgets/Named.h"
#include "common/widgets/Readable.h"
#include "reports/HistoryNavigator.h"
#include "reports/widgets/FolderChooser.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

using namespace reports;

namespace
{
constexpr int kReadOutLeft = 584;
constexpr int kReadOutTop = 72;
// The read-out stays inside the chart's white frame (8 + 713) when its text is long.
constexpr int kReadOutRightLimit = 8 + 713 - 4;

QPushButton* SmallButton(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, 15, 11);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    return button;
}

QLineEdit* DisabledEdit(QWidget* parent, const char* name, int x, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, 8, width, 21);
    edit->setEnabled(false);
    return edit;
}
} // namespace

HistogramWindow::HistogramWindow(FolderChooser& chooser, const QDate& today, QWidget* parent)
    : QDialog(parent), m_chooser(chooser), m_font(QStringLiteral("DejaVu Sans"), 8)
{
    setObjectName(QStringLiteral("histo"));
    setWindowTitle(QStringLiteral("Statistiques : représentation par histogrammes"));
    setWindowFlags(Qt::Tool);
    setFixedSize(730, 354);
    // The layout was made for an 8-point dialog font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* chartFrame = Named(new QFrame(this), "Shape1");
    chartFrame->setGeometry(8, 48, 713, 305);
    chartFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
    chartFrame->setStyleSheet(QStringLiteral("background: white;"));

    m_axesImage = Named(new QLabel(this), "imL");
    m_axesImage->setGeometry(9, 49, kFrameWidth, kFrameHeight);
    m_barsImage = Named(new QLabel(this), "imG");
    m_barsImage->setGeometry(9 + kOffsetX, 49 + kOffsetY, kBarsWidth, kBarsHeight);
    m_barsImage->setMouseTracking(true);
    m_barsImage->installEventFilter(this);

    m_readOutLabel = Named(new QLabel(this), "Label1");
    m_readOutLabel->move(kReadOutLeft, kReadOutTop);
    m_readOutLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    // It stands on the chart's white, whatever the palette.
    SetFixedColours(m_readOutLabel, Qt::white, Qt::black);

    m_viewCombo = Named(new QComboBox(this), "cbMode");
    m_viewCombo->setGeometry(8, 8, 113, 21);
    m_viewCombo->addItems({QStringLiteral("Année"), QStringLiteral("Mois")});

    m_monthEdit = DisabledEdit(this, "Edit2", 136, 25);
    auto* nextMonthButton = SmallButton(this, "bpm", QStringLiteral("+"), 160, 9);
    auto* previousMonthButton = SmallButton(this, "bmm", QStringLiteral("-"), 160, 20);
    m_yearEdit = DisabledEdit(this, "Edit1", 176, 41);
    auto* nextYearButton = SmallButton(this, "bpa", QStringLiteral("+"), 216, 9);
    auto* previousYearButton = SmallButton(this, "bma", QStringLiteral("-"), 216, 20);

    auto* receivedRadio = Named(new QRadioButton(QStringLiteral("DL"), this), "rbDL");
    receivedRadio->move(240, 0);
    m_sentRadio = Named(new QRadioButton(QStringLiteral("UL"), this), "rbUL");
    m_sentRadio->move(240, 16);
    m_bothRadio = Named(new QRadioButton(QStringLiteral("DL/UL"), this), "rbDLUL");
    m_bothRadio->move(240, 32);
    receivedRadio->setChecked(true);

    auto* chooseButton =
        Named(new QPushButton(QStringLiteral("Selectionner une interface à visualiser"), this), "BitBtn1");
    // Wide enough for its caption in the desktop's font, right-aligned where the design puts it.
    const int width = std::max(209, chooseButton->sizeHint().width());
    chooseButton->setGeometry(721 - width, 8, width, 25);

    HistogramSelection s;
    s.year = today.year();
    s.month = today.month();
    setSelection(s);

    connect(nextMonthButton, &QPushButton::clicked, this, [this] { stepSelection(NextMonth); });
    connect(previousMonthButton, &QPushButton::clicked, this, [this] { stepSelection(PreviousMonth); });
    connect(nextYearButton, &QPushButton::clicked, this, [this] { stepSelection(NextYear); });
    connect(previousYearButton, &QPushButton::clicked, this, [this] { stepSelection(PreviousYear); });
    connect(m_viewCombo, &QComboBox::activated, this, &HistogramWindow::redraw);
    for (QRadioButton* r : {receivedRadio, m_sentRadio, m_bothRadio})
        connect(r, &QRadioButton::clicked, this, &HistogramWindow::redraw);
    connect(chooseButton, &QPushButton::clicked, this, &HistogramWindow::openChooser);
}

HistogramSelection HistogramWindow::selection() const
{
    HistogramSelection s;
    s.year = m_yearEdit->text().toInt();
    s.month = m_monthEdit->text().toInt();
    s.view = m_viewCombo->currentIndex() == 1 ? HistogramView::Month : HistogramView::Year;
    s.direction = m_sentRadio->isChecked() ? Direction::UL : m_bothRadio->isChecked() ? Direction::DLUL : Direction::DL;
    return s;
}

void HistogramWindow::setSelection(const HistogramSelection& s)
{
    m_yearEdit->setText(QString::number(s.year));
    m_monthEdit->setText(QString::number(s.month));
    m_viewCombo->setCurrentIndex(s.view == HistogramView::Month ? 1 : 0);
}

void HistogramWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    redraw();
}

void HistogramWindow::stepSelection(HistogramSelection (*step)(HistogramSelection))
{
    setSelection(step(selection()));
    redraw();
}

void HistogramWindow::clearChart()
{
    QPixmap blankFrame(kFrameWidth, kFrameHeight);
    blankFrame.fill(Qt::white);
    m_axesImage->setPixmap(blankFrame);
    QPixmap blankBars(kBarsWidth, kBarsHeight);
    blankBars.fill(Qt::white);
    m_barsImage->setPixmap(blankBars);
}

void HistogramWindow::redraw()
{
    // The chart is drawn whatever the check says: without nic.inf it shows empty axes.
    m_chooser.checkBeforeReading(this);
    clearChart();
    const HistogramSelection s = selection();
    m_buckets = LoadBuckets(m_chooser.selectedDirectory(), s);
    const HistogramImages images = RenderHistogram(m_buckets, s, m_font, devicePixelRatioF());
    m_axesImage->setPixmap(QPixmap::fromImage(images.frame));
    m_barsImage->setPixmap(QPixmap::fromImage(images.bars));
    if (m_readOutShown)
        setReadOut(ReadOut(m_buckets, s, m_lastX));
}

void HistogramWindow::openChooser()
{
    if (m_navigator)
        m_navigator->openChooser();
}

void HistogramWindow::showReadOut(int x)
{
    m_lastX = x;
    m_readOutShown = true;
    setReadOut(ReadOut(m_buckets, selection(), x));
}

void HistogramWindow::setReadOut(const QString& text)
{
    m_readOutLabel->setText(text);
    m_readOutLabel->adjustSize();
    m_readOutLabel->move(std::min(kReadOutLeft, kReadOutRightLimit - m_readOutLabel->width()), kReadOutTop);
}

void HistogramWindow::clickBars(Qt::MouseButton button, int x)
{
    const ClickOutcome out = Click(selection(), m_buckets, button, x, m_lastX);
    switch (out.action)
    {
    case ClickOutcome::Action::None:
        break;
    case ClickOutcome::Action::Redraw:
        setSelection(out.selection);
        redraw();
        break;
    case ClickOutcome::Action::OpenHistory:
        if (m_navigator)
            m_navigator->setDateAndDraw(out.historyDate);
        break;
    }
}

bool HistogramWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_barsImage)
    {
        if (event->type() == QEvent::MouseMove)
            showReadOut(static_cast<QMouseEvent*>(event)->position().toPoint().x());
        else if (event->type() == QEvent::MouseButtonRelease)
        {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            clickBars(mouse->button(), mouse->position().toPoint().x());
        }
    }
    return QDialog::eventFilter(watched, event);
}
