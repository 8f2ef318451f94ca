#include "meter/widgets/MeterWindow.h"

#include "common/Colour.h"
#include "common/widgets/Named.h"
#include "common/ErrorReporter.h"
#include "common/NumberText.h"
#include "config/ScalePresets.h"
#include "config/Settings.h"
#include "meter/MeterDrawing.h"
#include "sampling/Sampler.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kManualScaleIndex = 8;
constexpr int kSnapshotIconWidth = 20;
constexpr int kSnapshotIconHeight = 17;
constexpr double kWheelUp = 1.2;
constexpr double kWheelDown = 0.8333333333333334;

QColor Background()
{
    return QColor::fromRgb(BgrToArgb(kMeterBackground));
}

QWidget* Panel(const char* name, QWidget* parent)
{
    auto* panel = Named(new QWidget(parent), name);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Background());
    panel->setPalette(palette);
    return panel;
}

// The camera drawn on the snapshot button.
QPixmap CameraIcon()
{
    QImage image(kSnapshotIconWidth, kSnapshotIconHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(90, 90, 100));
    p.drawRoundedRect(QRectF(1.5, 4.5, 17, 11), 2, 2);
    p.drawRect(QRectF(6.5, 2.5, 6, 2));
    p.setBrush(QColor(200, 220, 240));
    p.drawEllipse(QPointF(10, 10), 3.5, 3.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 60));
    p.drawRect(QRectF(3, 6, 2, 1.5));
    return QPixmap::fromImage(image);
}

int32_t ClampFullScale(long double value)
{
    return static_cast<int32_t>(
        std::clamp(value, static_cast<long double>(kMinFullScale), static_cast<long double>(kMaxFullScale)));
}
} // namespace

MeterImage::MeterImage(QWidget* parent) : QWidget(parent) {}

void MeterImage::setPicture(QImage picture)
{
    m_picture = std::move(picture);
    update();
}

void MeterImage::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_picture);
}

MeterWindow::MeterWindow(Settings& settings, Sampler& sampler, const Clock& clock, ErrorReporter& errors,
                         QString storeRoot, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_sampler(sampler), m_clock(clock), m_errors(errors),
      m_storeRoot(std::move(storeRoot))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Tachymetre"));
    // A tool window: no task-bar button.
    applyWindowFlags();
    QWidget::setMinimumHeight(50);
    setMinimumWidth(60);
    setMaximumWidth(1024);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Background());
    setPalette(palette);

    buildControls();
    buildMenu();

    Button1->setVisible(m_settings.debugMode());
    Label2->setVisible(m_settings.debugMode());
    Label3->setVisible(m_settings.debugMode());

    // The ring and the rate text start empty.
    m_settings.setPrimed(false);
    m_tick.reset();
    Label1->setText(m_tick.rateText());

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &MeterWindow::Timer1Timer);

    readSettings();

    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            ApplicationEvents1Activate();
    });

    // The layout, behaviour and legend follow the settings from now on.
    applySettings();
    connect(&m_settings, &Settings::changed, this, &MeterWindow::settingChanged);
    connect(&m_settings, &Settings::refreshPositionChanged, this,
            [this] { setTimerInterval(m_settings.refreshPeriodMs()); });
    connect(&m_settings, &Settings::aboutToSave, this, &MeterWindow::storeGeometry);
    FormResize();
    Timer1->start();
}

MeterWindow::~MeterWindow() = default;

void MeterWindow::applySettings()
{
    setTimerInterval(m_settings.refreshPeriodMs());
    setStayOnTop(m_settings.value(settings::MeterStayOnTop));
    setStayOnTopChecked(m_settings.value(settings::MeterStayOnTop));
    setTranslucent(m_settings.value(settings::MeterTranslucent));
    setOpacityLevel(m_settings.value(settings::MeterOpacity));
    if (!m_settings.value(settings::MeterGraphShown))
        hideGraph();
    setFrameless(m_settings.value(settings::MeterCompact));
    setCompactChecked(m_settings.value(settings::MeterCompact));
    setSnapshotIconVisible(!m_settings.value(settings::MeterCompact));
    redrawLegend();
}

void MeterWindow::settingChanged(int row)
{
    using namespace settings;
    if (Settings::is(row, MeterStayOnTop))
    {
        setStayOnTop(m_settings.value(MeterStayOnTop));
        setStayOnTopChecked(m_settings.value(MeterStayOnTop));
    }
    else if (Settings::is(row, MeterTranslucent))
        setTranslucent(m_settings.value(MeterTranslucent));
    else if (Settings::is(row, MeterOpacity))
        setOpacityLevel(m_settings.value(MeterOpacity));
    else if (Settings::is(row, MeterGraphShown))
    {
        if (m_settings.value(MeterGraphShown))
            showGraph();
        else
            hideGraph();
    }
    else if (Settings::is(row, MeterCompact))
    {
        setFrameless(m_settings.value(MeterCompact));
        setCompactChecked(m_settings.value(MeterCompact));
        setSnapshotIconVisible(!m_settings.value(MeterCompact));
    }
    else if (Settings::is(row, MeterUnitOctets) || Settings::is(row, MeterGradations) ||
             Settings::is(row, MeterGradationSeconds) || Settings::is(row, MeterFullScale))
        redrawLegend();
}

void MeterWindow::showGraph()
{
    setMinimumHeight(50);
    setTitleBarHeight(m_frameHeight);
    setClientHeight(m_graphHeight);
    setGraphVisible(true);
}

void MeterWindow::hideGraph()
{
    // The two sizes are remembered, in whole pixels, for the way back; they are not stored.
    setMinimumHeight(19);
    m_graphHeight = clientHeight();
    setClientHeight(titleBarHeight());
    setGraphVisible(false);
    m_frameHeight = titleBarHeight();
    setTitleBarHeight(clientHeight());
}

void MeterWindow::buildControls()
{
    Shape1 = Panel("Shape1", this);
    Shape2 = Panel("Shape2", this);

    im2 = Named(new MeterImage(this), "im2");
    im1 = Named(new MeterImage(this), "im1");
    QFont canvasFont = im1->font();
    canvasFont.setFamily(QStringLiteral("MS Sans Serif"));
    canvasFont.setPixelSize(11);
    im1->setFont(canvasFont);

    Label1 = Named(new QLabel(this), "Label1");
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(13);
    Label1->setFont(titleFont);
    Label1->setAttribute(Qt::WA_TranslucentBackground);

    Image1 = Named(new QLabel(this), "Image1");
    Image1->setPixmap(CameraIcon());
    Image1->resize(kSnapshotIconWidth, kSnapshotIconHeight);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QStringLiteral("Capture"));

    lbEch = Named(new QLabel(this), "lbEch");
    QFont readoutFont(QStringLiteral("MS Sans Serif"));
    readoutFont.setPixelSize(11);
    lbEch->setFont(readoutFont);
    lbEch->setStyleSheet(QStringLiteral("color: red; background: transparent;"));
    lbEch->move(56, 24);
    lbEch->hide();

    Button1 = Named(new QPushButton(QStringLiteral("ARRET"), this), "Button1");
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setBold(true);
    Button1->setFont(buttonFont);
    Button1->setStyleSheet(QStringLiteral("color: red;"));
    Button1->setGeometry(60, 40, 60, 22);
    Label2 = Named(new QLabel(QStringLiteral("Label2"), this), "Label2");
    Label2->move(130, 44);
    Label3 = Named(new QLabel(QStringLiteral("Label3"), this), "Label3");
    Label3->move(180, 44);
    connect(Button1, &QPushButton::clicked, this, &MeterWindow::Button1Click);

    for (QWidget* w : {static_cast<QWidget*>(Shape1), static_cast<QWidget*>(Label1), static_cast<QWidget*>(im1)})
    {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    Image1->installEventFilter(this);
    lbEch->raise();
}

void MeterWindow::buildMenu()
{
    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    popAOT = Named(PopupMenu1->addAction(QStringLiteral("Toujours au &dessus")), "popAOT");
    popAOT->setCheckable(true);
    popAOT->setChecked(true);
    Configuration1 = Named(PopupMenu1->addAction(QStringLiteral("&Configuration")), "Configuration1");
    Modemicro1 = Named(PopupMenu1->addAction(QStringLiteral("&Mode Compact")), "Modemicro1");
    Modemicro1->setCheckable(true);
    VitesseMoyenne1 = Named(PopupMenu1->addMenu(QStringLiteral("Vitesse Moyenne")), "VitesseMoyenne1");
    auto* averages = new QActionGroup(this);
    averages->setExclusive(true);
    Aucun1 = Named(VitesseMoyenne1->addAction(QStringLiteral("Aucun")), "Aucun1");
    Reception1 = Named(VitesseMoyenne1->addAction(QStringLiteral("Reception")), "Reception1");
    Envoi1 = Named(VitesseMoyenne1->addAction(QStringLiteral("Envoi")), "Envoi1");
    for (QAction* a : {Aucun1, Reception1, Envoi1})
    {
        a->setCheckable(true);
        averages->addAction(a);
    }
    Aucun1->setChecked(true);
    N1 = Named(PopupMenu1->addSeparator(), "N1");
    Fermer1 = Named(PopupMenu1->addAction(QStringLiteral("Fermer")), "Fermer1");

    // popAOT and Modemicro1 take their check marks from the configuration window, not from the click.
    connect(popAOT, &QAction::triggered, this, &MeterWindow::popAOTClick);
    connect(Configuration1, &QAction::triggered, this, &MeterWindow::Configuration1Click);
    connect(Modemicro1, &QAction::triggered, this, &MeterWindow::Modemicro1Click);
    connect(Aucun1, &QAction::triggered, this, &MeterWindow::Aucun1Click);
    connect(Reception1, &QAction::triggered, this, &MeterWindow::Reception1Click);
    connect(Envoi1, &QAction::triggered, this, &MeterWindow::Envoi1Click);
    connect(Fermer1, &QAction::triggered, this, &MeterWindow::Fermer1Click);
}

void MeterWindow::readSettings()
{
    // Defaults stand in for a missing "lrec" or a missing or invalid value: the form's own bounds.
    const int width = m_settings.value(settings::MeterWidth);
    const int height = m_settings.value(settings::MeterHeight);
    const int top = m_settings.value(settings::MeterTop);
    const int left = m_settings.value(settings::MeterLeft);
    resize(std::clamp(width, 60, 1024), std::max(height, 19));
    move(left, top);

    switch (m_settings.value(settings::MeterAverage))
    {
    case 1:
        setAverageChoice(AverageChoice::Received);
        break;
    case 2:
        setAverageChoice(AverageChoice::Sent);
        break;
    default:
        setAverageChoice(AverageChoice::None);
        break;
    }
}

void MeterWindow::storeGeometry()
{
    m_settings.set(settings::MeterWidth, width());
    m_settings.set(settings::MeterHeight, height());
    m_settings.set(settings::MeterTop, y());
    m_settings.set(settings::MeterLeft, x());
    const int32_t average = m_averageChoice == AverageChoice::Received ? 1
                            : m_averageChoice == AverageChoice::Sent   ? 2
                                                                       : 0;
    m_settings.set(settings::MeterAverage, average);
}

void MeterWindow::addTrayMenu(QMenu* trayMenu)
{
    if (!trayMenu)
        return;
    PopupMenu1->addSeparator();
    PopupMenu1->addActions(trayMenu->actions());
}

bool MeterWindow::staysOnTop() const
{
    return popAOT->isChecked();
}

void MeterWindow::raiseTopMost()
{
    if (isVisible() && m_stayOnTop)
        raise();
}

QString MeterWindow::SnapshotFileName(const QDateTime& when) const
{
    // Written out field by field: no process-wide format is involved.
    return m_storeRoot + QStringLiteral("VORP ") + when.toString(QStringLiteral("yyyy-MM-dd hh;mm;ss")) +
           QStringLiteral(".bmp");
}

// ---- Layout and behaviour

void MeterWindow::redrawLegend()
{
    LegendInput input;
    input.fullScale = m_settings.value(settings::MeterFullScale);
    input.gradations = m_settings.value(settings::MeterGradations);
    input.verticalSpacing = m_settings.value(settings::MeterGradationSeconds);
    input.unitMultiplier = m_settings.value(settings::MeterUnitOctets) ? 1 : 8;
    input.graphSize = im2->size();
    input.font = im1->font();
    m_pixelScale = LegendLayout(input).pixelScale;
    if (!m_settings.value(settings::MeterGraphShown))
        return;
    im1->setPicture(DrawLegend(input));
}

void MeterWindow::setTimerInterval(int milliseconds)
{
    Timer1->setInterval(milliseconds);
}

int MeterWindow::timerInterval() const
{
    return Timer1->interval();
}

void MeterWindow::setStayOnTop(bool on)
{
    if (on == m_stayOnTop)
        return;
    m_stayOnTop = on;
    applyWindowFlags();
}

void MeterWindow::setTranslucent(bool on)
{
    m_translucent = on;
    setWindowOpacity(m_translucent ? m_alpha / 255.0 : 1.0);
}

void MeterWindow::setOpacityLevel(int alpha)
{
    m_alpha = std::clamp(alpha, 0, 255);
    setWindowOpacity(m_translucent ? m_alpha / 255.0 : 1.0);
}

int MeterWindow::clientHeight() const
{
    return height();
}

void MeterWindow::setClientHeight(int h)
{
    resize(width(), std::max(h, minimumHeight()));
    FormResize();
}

int MeterWindow::titleBarHeight() const
{
    return m_titleHeight;
}

void MeterWindow::setTitleBarHeight(int h)
{
    m_titleHeight = std::clamp(h, kTitleMinHeight, kTitleMaxHeight);
    FormResize();
}

void MeterWindow::setMinimumHeight(int h)
{
    QWidget::setMinimumHeight(h);
}

void MeterWindow::setGraphVisible(bool visible)
{
    Shape2->setVisible(visible);
    im1->setVisible(visible);
    im2->setVisible(visible);
    FormResize();
}

void MeterWindow::setFrameless(bool frameless)
{
    if (frameless == m_frameless)
        return;
    m_frameless = frameless;
    applyWindowFlags();
}

void MeterWindow::setSnapshotIconVisible(bool visible)
{
    Image1->setVisible(visible);
}

void MeterWindow::setStayOnTopChecked(bool checked)
{
    popAOT->setChecked(checked);
}

void MeterWindow::setCompactChecked(bool checked)
{
    Modemicro1->setChecked(checked);
}

void MeterWindow::applyWindowFlags()
{
    Qt::WindowFlags flags = Qt::Tool;
    if (m_frameless)
        flags |= Qt::FramelessWindowHint;
    else
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (m_stayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    if (flags == windowFlags())
        return;
    // Changing the flags hides a shown window; it comes back where it was.
    const bool shown = isVisible();
    const QPoint where = pos();
    setWindowFlags(flags);
    if (shown)
    {
        move(where);
        show();
    }
}

// ---- Layout and the tick

int MeterWindow::labelTextWidth() const
{
    return QFontMetrics(Label1->font()).horizontalAdvance(m_tick.rateText());
}

void MeterWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void MeterWindow::FormResize()
{
    if (m_inLayout)
        return;
    m_inLayout = true;
    MeterLayoutInput input;
    input.client = size();
    input.graphShown = m_settings.value(settings::MeterGraphShown);
    input.compact = m_settings.value(settings::MeterCompact);
    input.titleHeight = m_titleHeight;
    input.titleTextWidth = labelTextWidth();
    input.snapshotIconWidth = Image1->width();
    const MeterFormLayout layout = FormResizeLayout(input);

    if (layout.clientHeight != height())
        resize(width(), layout.clientHeight);
    m_titleHeight = layout.shape1.height();
    Shape1->setGeometry(layout.shape1);
    if (layout.fitTitleFont)
        Label1->setFont(FitTitleFont(Label1->font(), m_tick.rateText(), layout.shape1.width() - Image1->width() - 2,
                                     layout.shape1.height()));
    const QFontMetrics metrics(Label1->font());
    const int textWidth = metrics.horizontalAdvance(m_tick.rateText());
    Label1->setGeometry((layout.shape1.width() - Image1->width() - textWidth) / 2,
                        std::max(0, (layout.shape1.height() - metrics.height()) / 2), textWidth + 1, metrics.height());
    Shape2->setGeometry(layout.shape2);
    Image1->move(layout.image1Left, std::max(0, (layout.shape1.height() - Image1->height()) / 2));
    im2->setGeometry(layout.im2);
    im1->setGeometry(layout.im1);
    m_inLayout = false;

    redrawLegend();
    tick(false);
}

void MeterWindow::Timer1Timer()
{
    tick(true);
}

void MeterWindow::tick(bool timerTick)
{
    const QString& text = m_tick.rateText();
    if (timerTick)
    {
        MeterSettings input;
        input.positionCount = m_settings.interfaceCount();
        input.graph1.resize(static_cast<size_t>(input.positionCount));
        input.graph2.resize(static_cast<size_t>(input.positionCount));
        for (int i = 0; i < input.positionCount; ++i)
        {
            const InterfaceMarks marks = m_settings.marks(i);
            input.graph1[static_cast<size_t>(i)] = marks.graph1;
            input.graph2[static_cast<size_t>(i)] = marks.graph2;
        }
        input.refreshPosition = m_settings.refreshPosition();
        input.octets = m_settings.value(settings::MeterUnitOctets);
        input.scaleIndex = m_settings.value(settings::MeterScaleIndex);
        input.graphWidth = im2->width();

        // One snapshot serves every ticked interface of both graphs.
        const InterfaceTable table = m_sampler.FetchInterfaceTable().value_or(InterfaceTable{});
        bool primed = m_settings.primed();
        const MeterTickResult result = m_tick.Timer1Timer(table, input, primed, m_feed);
        m_settings.setPrimed(primed);
        if (result.fullScale)
        {
            // The model's change signal redraws the legend when the value moves.
            m_settings.set(settings::MeterFullScale, *result.fullScale);
            m_pixelScale = PixelScale(im2->height(), m_settings.value(settings::MeterFullScale));
        }
        if (m_trayPeer)
            m_trayPeer(text, result.iconIndex);
    }

    const QFontMetrics before(Label1->font());
    if (!m_settings.value(settings::MeterCompact))
    {
        Label1->setFont(FitTitleFont(Label1->font(), text, Shape1->width() - 2, Shape1->height()));
    }
    else
    {
        // Compact: the window hugs the text.
        const int w = before.horizontalAdvance(text) + 2;
        const int h = before.height() + 2;
        m_titleHeight = std::clamp(h, kTitleMinHeight, kTitleMaxHeight);
        if (size() != QSize(w, h))
            resize(w, h);
    }
    if (timerTick)
    {
        const QFontMetrics metrics(Label1->font());
        const int textWidth = metrics.horizontalAdvance(text);
        Label1->setText(text);
        Label1->setGeometry((Shape1->width() - textWidth) / 2, std::max(0, (Shape1->height() - metrics.height()) / 2),
                            textWidth + 1, metrics.height());
    }

    if (m_settings.value(settings::MeterGraphShown) && isVisible())
        drawGraph();
}

void MeterWindow::drawGraph()
{
    MeterColours colours;
    colours.received1 = m_settings.colour(1);
    colours.sent1 = m_settings.colour(2);
    colours.received2 = m_settings.colour(3);
    colours.sent2 = m_settings.colour(4);
    colours.intersection = m_settings.colour(5);
    m_average =
        m_painter.DrawHistory(im2->buffer(), im2->size(), m_tick.ring(), m_pixelScale, colours, m_averageChoice);
    im2->update();
}

// ---- Mouse

bool MeterWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1)
    {
        if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        {
            Image1Click();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    auto* sender = qobject_cast<QWidget*>(watched);
    if (sender != Shape1 && sender != Label1 && sender != im1)
        return QWidget::eventFilter(watched, event);
    switch (event->type())
    {
    case QEvent::MouseButtonPress: {
        const auto* e = static_cast<QMouseEvent*>(event);
        Shape1MouseDown(sender, e->button(), e->position().toPoint());
        return false;
    }
    case QEvent::MouseMove: {
        const auto* e = static_cast<QMouseEvent*>(event);
        Shape1MouseMove(sender, e->buttons(), e->position().toPoint());
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto* e = static_cast<QMouseEvent*>(event);
        Shape1MouseUp(sender, e->button(), e->position().toPoint());
        return false;
    }
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        {
            if (sender == Label1)
                Label1DblClick();
            else if (sender == im1)
                im1DblClick();
        }
        return false;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void MeterWindow::showReadout(const QString& text)
{
    lbEch->setText(text);
    lbEch->adjustSize();
    lbEch->show();
    lbEch->raise();
}

void MeterWindow::Shape1MouseDown(QWidget*, Qt::MouseButton button, QPoint pos)
{
    m_buttonHeld = true;
    if (button == Qt::MiddleButton)
    {
        m_periodDrag = true;
        lbEch->show();
        lbEch->raise();
    }
    m_last = pos;
}

void MeterWindow::Shape1MouseMove(QWidget* sender, Qt::MouseButtons buttons, QPoint pos)
{
    if (m_buttonHeld)
        m_dragOffset += pos - m_last;
    if (!(buttons & Qt::MiddleButton))
    {
        lbEch->hide();
        m_periodDrag = false;
    }
    if (m_periodDrag && m_buttonHeld && pos.y() != m_last.y())
    {
        // The stopwatch holds the period while it runs.
        const int step = pos.y() > m_last.y() ? 1 : -1;
        if (!m_settings.refreshLocked())
            m_settings.setRefreshPosition(m_settings.refreshPosition() + step);
        showReadout(RefreshPeriodText(m_settings.refreshPosition()));
    }
    m_last = pos;

    if (sender != im1)
        return;
    const long double line = std::trunc(static_cast<long double>(im2->height()) -
                                        static_cast<long double>(m_average) * static_cast<long double>(m_pixelScale));
    if (m_averageChoice != AverageChoice::None && static_cast<long double>(pos.y()) == line)
        showReadout(FloatText(CutTenths(static_cast<long double>(m_average) / kKilo)) + QStringLiteral("ko/s"));
    else if (lbEch->isVisible() && !m_periodDrag)
        // A period drag that passes over the graph keeps showing the period.
        lbEch->hide();
}

void MeterWindow::Shape1MouseUp(QWidget*, Qt::MouseButton button, QPoint)
{
    // The window jumps once, on release, by the whole displacement of a left-button drag.
    if (button == Qt::LeftButton && m_buttonHeld)
        move(pos() + m_dragOffset);
    m_dragOffset = QPoint();
    m_buttonHeld = false;
}

void MeterWindow::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta > 0)
        FormMouseWheelUp();
    else if (delta < 0)
        FormMouseWheelDown();
    event->accept();
}

void MeterWindow::setFullScaleFromWheel(double factor)
{
    lbEch->show();
    // Manual mode without the preset's 1025.
    m_settings.set(settings::MeterScaleIndex, kManualScaleIndex);
    const long double product =
        std::trunc(static_cast<double>(m_settings.value(settings::MeterFullScale)) * factor);
    showReadout(QString::number(static_cast<qint64>(product)));
    m_settings.set(settings::MeterFullScale, ClampFullScale(product));
}

void MeterWindow::FormMouseWheelUp()
{
    setFullScaleFromWheel(kWheelUp);
}

void MeterWindow::FormMouseWheelDown()
{
    setFullScaleFromWheel(kWheelDown);
    if (m_settings.value(settings::MeterFullScale) <= kMinFullScale)
    {
        m_settings.set(settings::MeterScaleIndex, kAutomaticScaleIndex);
        showReadout(QStringLiteral("Auto"));
    }
}

void MeterWindow::Label1DblClick()
{
    Modemicro1Click();
}

void MeterWindow::im1DblClick()
{
    setFrameless(!m_frameless);
}

// ---- Menu

void MeterWindow::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu takes the button's release: a press must not leave a drag half done.
    m_buttonHeld = false;
    m_periodDrag = false;
    m_dragOffset = QPoint();
    PopupMenu1->popup(event->globalPos());
    event->accept();
}

void MeterWindow::popAOTClick()
{
    m_settings.set(settings::MeterStayOnTop, !m_settings.value(settings::MeterStayOnTop));
    popAOT->setChecked(m_settings.value(settings::MeterStayOnTop));
}

void MeterWindow::Configuration1Click()
{
    if (m_showConfigurationPeer)
        m_showConfigurationPeer();
}

void MeterWindow::Modemicro1Click()
{
    m_settings.set(settings::MeterCompact, !m_settings.value(settings::MeterCompact));
    Modemicro1->setChecked(m_settings.value(settings::MeterCompact));
}

void MeterWindow::setAverageChoice(AverageChoice choice)
{
    m_averageChoice = choice;
    Aucun1->setChecked(choice == AverageChoice::None);
    Reception1->setChecked(choice == AverageChoice::Received);
    Envoi1->setChecked(choice == AverageChoice::Sent);
    if (m_settings.value(settings::MeterGraphShown) && isVisible())
        drawGraph();
}

void MeterWindow::Aucun1Click()
{
    setAverageChoice(AverageChoice::None);
}

void MeterWindow::Reception1Click()
{
    setAverageChoice(AverageChoice::Received);
}

void MeterWindow::Envoi1Click()
{
    setAverageChoice(AverageChoice::Sent);
}

void MeterWindow::Fermer1Click()
{
    hide();
    if (m_meterItemPeer)
        m_meterItemPeer(false);
}

// ---- Close, activation, snapshot, debug

bool MeterWindow::FormCloseQuery()
{
    storeGeometry();
    if (m_meterItemPeer)
        m_meterItemPeer(false);
    // The application writes the settings file at once.
    emit closed();
    return true;
}

void MeterWindow::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void MeterWindow::ApplicationEvents1Activate()
{
    if (m_activatePeer)
        m_activatePeer();
}

void MeterWindow::Button1Click()
{
    if (m_toggleRecordingPeer)
        m_toggleRecordingPeer();
}

void MeterWindow::Image1Click()
{
    const bool iconShown = Image1->isVisible();
    Image1->hide();
    // The icon comes back whatever happens below.
    struct Restore
    {
        QLabel* icon;
        bool shown;
        ~Restore() { icon->setVisible(shown); }
    } restore{Image1, iconShown};

    const QImage shot = grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(shot);

    const QString path = SnapshotFileName(m_clock.now());
    QSaveFile file(path);
    const bool saved = !shot.isNull() && file.open(QIODevice::WriteOnly) && shot.save(&file, "BMP") && file.commit();
    if (!saved)
    {
        file.cancelWriting();
        m_errors.showError(QStringLiteral("Impossible d'écrire dans %1").arg(path));
    }
}
