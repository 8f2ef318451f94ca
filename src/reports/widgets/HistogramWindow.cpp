#include "reports/widgets/HistogramWindow.h"

#include <algorithm>

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

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(8, 48, 713, 305);
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setStyleSheet(QStringLiteral("background: white;"));

    imL = new QLabel(this);
    imL->setObjectName(QStringLiteral("imL"));
    imL->setGeometry(9, 49, kFrameWidth, kFrameHeight);
    imG = new QLabel(this);
    imG->setObjectName(QStringLiteral("imG"));
    imG->setGeometry(9 + kOffsetX, 49 + kOffsetY, kBarsWidth, kBarsHeight);
    imG->setMouseTracking(true);
    imG->installEventFilter(this);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(584, 72);
    Label1->setMinimumWidth(130);
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);

    cbMode = new QComboBox(this);
    cbMode->setObjectName(QStringLiteral("cbMode"));
    cbMode->setGeometry(8, 8, 113, 21);
    cbMode->addItems({QStringLiteral("Année"), QStringLiteral("Mois")});

    Edit2 = DisabledEdit(this, "Edit2", 136, 25);
    bpm = SmallButton(this, "bpm", QStringLiteral("+"), 160, 9);
    bmm = SmallButton(this, "bmm", QStringLiteral("-"), 160, 20);
    Edit1 = DisabledEdit(this, "Edit1", 176, 41);
    bpa = SmallButton(this, "bpa", QStringLiteral("+"), 216, 9);
    bma = SmallButton(this, "bma", QStringLiteral("-"), 216, 20);

    rbDL = new QRadioButton(QStringLiteral("DL"), this);
    rbDL->setObjectName(QStringLiteral("rbDL"));
    rbDL->move(240, 0);
    rbUL = new QRadioButton(QStringLiteral("UL"), this);
    rbUL->setObjectName(QStringLiteral("rbUL"));
    rbUL->move(240, 16);
    rbDLUL = new QRadioButton(QStringLiteral("DL/UL"), this);
    rbDLUL->setObjectName(QStringLiteral("rbDLUL"));
    rbDLUL->move(240, 32);
    rbDL->setChecked(true);

    btDes = new QPushButton(QStringLiteral("dessin (visible=0)"), this);
    btDes->setObjectName(QStringLiteral("btDes"));
    btDes->hide();
    btEff = new QPushButton(QStringLiteral("effacer (visible=0)"), this);
    btEff->setObjectName(QStringLiteral("btEff"));
    btEff->hide();

    BitBtn1 = new QPushButton(QStringLiteral("Selectionner une interface à visualiser"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    // Wide enough for its caption in the desktop's font, right-aligned where the design puts it.
    const int width = std::max(209, BitBtn1->sizeHint().width());
    BitBtn1->setGeometry(721 - width, 8, width, 25);

    HistogramSelection s;
    s.year = today.year();
    s.month = today.month();
    setSelection(s);

    for (QPushButton* b : {bpm, bmm, bpa, bma})
        connect(b, &QPushButton::clicked, this, [this, b] { bpmClick(b); });
    connect(cbMode, &QComboBox::activated, this, [this] { bpmClick(cbMode); });
    for (QRadioButton* r : {rbDL, rbUL, rbDLUL})
        connect(r, &QRadioButton::clicked, this, [this, r] { bpmClick(r); });
    connect(btDes, &QPushButton::clicked, this, &HistogramWindow::btDesClick);
    connect(btEff, &QPushButton::clicked, this, &HistogramWindow::btEffClick);
    connect(BitBtn1, &QPushButton::clicked, this, &HistogramWindow::BitBtn1Click);
}

HistogramSelection HistogramWindow::selection() const
{
    HistogramSelection s;
    s.year = Edit1->text().toInt();
    s.month = Edit2->text().toInt();
    s.view = cbMode->currentIndex() == 1 ? HistogramView::Month : HistogramView::Year;
    s.direction = rbUL->isChecked() ? Direction::UL : rbDLUL->isChecked() ? Direction::DLUL : Direction::DL;
    return s;
}

void HistogramWindow::setSelection(const HistogramSelection& s)
{
    Edit1->setText(QString::number(s.year));
    Edit2->setText(QString::number(s.month));
    cbMode->setCurrentIndex(s.view == HistogramView::Month ? 1 : 0);
}

void HistogramWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    btDesClick();
}

void HistogramWindow::bpmClick(QObject* sender)
{
    const HistogramSelection s = selection();
    if (sender == bpm)
        setSelection(NextMonth(s));
    else if (sender == bmm)
        setSelection(PreviousMonth(s));
    else if (sender == bpa)
        setSelection(NextYear(s));
    else if (sender == bma)
        setSelection(PreviousYear(s));
    btDesClick();
}

void HistogramWindow::btEffClick()
{
    QPixmap blankFrame(kFrameWidth, kFrameHeight);
    blankFrame.fill(Qt::white);
    imL->setPixmap(blankFrame);
    QPixmap blankBars(kBarsWidth, kBarsHeight);
    blankBars.fill(Qt::white);
    imG->setPixmap(blankBars);
}

void HistogramWindow::btDesClick()
{
    // The chart is drawn whatever the check says: without nic.inf it shows empty axes.
    m_chooser.OpeningCheck();
    btEffClick();
    const HistogramSelection s = selection();
    m_buckets = LoadBuckets(m_chooser.selectedDirectory(), s);
    const HistogramImages images = RenderHistogram(m_buckets, s, m_font);
    imL->setPixmap(QPixmap::fromImage(images.frame));
    imG->setPixmap(QPixmap::fromImage(images.bars));
}

void HistogramWindow::BitBtn1Click()
{
    if (m_navigator)
        m_navigator->openChooser();
}

void HistogramWindow::imGMouseMove(int x)
{
    m_lastX = x;
    Label1->setText(ReadOut(m_buckets, selection(), x));
}

void HistogramWindow::imGMouseUp(Qt::MouseButton button, int x)
{
    const ClickOutcome out = Click(selection(), m_buckets, button, x, m_lastX);
    switch (out.action)
    {
    case ClickOutcome::Action::None:
        break;
    case ClickOutcome::Action::Redraw:
        setSelection(out.selection);
        btDesClick();
        break;
    case ClickOutcome::Action::OpenHistory:
        if (m_navigator)
            m_navigator->setDateAndDraw(out.historyDate);
        break;
    }
}

bool HistogramWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == imG)
    {
        if (event->type() == QEvent::MouseMove)
            imGMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint().x());
        else if (event->type() == QEvent::MouseButtonRelease)
        {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            imGMouseUp(mouse->button(), mouse->position().toPoint().x());
        }
    }
    return QDialog::eventFilter(watched, event);
}
