// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/widgets/MeterWindow.h"

#include "common/Colour.h"
#include "common/ErrorReporter.h"
#include "common/NumberText.h"
#include "common/widgets/Named.h"
#include "common/widgets/Readable.h"
#include "config/ScalePresets.h"
#include "config/Settings.h"
#include "meter/MeterDrawing.h"
#include "meter/MeterPlacement.h"
#include "sampling/Sampler.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

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

QList<QRect> AvailableScreenAreas()
{
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    return screens;
}

int32_t ClampFullScale(long double value)
{
    return static_cast<int32_t>(
        std::clamp(value, static_cast<long double>(kMinFullScale), static_cast<long double>(kMaxFullScale)));
}
} // namespace

// The rate text changes on every tick. A label lays its text out in lines before drawing it, which cost
// as much again as the drawing; this one draws its one line straight, to the same pixels (plain text, the
// label's default alignment, no margin, indent or frame), from the layout that measured it when it can.
class RateLabel final : public QLabel
{
public:
    explicit RateLabel(QWidget* parent) : QLabel(parent)
    {
        // A label of fixed size asks its parent for no new layout when its text changes.
        setFixedSize(size());
        setTextFormat(Qt::PlainText);
    }

    // The text measured for placing it, shaped: drawn when it is this label's text in this label's font.
    void setShaped(std::shared_ptr<const QTextLayout> shaped) { m_shaped = std::move(shaped); }

    void place(const QRect& rect)
    {
        if (rect.size() != size())
            setFixedSize(rect.size());
        move(rect.topLeft());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (text().isEmpty())
            return;
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        // Centred as the label centres its line, whole pixels down from the top.
        const auto top = [this](qreal ascent, qreal descent) {
            return static_cast<int>((height() - (ascent + descent)) / 2);
        };
        if (m_shaped && m_shaped->lineCount() == 1 && m_shaped->text() == text() && m_shaped->font() == font())
        {
            const QTextLine line = m_shaped->lineAt(0);
            m_shaped->draw(&painter, QPointF(0, top(line.ascent(), line.descent())));
            return;
        }
        const QFontMetricsF metrics(font());
        painter.drawText(QPointF(0, top(metrics.ascent(), metrics.descent()) + metrics.ascent()), text());
    }

private:
    std::shared_ptr<const QTextLayout> m_shaped;
};

MeterImage::MeterImage(QWidget* parent) : QWidget(parent) {}

void MeterImage::setPicture(QImage picture, const QRect& changed)
{
    m_picture = std::move(picture);
    m_graph = nullptr;
    if (!changed.isEmpty())
        update(changed);
}

void MeterImage::setGraph(const ScrollingGraph* graph, const QRect& changed)
{
    m_picture = QImage();
    m_graph = graph;
    if (!changed.isEmpty())
        update(changed);
}

void MeterImage::setPaintedPart(const QRect& part)
{
    m_paintedPart = part;
    update();
}

void MeterImage::setBackground(const QColor& background)
{
    m_background = background;
    setAttribute(Qt::WA_OpaquePaintEvent, background.isValid());
    update();
}

void MeterImage::paintEvent(QPaintEvent* event)
{
    QRect area = event->rect();
    if (!m_paintedPart.isNull())
        area &= m_paintedPart;
    const QSize pictureSize = m_graph ? m_graph->size() : m_picture.deviceIndependentSize().toSize();
    const QRect pictureRect(QPoint(0, 0), pictureSize);
    const bool drawPicture = area.intersects(pictureRect);
    const bool fill = m_background.isValid() && !pictureRect.contains(event->rect());
    // With the legend laid into the graph's picture, the legend control has nothing to paint over the graph.
    if (!drawPicture && !fill)
        return;
    QPainter painter(this);
    if (fill)
        painter.fillRect(event->rect(), m_background);
    if (!drawPicture)
        return;
    if (m_graph)
    {
        paintGraph(painter, event->region() & (area & pictureRect));
        return;
    }
    // Pixel for pixel the changed part alone; scaled, the whole picture under the clip, as scaling a part
    // could sample it differently.
    if (m_picture.devicePixelRatio() == 1.0 && devicePixelRatioF() == 1.0)
    {
        area &= pictureRect;
        painter.drawImage(area.topLeft(), m_picture, area);
    }
    else
        painter.drawImage(0, 0, m_picture);
}

void MeterImage::paintGraph(QPainter& painter, const QRegion& region)
{
    if (devicePixelRatioF() != 1.0)
    {
        painter.drawImage(0, 0, m_graph->picture());
        return;
    }
    if (copyGraph(painter, region))
        return;
    // A band of rows small enough to stay in the processor's cache between the two copies.
    constexpr int kBandPixels = 16384;
    for (const QRect& area : region)
    {
        const int rows = std::clamp(kBandPixels / area.width(), 1, area.height());
        if (m_band.width() < area.width() || m_band.height() < rows)
            m_band =
                QImage(std::max(m_band.width(), area.width()), std::max(m_band.height(), rows), QImage::Format_RGB32);
        auto* bits = reinterpret_cast<QRgb*>(m_band.bits());
        const qsizetype stride = m_band.bytesPerLine() / qsizetype(sizeof(QRgb));
        for (int y = area.top(); y <= area.bottom(); y += rows)
        {
            const QRect part(area.left(), y, area.width(), std::min(rows, area.bottom() + 1 - y));
            m_graph->copyOut(part, bits, stride);
            painter.drawImage(part.topLeft(), m_band, QRect(QPoint(0, 0), part.size()));
        }
    }
}

bool MeterImage::copyGraph(QPainter& painter, const QRegion& region)
{
    // On a raster image, whole pixels apart from the control, the picture's opaque pixels are copied out of
    // the graph straight into the image, within what the painter may touch: one pass over the pixels where
    // drawing an image would need the picture put together first.
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return false;
    auto* image = static_cast<QImage*>(engine->paintDevice());
    const QTransform transform = painter.deviceTransform();
    const QPoint offset(static_cast<int>(transform.dx()), static_cast<int>(transform.dy()));
    const bool opaqueFormat = image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32 ||
                              image->format() == QImage::Format_ARGB32_Premultiplied;
    if (!opaqueFormat || transform.type() > QTransform::TxTranslate || transform.dx() != offset.x() ||
        transform.dy() != offset.y() || image->devicePixelRatio() != 1.0 || !image->isDetached())
        return false;
    QRegion target = region.translated(offset) & image->rect();
    if (const QRegion clip = engine->systemClip(); !clip.isEmpty())
        target &= clip;
    if (painter.hasClipping())
        target &= painter.clipRegion().translated(offset);
    // The pixels the engine itself paints: QImage::scanLine() would count a detach the painter knows nothing of.
    auto* pixels = reinterpret_cast<QRgb*>(const_cast<uchar*>(image->constBits()));
    const qsizetype stride = image->bytesPerLine() / qsizetype(sizeof(QRgb));
    for (const QRect& part : target)
        m_graph->copyOut(part.translated(-offset), pixels + part.top() * stride + part.left(), stride);
    return true;
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
    setMinimumHeight(50);
    setMinimumWidth(60);
    setMaximumWidth(1024);
    setAutoFillBackground(true);
    // The meter's background is part of its design: its texts are the designed black on it whatever
    // the palette.
    SetFixedColours(this, Background(), Qt::black);

    buildControls();
    buildMenu();

    m_recordingButton->setVisible(m_settings.debugMode());

    // The ring and the rate text start empty.
    m_settings.setPrimed(false);
    m_tick.reset();
    m_rateLabel->setText(m_tick.rateText());

    m_tickTimer = Named(new QTimer(this), "Timer1");
    m_tickTimer->setInterval(1000);
    connect(m_tickTimer, &QTimer::timeout, this, &MeterWindow::tick);

    readSettings();

    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            reportActivation();
    });

    // The layout, behaviour and legend follow the settings from now on.
    applySettings();
    connect(&m_settings, &Settings::changed, this, &MeterWindow::settingChanged);
    connect(&m_settings, &Settings::refreshPositionChanged, this,
            [this] { setTimerInterval(m_settings.refreshPeriodMs()); });
    connect(&m_settings, &Settings::aboutToSave, this, &MeterWindow::storeGeometry);
    layOut();
    m_tickTimer->start();
}

MeterWindow::~MeterWindow()
{
    // The graph goes before the controls that show it.
    m_graphImage->setGraph(nullptr, QRect());
}

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
        const bool compact = m_settings.value(MeterCompact);
        // Compact mode hugs the text; the way back restores the width the window had.
        if (compact)
            m_normalWidth = width();
        setFrameless(compact);
        setCompactChecked(compact);
        setSnapshotIconVisible(!compact);
        if (!compact)
            resize(m_normalWidth, height());
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
    m_graphHeight = height();
    setClientHeight(m_titleHeight);
    setGraphVisible(false);
    m_frameHeight = m_titleHeight;
    setTitleBarHeight(height());
}

void MeterWindow::buildControls()
{
    m_titleBar = Panel("Shape1", this);
    m_graphPanel = Panel("Shape2", this);

    m_graphImage = Named(new MeterImage(this), "im2");
    m_graphImage->setBackground(Background());
    // Whatever lies under the graph gets its mouse: the legend, which is the one that handles it.
    m_graphImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_legendImage = Named(new MeterImage(this), "im1");
    QFont canvasFont = m_legendImage->font();
    canvasFont.setFamily(QStringLiteral("MS Sans Serif"));
    canvasFont.setPixelSize(11);
    m_legendImage->setFont(canvasFont);

    m_rateLabel = Named(new RateLabel(this), "Label1");
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(13);
    m_rateLabel->setFont(titleFont);
    m_rateLabel->setAttribute(Qt::WA_TranslucentBackground);

    m_snapshotIcon = Named(new QLabel(this), "Image1");
    m_snapshotIcon->setPixmap(CameraIcon());
    m_snapshotIcon->resize(kSnapshotIconWidth, kSnapshotIconHeight);
    m_snapshotIcon->setCursor(Qt::PointingHandCursor);
    m_snapshotIcon->setToolTip(QStringLiteral("Capture"));

    m_readoutLabel = Named(new QLabel(this), "lbEch");
    QFont readoutFont(QStringLiteral("MS Sans Serif"));
    readoutFont.setPixelSize(11);
    m_readoutLabel->setFont(readoutFont);
    m_readoutLabel->setStyleSheet(QStringLiteral("color: red; background: transparent;"));
    m_readoutLabel->move(56, 24);
    m_readoutLabel->hide();

    m_recordingButton = Named(new QPushButton(QStringLiteral("ARRET"), this), "Button1");
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setBold(true);
    m_recordingButton->setFont(buttonFont);
    m_recordingButton->setStyleSheet(QStringLiteral("color: red;"));
    m_recordingButton->setGeometry(60, 40, 60, 22);
    connect(m_recordingButton, &QPushButton::clicked, this, &MeterWindow::toggleRecording);

    for (QWidget* w : {m_titleBar, static_cast<QWidget*>(m_rateLabel), static_cast<QWidget*>(m_legendImage)})
    {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    m_snapshotIcon->installEventFilter(this);
    m_readoutLabel->raise();
}

void MeterWindow::buildMenu()
{
    m_contextMenu = Named(new QMenu(this), "PopupMenu1");
    m_stayOnTopAction = Named(m_contextMenu->addAction(QStringLiteral("Toujours au &dessus")), "popAOT");
    m_stayOnTopAction->setCheckable(true);
    m_stayOnTopAction->setChecked(true);
    QAction* configuration = Named(m_contextMenu->addAction(QStringLiteral("&Configuration")), "Configuration1");
    m_compactAction = Named(m_contextMenu->addAction(QStringLiteral("&Mode Compact")), "Modemicro1");
    m_compactAction->setCheckable(true);
    QMenu* averageMenu = Named(m_contextMenu->addMenu(QStringLiteral("Vitesse Moyenne")), "VitesseMoyenne1");
    auto* averages = new QActionGroup(this);
    averages->setExclusive(true);
    m_noAverageAction = Named(averageMenu->addAction(QStringLiteral("Aucun")), "Aucun1");
    m_receivedAverageAction = Named(averageMenu->addAction(QStringLiteral("Reception")), "Reception1");
    m_sentAverageAction = Named(averageMenu->addAction(QStringLiteral("Envoi")), "Envoi1");
    for (QAction* a : {m_noAverageAction, m_receivedAverageAction, m_sentAverageAction})
    {
        a->setCheckable(true);
        averages->addAction(a);
    }
    m_noAverageAction->setChecked(true);
    Named(m_contextMenu->addSeparator(), "N1");
    QAction* close = Named(m_contextMenu->addAction(QStringLiteral("Fermer")), "Fermer1");

    // The stay-on-top and compact items take their check marks from the settings, not from the click.
    connect(m_stayOnTopAction, &QAction::triggered, this, &MeterWindow::toggleStayOnTop);
    connect(configuration, &QAction::triggered, this, &MeterWindow::showConfiguration);
    connect(m_compactAction, &QAction::triggered, this, &MeterWindow::toggleCompact);
    connect(m_noAverageAction, &QAction::triggered, this, [this] { setAverageChoice(AverageChoice::None); });
    connect(m_receivedAverageAction, &QAction::triggered, this, [this] { setAverageChoice(AverageChoice::Received); });
    connect(m_sentAverageAction, &QAction::triggered, this, [this] { setAverageChoice(AverageChoice::Sent); });
    connect(close, &QAction::triggered, this, &MeterWindow::hideFromMenu);
}

void MeterWindow::readSettings()
{
    // Defaults stand in for a missing "lrec" or a missing or invalid value: the form's own bounds.
    const int width = m_settings.value(settings::MeterWidth);
    const int height = m_settings.value(settings::MeterHeight);
    const int top = m_settings.value(settings::MeterTop);
    const int left = m_settings.value(settings::MeterLeft);
    resize(std::clamp(width, 60, 1024), std::max(height, 19));
    m_normalWidth = this->width();
    // "left" and "top" place the client area, set before the native window exists: the window then has
    // static gravity, and a window manager keeps the client area where it stands when it takes the frame
    // off or draws it (compact mode, a double-click on the graph) rather than the frame's corner.
    // A position kept from another set of screens (a monitor since unplugged) would leave the meter out of
    // reach; until the frame's size is known (followFrame) the client size stands in for it. The corrected
    // position is the one saved next.
    const QPoint stored(left, top);
    const QPoint placed = BringOntoScreens(QRect(stored, size()), AvailableScreenAreas());
    if (placed != stored)
        m_storedOffScreen = stored;
    setGeometry(QRect(placed, size()));

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
    // In compact mode the size follows the text: keep the size the window returns to instead.
    const bool compact = m_settings.value(settings::MeterCompact);
    m_settings.set(settings::MeterWidth, compact ? m_normalWidth : width());
    m_settings.set(settings::MeterHeight, compact ? m_graphHeight : height());
    m_settings.set(settings::MeterTop, geometry().y());
    m_settings.set(settings::MeterLeft, geometry().x());
    const int32_t average = m_averageChoice == AverageChoice::Received ? 1
                            : m_averageChoice == AverageChoice::Sent   ? 2
                                                                       : 0;
    m_settings.set(settings::MeterAverage, average);
}

void MeterWindow::addTrayMenu(QMenu* trayMenu)
{
    if (!trayMenu)
        return;
    m_contextMenu->addSeparator();
    // An item the meter's menu already has ("&Configuration") is not offered twice.
    QStringList own;
    for (const QAction* action : m_contextMenu->actions())
        if (!action->isSeparator())
            own << action->text();
    for (QAction* action : trayMenu->actions())
        if (action->isSeparator() || !own.contains(action->text()))
            m_contextMenu->addAction(action);
}

bool MeterWindow::staysOnTop() const
{
    return m_stayOnTopAction->isChecked();
}

void MeterWindow::raiseTopMost()
{
    if (!isVisible() || !m_stayOnTop)
        return;
    raise();
    // A message box that the meter was raised over would be hidden behind it until the meter moves.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && qobject_cast<QMessageBox*>(window))
            window->raise();
}

void MeterWindow::setVisible(bool visible)
{
    // Shown from the tray, the menu or a second start, a minimised meter comes back as it was.
    const bool wasMinimized = visible && isMinimized();
    if (wasMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    QWidget::setVisible(visible);
    // On X11 clearing the state alone leaves the window iconic: the window manager de-iconifies a
    // window it is asked to activate.
    if (wasMinimized)
    {
        raise();
        activateWindow();
    }
}

QString MeterWindow::snapshotFileName(const QDateTime& when) const
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
    input.graphSize = m_graphImage->size();
    input.font = m_legendImage->font();
    m_pixelScale = LegendPixelScale(input);
    if (!m_settings.value(settings::MeterGraphShown))
        return;
    // Hidden, the meter draws no legend: the automatic scale can move it on every tick with nobody to see it.
    if (!isVisible())
    {
        m_legendStale = true;
        return;
    }
    m_legendStale = false;
    const qreal ratio = devicePixelRatioF();
    if (m_legendInput == input && m_legendRatio == ratio)
        return;
    m_legendInput = input;
    m_legendRatio = ratio;
    const QImage legend = DrawLegend(input, ratio);
    // Laid into the graph's own picture the legend costs nothing on a tick; its control then paints only
    // the labels left of the graph. At a finer pixel ratio it stays a layer of its own, over the graph.
    const bool inGraph = m_graph.setLegend(legend);
    m_legendImage->setPaintedPart(inGraph ? QRect(0, 0, kGraphLeft, input.graphSize.height()) : QRect());
    // Over the legend control, the opaque graph spares it a repaint on every tick.
    if (inGraph)
        m_legendImage->stackUnder(m_graphImage);
    else
        m_graphImage->stackUnder(m_legendImage);
    m_legendImage->setPicture(legend.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    if (isVisible())
        drawGraph();
}

void MeterWindow::setTimerInterval(int milliseconds)
{
    m_tickTimer->setInterval(milliseconds);
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

void MeterWindow::setClientHeight(int h)
{
    resize(width(), std::max(h, minimumHeight()));
    layOut();
}

void MeterWindow::setTitleBarHeight(int h)
{
    m_titleHeight = std::clamp(h, kTitleMinHeight, kTitleMaxHeight);
    layOut();
}

void MeterWindow::setGraphVisible(bool visible)
{
    m_graphPanel->setVisible(visible);
    m_legendImage->setVisible(visible);
    m_graphImage->setVisible(visible);
    layOut();
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
    m_snapshotIcon->setVisible(visible);
}

void MeterWindow::setStayOnTopChecked(bool checked)
{
    m_stayOnTopAction->setChecked(checked);
}

void MeterWindow::setCompactChecked(bool checked)
{
    m_compactAction->setChecked(checked);
}

void MeterWindow::applyWindowFlags()
{
    // A tool window with a close box only: no minimise or maximise button is asked for.
    Qt::WindowFlags flags = Qt::Tool;
    if (m_frameless)
        flags |= Qt::FramelessWindowHint;
    else
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (m_stayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    if (flags == windowFlags())
        return;
    QWindow* handle = windowHandle();
    if (!isVisible() || !handle)
    {
        setWindowFlags(flags);
        return;
    }
    // A shown window changes its frame and layer in place. QWidget::setWindowFlags would hide and show it
    // again: the window manager, still withdrawing it, could drop the new stay-on-top state, and it
    // placed the new frame off the old position.
    overrideWindowFlags(flags);
    handle->setFlags(flags);
}

void MeterWindow::followFrame()
{
    if (!m_storedOffScreen || !isVisible() || !windowHandle())
        return;
    // Framed as asked: margins around the client area exactly when a frame was asked for.
    const QMargins margins = windowHandle()->frameMargins();
    if (margins.isNull() != m_frameless)
        return;
    // The whole frame on a screen, from the position the settings gave.
    const QPoint corner(margins.left(), margins.top());
    const QRect frame(*m_storedOffScreen - corner, size().grownBy(margins));
    const QPoint to = BringOntoScreens(frame, AvailableScreenAreas()) + corner;
    m_storedOffScreen.reset();
    if (to != geometry().topLeft())
        setGeometry(QRect(to, size()));
}

// ---- Layout and the tick

int MeterWindow::titleIconWidth() const
{
    // The icon is hidden in compact mode only (the snapshot hides it for a moment, too).
    return m_settings.value(settings::MeterCompact) ? 0 : m_snapshotIcon->width();
}

int MeterWindow::labelTextWidth() const
{
    return QFontMetrics(m_rateLabel->font()).horizontalAdvance(m_tick.rateText());
}

void MeterWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
    followFrame();
}

void MeterWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    followFrame();
}

void MeterWindow::layOut()
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
    input.snapshotIconWidth = titleIconWidth();
    const MeterFormLayout layout = FormResizeLayout(input);

    if (layout.clientHeight != height())
        resize(width(), layout.clientHeight);
    m_titleHeight = layout.shape1.height();
    m_titleBar->setGeometry(layout.shape1);
    const TitleText title = m_titleFitter.place(m_rateLabel->font(), m_tick.rateText(), layout.shape1.size(),
                                                titleIconWidth(), layout.fitTitleFont);
    m_rateLabel->setFont(title.font);
    m_rateLabel->place(title.rect);
    m_rateLabel->setShaped(m_titleFitter.shaped());
    m_graphPanel->setGeometry(layout.shape2);
    m_snapshotIcon->move(layout.image1Left, std::max(0, (layout.shape1.height() - m_snapshotIcon->height()) / 2));
    m_graphImage->setGeometry(layout.im2);
    m_legendImage->setGeometry(layout.im1);
    m_inLayout = false;

    redrawLegend();
    runTick(false);
}

void MeterWindow::tick()
{
    runTick(true);
}

void MeterWindow::runTick(bool sample)
{
    const QString& text = m_tick.rateText();
    if (sample)
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
        input.graphWidth = m_graphImage->width();

        // One snapshot serves every ticked interface of both graphs.
        const InterfaceTable table = m_sampler.FetchInterfaceTable().value_or(InterfaceTable{});
        bool primed = m_settings.primed();
        const MeterTickResult result = m_tick.Timer1Timer(table, input, primed, m_feed);
        m_settings.setPrimed(primed);
        if (result.fullScale)
        {
            // The model's change signal redraws the legend when the value moves.
            m_settings.set(settings::MeterFullScale, *result.fullScale);
            m_pixelScale = PixelScale(m_graphImage->height(), m_settings.value(settings::MeterFullScale));
        }
        if (m_trayPeer)
            m_trayPeer(text, result.iconIndex);
        // Hidden, the meter keeps the label's text current; fitting and placing it wait until it is shown.
        if (!isVisible())
        {
            if (text != m_rateLabel->text())
                m_rateLabel->setText(text);
            m_titleStale = true;
            return;
        }
    }
    placeTitle(sample);
    if (m_settings.value(settings::MeterGraphShown) && isVisible())
        drawGraph();
}

void MeterWindow::placeTitle(bool sample)
{
    const QString& text = m_tick.rateText();
    const bool compact = m_settings.value(settings::MeterCompact);
    if (compact)
    {
        // Compact: the window hugs the text, one pixel around it (the label is a pixel wider than the text).
        const QRect label = m_titleFitter.place(m_rateLabel->font(), text, m_titleBar->size(), 0, false).rect;
        const int w = label.width() + 1;
        const int h = label.height() + 2;
        m_titleHeight = std::clamp(h, kTitleMinHeight, kTitleMaxHeight);
        if (size() != QSize(w, h))
            resize(w, h);
        // A window being shown, or hidden, gets its resize event later: the title bar must follow now, or
        // the text is centred in the bar of the old size.
        if (m_titleBar->size() != size())
            layOut();
    }
    // Outside compact mode the text is fitted to the width left of the snapshot icon, in every layout.
    const TitleText title =
        m_titleFitter.place(m_rateLabel->font(), text, m_titleBar->size(), titleIconWidth(), !compact);
    // Each change repaints the label; a tick at the same rate changes nothing.
    if (!(title.font == m_rateLabel->font()))
        m_rateLabel->setFont(title.font);
    if (sample)
    {
        if (text != m_rateLabel->text())
            m_rateLabel->setText(text);
        m_rateLabel->place(title.rect);
        m_titleStale = false;
    }
    m_rateLabel->setShaped(m_titleFitter.shaped());
}

void MeterWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // With static gravity the client area does not move when the window manager frames the window: its
    // first exposure is when the frame is known.
    if (windowHandle())
        windowHandle()->installEventFilter(this);
    followFrame();
    if (m_legendStale)
        redrawLegend();
    if (!m_titleStale)
        return;
    placeTitle(true);
    if (m_settings.value(settings::MeterGraphShown))
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
    const ScrollingGraph::Drawn drawn =
        m_graph.update(m_graphImage->size(), m_tick.ring(), m_pixelScale, colours, m_averageChoice);
    m_average = drawn.average;
    m_graphImage->setGraph(&m_graph, drawn.changed);
}

// ---- Mouse

bool MeterWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle())
    {
        if (event->type() == QEvent::Expose)
            followFrame();
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_snapshotIcon)
    {
        if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        {
            takeSnapshot();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    auto* sender = qobject_cast<QWidget*>(watched);
    if (sender != m_titleBar && sender != m_rateLabel && sender != m_legendImage)
        return QWidget::eventFilter(watched, event);
    switch (event->type())
    {
    case QEvent::MouseButtonPress: {
        const auto* e = static_cast<QMouseEvent*>(event);
        beginDrag(e->button(), e->position().toPoint());
        return false;
    }
    case QEvent::MouseMove: {
        const auto* e = static_cast<QMouseEvent*>(event);
        dragOrHover(sender, e->buttons(), e->position().toPoint());
        return false;
    }
    case QEvent::MouseButtonRelease:
        endDrag(static_cast<QMouseEvent*>(event)->button());
        return false;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        {
            if (sender == m_rateLabel)
                toggleCompact();
            else if (sender == m_legendImage)
                setFrameless(!m_frameless);
        }
        return false;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void MeterWindow::showReadout(const QString& text)
{
    m_readoutLabel->setText(text);
    m_readoutLabel->adjustSize();
    m_readoutLabel->show();
    m_readoutLabel->raise();
}

void MeterWindow::beginDrag(Qt::MouseButton button, QPoint pos)
{
    m_buttonHeld = true;
    if (button == Qt::MiddleButton)
    {
        m_periodDrag = true;
        m_readoutLabel->show();
        m_readoutLabel->raise();
    }
    m_last = pos;
}

void MeterWindow::dragOrHover(QWidget* sender, Qt::MouseButtons buttons, QPoint pos)
{
    if (m_buttonHeld)
        m_dragOffset += pos - m_last;
    if (!(buttons & Qt::MiddleButton))
    {
        m_readoutLabel->hide();
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

    if (sender != m_legendImage)
        return;
    const long double line = std::trunc(static_cast<long double>(m_graphImage->height()) -
                                        static_cast<long double>(m_average) * static_cast<long double>(m_pixelScale));
    if (m_averageChoice != AverageChoice::None && static_cast<long double>(pos.y()) == line)
        showReadout(FloatText(CutTenths(static_cast<long double>(m_average) / kKilo)) + QStringLiteral("ko/s"));
    else if (m_readoutLabel->isVisible() && !m_periodDrag)
        // A period drag that passes over the graph keeps showing the period.
        m_readoutLabel->hide();
}

void MeterWindow::endDrag(Qt::MouseButton button)
{
    // The window jumps once, on release, by the whole displacement of a left-button drag.
    if (button == Qt::LeftButton && m_buttonHeld && !m_dragOffset.isNull())
    {
        // The user's place wins over one waiting for the window manager.
        m_storedOffScreen.reset();
        move(pos() + m_dragOffset);
    }
    m_dragOffset = QPoint();
    m_buttonHeld = false;
}

void MeterWindow::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta > 0)
        raiseFullScale();
    else if (delta < 0)
        lowerFullScale();
    event->accept();
}

void MeterWindow::setFullScaleFromWheel(double factor)
{
    m_readoutLabel->show();
    // Manual mode without the preset's 1025.
    m_settings.set(settings::MeterScaleIndex, kManualScaleIndex);
    const long double product = std::trunc(static_cast<double>(m_settings.value(settings::MeterFullScale)) * factor);
    showReadout(QString::number(static_cast<qint64>(product)));
    m_settings.set(settings::MeterFullScale, ClampFullScale(product));
}

void MeterWindow::raiseFullScale()
{
    setFullScaleFromWheel(kWheelUp);
}

void MeterWindow::lowerFullScale()
{
    setFullScaleFromWheel(kWheelDown);
    if (m_settings.value(settings::MeterFullScale) <= kMinFullScale)
    {
        m_settings.set(settings::MeterScaleIndex, kAutomaticScaleIndex);
        showReadout(QStringLiteral("Auto"));
    }
}

// ---- Menu

void MeterWindow::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu takes the button's release: a press must not leave a drag half done.
    m_buttonHeld = false;
    m_periodDrag = false;
    m_dragOffset = QPoint();
    m_contextMenu->popup(event->globalPos());
    event->accept();
}

void MeterWindow::toggleStayOnTop()
{
    m_settings.set(settings::MeterStayOnTop, !m_settings.value(settings::MeterStayOnTop));
    m_stayOnTopAction->setChecked(m_settings.value(settings::MeterStayOnTop));
}

void MeterWindow::showConfiguration()
{
    if (m_showConfigurationPeer)
        m_showConfigurationPeer();
}

void MeterWindow::toggleCompact()
{
    m_settings.set(settings::MeterCompact, !m_settings.value(settings::MeterCompact));
    m_compactAction->setChecked(m_settings.value(settings::MeterCompact));
}

void MeterWindow::setAverageChoice(AverageChoice choice)
{
    m_averageChoice = choice;
    m_noAverageAction->setChecked(choice == AverageChoice::None);
    m_receivedAverageAction->setChecked(choice == AverageChoice::Received);
    m_sentAverageAction->setChecked(choice == AverageChoice::Sent);
    if (m_settings.value(settings::MeterGraphShown) && isVisible())
        drawGraph();
}

void MeterWindow::hideFromMenu()
{
    hide();
    if (m_meterItemPeer)
        m_meterItemPeer(false);
}

// ---- Close, activation, snapshot, debug

void MeterWindow::closeEvent(QCloseEvent* event)
{
    storeGeometry();
    if (m_meterItemPeer)
        m_meterItemPeer(false);
    // The application writes the settings file at once.
    emit closed();
    event->accept();
}

void MeterWindow::reportActivation()
{
    if (m_activatePeer)
        m_activatePeer();
}

void MeterWindow::toggleRecording()
{
    if (m_toggleRecordingPeer)
        m_toggleRecordingPeer();
}

void MeterWindow::takeSnapshot()
{
    const bool iconShown = m_snapshotIcon->isVisible();
    m_snapshotIcon->hide();
    // The icon comes back whatever happens below.
    struct Restore
    {
        QLabel* icon;
        bool shown;
        ~Restore() { icon->setVisible(shown); }
    } restore{m_snapshotIcon, iconShown};

    // At the window's designed pixel size whatever the screen's pixel ratio.
    QImage shot(size(), QImage::Format_RGB32);
    shot.fill(palette().color(QPalette::Window));
    render(&shot);
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(shot);

    const QString path = snapshotFileName(m_clock.now());
    QSaveFile file(path);
    const bool saved = !shot.isNull() && file.open(QIODevice::WriteOnly) && shot.save(&file, "BMP") && file.commit();
    if (!saved)
    {
        file.cancelWriting();
        m_errors.showError(QStringLiteral("Impossible d'écrire dans %1").arg(path));
    }
}
