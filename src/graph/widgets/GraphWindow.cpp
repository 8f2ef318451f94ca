// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/widgets/GraphWindow.h"

#include "common/Clock.h"
#include "common/Colour.h"
#include "common/ErrorReporter.h"
#include "common/widgets/MessageBoxes.h"
#include "common/widgets/Named.h"
#include "common/widgets/Readable.h"
#include "config/Settings.h"
#include "graph/GifWriter.h"
#include "graph/GraphRender.h"
#include "graph/StatisticsLayout.h"
#include "graph/widgets/SaveFileDialog.h"
#include "reports/OpeningCheck.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <utility>

using namespace graph;

namespace
{
// The client area that the design's outer size of 725 × 393 leaves: the drawing area is then the designed
// 700 × 235 with its 600 × 200 plot.
constexpr int kDesignWidth = 716;
constexpr int kDesignHeight = 355;
constexpr int kMinimumWidth = 350;
constexpr int kMinimumHeight = 250;
constexpr int kMaximumWidth = 1122;
constexpr int kPictureTop = 1; // top of the drawing area in a picture
constexpr int kLegendLeft = 488;
constexpr int kLegendWidth = 169; // in a picture, whatever the font: the picture widens by this much
constexpr int kLegendHeight = 116;
// In a picture the legend stands this far left of the window's right edge (712 at the design width),
// so that it lands beside the drawing area whatever the window's width.
constexpr int kLegendFromRight = kDesignWidth - 712;
// On screen the group may widen for long values up to the design width of the window.
constexpr int kStatisticsMaxWidth = kDesignWidth - kLegendLeft - kLegendFromRight;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = Named(new QLabel(text, parent), name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* button = Named(new QPushButton(text, parent), name);
    button->setGeometry(geometry);
    return button;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* box = Named(new QCheckBox(text, parent), name);
    box->move(x, y);
    box->adjustSize();
    return box;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* radio = Named(new QRadioButton(text, parent), name);
    radio->move(x, y);
    radio->adjustSize();
    return radio;
}

QPixmap Pixmap(const QImage& image)
{
    return QPixmap::fromImage(image);
}

// Puts the window into the picture's layout and back again on every way out.
class PictureLayout final
{
public:
    // The drawing area's three layers move to the top; the legend group stands beside them when shown.
    // layOutLegend(true) fits the legend group to the picture, layOutLegend(false) back to the window.
    PictureLayout(QWidget& window, const std::array<QWidget*, 3>& drawingArea, QWidget& legendGroup,
                  std::function<void(bool)> layOutLegend, const QList<QWidget*>& hidden, bool legend)
        : m_window(window), m_drawingArea(drawingArea), m_legendGroup(legendGroup),
          m_layOutLegend(std::move(layOutLegend)), m_hidden(hidden), m_legend(legend)
    {
        for (size_t i = 0; i < m_drawingArea.size(); ++i)
            m_drawingGeometry[i] = m_drawingArea[i]->geometry();
        m_legendPos = m_legendGroup.pos();
        for (QWidget* widget : m_hidden)
            widget->hide();
        const int shift = m_drawingGeometry[0].top() - kPictureTop;
        for (QWidget* layer : m_drawingArea)
            layer->move(layer->x(), layer->y() - shift);
        if (m_legend)
        {
            m_layOutLegend(true);
            m_legendGroup.move(m_window.width() - kLegendFromRight, kPictureTop);
            m_legendGroup.show();
        }
    }
    ~PictureLayout()
    {
        m_legendGroup.move(m_legendPos);
        if (m_legend)
            m_layOutLegend(false);
        for (size_t i = 0; i < m_drawingArea.size(); ++i)
            m_drawingArea[i]->setGeometry(m_drawingGeometry[i]);
        // Every control comes back, the hidden-at-first "Enregistrement auto" and "Tous" included.
        for (QWidget* widget : m_hidden)
            widget->show();
    }
    PictureLayout(const PictureLayout&) = delete;
    PictureLayout& operator=(const PictureLayout&) = delete;

    // What the client area shows now, widened by the legend when it is shown.
    QImage grab() const
    {
        const int height = kPictureTop + m_drawingGeometry[0].height();
        const int legendLeft = m_window.width() - kLegendFromRight;
        const int width = m_window.width() + (m_legend ? kLegendWidth : 0);
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(m_window.palette().color(QPalette::Window));
        m_window.render(&image, QPoint(), QRegion(0, 0, m_window.width(), height),
                        QWidget::DrawWindowBackground | QWidget::DrawChildren);
        if (m_legend)
            m_legendGroup.render(&image, QPoint(legendLeft, kPictureTop));
        return image;
    }

private:
    QWidget& m_window;
    std::array<QWidget*, 3> m_drawingArea; // the background first: it spans the whole area
    std::array<QRect, 3> m_drawingGeometry;
    QWidget& m_legendGroup;
    std::function<void(bool)> m_layOutLegend;
    QList<QWidget*> m_hidden;
    bool m_legend;
    QPoint m_legendPos;
};
} // namespace

GraphWindow::GraphWindow(Settings& settings, MessageBoxes& messages, ErrorReporter& errors, SaveFileDialog& saveDialog,
                         const Clock& clock, QString storeRoot, GraphPeers peers, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_messages(messages), m_errors(errors), m_saveDialog(saveDialog),
      m_clock(clock), m_storeRoot(std::move(storeRoot)), m_peers(std::move(peers))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Module Graphique"));
    // The layout was made for an 8-point dialog font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    buildControls();
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setMaximumWidth(kMaximumWidth);
    resize(kDesignWidth, kDesignHeight);
    layOut();
    erase();

    readSettings();
    applyCaptionColours();
    connect(&m_settings, &Settings::aboutToSave, this, &GraphWindow::storeSettings);
    connect(&m_settings, &Settings::changed, this, [this](int row) {
        for (size_t i = 0; i < 4; ++i)
            if (Settings::is(row, settings::Colours[i]))
                applyCaptionColours();
    });
    if (m_autoSaveCheck->isChecked())
        m_autoSaveTimer->start();
}

GraphWindow::~GraphWindow() = default;

void GraphWindow::buildControls()
{
    // Left column: scale, speed, period, date, actions.
    auto* scaleCaption = MakeLabel(this, "Label2", QStringLiteral("Echelle :"), 8, 6);
    m_scaleCombo = Named(new QComboBox(this), "cb");
    m_scaleCombo->setGeometry(112, 2, 160, 21);
    for (const ScalePreset& preset : ScalePresets())
        m_scaleCombo->addItem(preset.caption);
    m_scaleCombo->setCurrentIndex(kDefaultScaleItem);

    auto* fullScaleCaption = MakeLabel(this, "Label3", QStringLiteral("Vitesse :"), 8, 29);
    m_fullScaleSpin = Named(new QSpinBox(this), "spdspin");
    m_fullScaleSpin->setGeometry(112, 25, 100, 21);
    m_fullScaleSpin->setRange(1, std::numeric_limits<int32_t>::max());
    m_fullScaleSpin->setValue(65536);
    m_fullScaleSpin->setReadOnly(true);
    auto* fullScaleUnit = MakeLabel(this, "Label4", QStringLiteral("octets/s"), 216, 29);

    auto* periodCaption = MakeLabel(this, "Label6", QStringLiteral("Graphique :"), 8, 52);
    m_periodCombo = Named(new QComboBox(this), "cbG");
    m_periodCombo->setGeometry(112, 48, 100, 21);
    for (int p = 0; p < kPeriodCount; ++p)
        m_periodCombo->addItem(PeriodText(static_cast<Period>(p)));
    m_periodCombo->setCurrentIndex(0);

    auto* dateCaption = MakeLabel(this, "Label9", QStringLiteral("Tracer a partir du :"), 8, 75);
    m_dateEdit = Named(new QDateEdit(m_clock.now().date(), this), "datep");
    m_dateEdit->setGeometry(112, 71, 100, 21);
    m_dateEdit->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    m_dateEdit->setCalendarPopup(true);
    auto* previousDayButton = MakeButton(this, "Button6", QStringLiteral("-"), QRect(214, 71, 22, 21));
    auto* nextDayButton = MakeButton(this, "Button7", QStringLiteral("+"), QRect(238, 71, 22, 21));

    m_drawButton = MakeButton(this, "Button2", QStringLiteral("Tracer"), QRect(8, 95, 62, 23));
    auto* eraseButton = MakeButton(this, "Button3", QStringLiteral("Effacer"), QRect(72, 95, 62, 23));
    auto* openButton = MakeButton(this, "Button4", QStringLiteral("Ouvrir"), QRect(136, 95, 62, 23));
    auto* saveButton = MakeButton(this, "BitBtn1", QStringLiteral("Enregistrer"), QRect(200, 95, 76, 23));

    // Middle column: graduations, peaks, legend, automatic recording, direction and unit.
    auto* gradationsCaption = MakeLabel(this, "Label1", QStringLiteral("Graduations :"), 284, 6);
    m_gradationsSpin = Named(new QSpinBox(this), "gradspin");
    m_gradationsSpin->setGeometry(gradationsCaption->geometry().right() + 6, 2, 48, 21);
    m_gradationsSpin->setRange(1, 999);
    m_gradationsSpin->setValue(8);
    m_allPeriodsCheck = MakeCheck(this, "tous", QStringLiteral("Tous"), m_gradationsSpin->geometry().right() + 10, 4);
    m_allPeriodsCheck->hide();
    m_peaksCheck = MakeCheck(this, "cbmx", QStringLiteral("Dessiner pics"), 284, 25);
    m_peaksCheck->setChecked(true);
    m_legendCheck = MakeCheck(this, "legd", QStringLiteral("Légende"), m_peaksCheck->geometry().right() + 10, 25);
    m_autoSaveCheck = MakeCheck(this, "autorec", QStringLiteral("Enregistrement auto"), 284, 44);
    m_autoSaveCheck->hide();

    auto* directionPanel = Named(new QWidget(this), "Panel2");
    auto* directionCaption = MakeLabel(directionPanel, "Label8", QStringLiteral("Sens de génération :"), 2, 2);
    auto* rightToLeftRadio = MakeRadio(directionPanel, "cbdg", QStringLiteral("Droite à Gauche"), 2, 18);
    m_leftToRightRadio = MakeRadio(directionPanel, "cbgd", QStringLiteral("Gauche à Droite"), 2, 36);
    m_leftToRightRadio->setChecked(true);
    const int directionWidth =
        std::max({directionCaption->width(), rightToLeftRadio->width(), m_leftToRightRadio->width()}) + 4;
    directionPanel->setGeometry(282, 62, directionWidth, 56);

    auto* unitPanel = Named(new QWidget(this), "Panel1");
    m_bitsRadio = MakeRadio(unitPanel, "rb2", QStringLiteral("Bits"), 2, 0);
    m_bytesRadio = MakeRadio(unitPanel, "rb1", QStringLiteral("Octets"), 2, 18);
    m_bitsRadio->setChecked(true);
    unitPanel->setGeometry(directionPanel->geometry().right() + 4, 80,
                           std::max(m_bytesRadio->width(), m_bitsRadio->width()) + 4, 38);

    // Right: the statistics, which are also the legend of a saved picture.
    m_statisticsGroup = Named(new QGroupBox(QStringLiteral("Statistiques"), this), "GroupBox1");
    m_statisticsGroup->move(kLegendLeft, 0);
    const char* captionNames[6] = {"Label12", "Label13", "Label14", "Label15", "Label16", "Label17"};
    const QString captions[6] = {QStringLiteral("Actuel In :"),  QStringLiteral("Actuel Out :"),
                                 QStringLiteral("Max In :"),     QStringLiteral("Max Out :"),
                                 QStringLiteral("Moyenne In :"), QStringLiteral("Moyenne Out :")};
    const char* valueNames[6] = {"actueld", "actuelu", "maxd", "maxu", "moyd", "moyu"};
    for (size_t i = 0; i < 6; ++i)
    {
        m_statisticCaptions[i] = MakeLabel(m_statisticsGroup, captionNames[i], captions[i], 0, 0);
        m_statisticValues[i] = MakeLabel(m_statisticsGroup, valueNames[i], QStringLiteral("0"), 0, 0);
    }
    m_statisticsFont = font();
    layOutStatistics(false);

    // The drawing area, bottom to top: background, plot layer, axes layer.
    m_drawingBackground = Named(new QLabel(this), "shape");
    m_drawingBackground->setAutoFillBackground(true);
    QPalette background = m_drawingBackground->palette();
    background.setColor(QPalette::Window, QColor::fromRgb(BgrToArgb(kBackgroundBgr)));
    m_drawingBackground->setPalette(background);
    m_plotImage = Named(new QLabel(this), "im2");
    m_plotImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_axesImage = Named(new QLabel(this), "im1");
    m_axesImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_progressPanel = Named(new QFrame(this), "paProg");
    m_progressPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_progressPanel->setAutoFillBackground(true);
    m_progressPanel->setGeometry(240, 200, 245, 48);
    MakeLabel(m_progressPanel, "Label11", QStringLiteral("Progression :"), 8, 6);
    m_progressLabel = MakeLabel(m_progressPanel, "lbProg", QStringLiteral("0%"), 90, 6);
    m_progressLabel->setFixedWidth(150);
    m_progressBar = Named(new QProgressBar(m_progressPanel), "pbProg");
    m_progressBar->setGeometry(8, 24, 229, 16);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressPanel->hide();

    // Hidden from the start: the drawing area's size and the switch to a resizable frame.
    m_sizeLabel = MakeLabel(this, "Label7", QStringLiteral("700x235"), 8, 146);
    m_sizeLabel->hide();
    m_resizeButton = MakeButton(this, "Button5", QStringLiteral("Redimensionner"), QRect(248, 130, 100, 25));
    m_resizeButton->hide();

    m_autoSaveTimer = Named(new QTimer(this), "Timer1");
    m_autoSaveTimer->setInterval(300000);
    m_sequenceTimer = Named(new QTimer(this), "Timer2");
    m_sequenceTimer->setInterval(5000);

    m_pictureHidden = {gradationsCaption, scaleCaption,   fullScaleCaption,  periodCaption,    fullScaleUnit,
                       m_gradationsSpin,  m_peaksCheck,   m_scaleCombo,      m_fullScaleSpin,  m_periodCombo,
                       unitPanel,         directionPanel, m_statisticsGroup, m_autoSaveCheck,  m_drawButton,
                       eraseButton,       openButton,     saveButton,        dateCaption,      previousDayButton,
                       nextDayButton,     m_dateEdit,     m_legendCheck,     m_allPeriodsCheck};

    connect(m_scaleCombo, &QComboBox::currentIndexChanged, this, &GraphWindow::applyScalePreset);
    connect(m_periodCombo, &QComboBox::currentIndexChanged, this, &GraphWindow::draw);
    connect(previousDayButton, &QPushButton::clicked, this, [this] { moveDate(-1); });
    connect(nextDayButton, &QPushButton::clicked, this, [this] { moveDate(1); });
    connect(m_drawButton, &QPushButton::clicked, this, &GraphWindow::draw);
    connect(eraseButton, &QPushButton::clicked, this, &GraphWindow::erase);
    connect(openButton, &QPushButton::clicked, this, &GraphWindow::openChooser);
    connect(m_resizeButton, &QPushButton::clicked, this, &GraphWindow::toggleResizable);
    connect(saveButton, &QPushButton::clicked, this, [this] { savePicture(PictureSender::SaveButton); });
    connect(m_autoSaveCheck, &QCheckBox::clicked, this, &GraphWindow::startOrStopAutoSave);
    connect(m_autoSaveTimer, &QTimer::timeout, this, &GraphWindow::saveScheduledPicture);
    connect(m_sequenceTimer, &QTimer::timeout, this, &GraphWindow::stepPictureSequence);
}

void GraphWindow::readSettings()
{
    using namespace settings;
    // Nothing of the group is read before the first save has written "Graphfile": the chooser stays in
    // the working folder and the controls keep their own defaults.
    if (!m_settings.wasStored(GraphFolder))
        return;
    const QString dir = m_settings.value(GraphFolder);
    if (m_peers.setChooserDirectory)
        m_peers.setChooserDirectory(!dir.isEmpty() && QFileInfo(dir).isDir() ? dir : m_storeRoot);
    m_peaksCheck->setChecked(m_settings.value(GraphPeakScale));
    (m_settings.value(GraphUnitOctets) ? m_bytesRadio : m_bitsRadio)->setChecked(true);
    m_legendCheck->setChecked(m_settings.value(GraphLegend));
    m_autoSaveCheck->setChecked(m_settings.value(GraphAutoSave));
    m_allPeriodsCheck->setChecked(m_settings.value(GraphAllPeriods));
    m_gradationsSpin->setValue(m_settings.value(GraphGradations));
    {
        const QSignalBlocker block(m_scaleCombo);
        m_scaleCombo->setCurrentIndex(m_settings.value(GraphScaleIndex));
    }
    m_fullScaleSpin->setValue(m_settings.value(GraphFullScale));
    if (m_scaleCombo->currentIndex() == kManualScaleItem)
        m_fullScaleSpin->setReadOnly(false);
}

void GraphWindow::storeSettings()
{
    using namespace settings;
    m_settings.set(GraphFolder, m_peers.selectedDirectory ? m_peers.selectedDirectory() : QString());
    m_settings.set(GraphAutoSave, m_autoSaveCheck->isChecked());
    m_settings.set(GraphLegend, m_legendCheck->isChecked());
    m_settings.set(GraphAllPeriods, m_allPeriodsCheck->isChecked());
    m_settings.set(GraphPeakScale, m_peaksCheck->isChecked());
    m_settings.set(GraphUnitOctets, m_bytesRadio->isChecked());
    m_settings.set(GraphGradations, m_gradationsSpin->value());
    m_settings.set(GraphScaleIndex, m_scaleCombo->currentIndex());
    m_settings.set(GraphFullScale, m_fullScaleSpin->value());
    m_settings.set(GraphPeriod, m_periodCombo->currentIndex());
}

std::array<uint32_t, 4> GraphWindow::colours() const
{
    return {m_settings.colour(1), m_settings.colour(2), m_settings.colour(3), m_settings.colour(4)};
}

void GraphWindow::applyCaptionColours()
{
    // The captions are the legend of the series: receive, send, receive peak, send peak.
    const std::array<uint32_t, 4> c = colours();
    // On a dark palette a dark series colour is lightened, with its hue, so that it can be read.
    for (size_t i = 0; i < c.size(); ++i)
        SetDesignedTextColour(m_statisticCaptions[i], QColor::fromRgb(BgrToArgb(c[i])));
}

Period GraphWindow::period() const
{
    return static_cast<Period>(std::clamp(m_periodCombo->currentIndex(), 0, kPeriodCount - 1));
}

void GraphWindow::selectPeriod(Period p)
{
    const QSignalBlocker block(m_periodCombo);
    m_periodCombo->setCurrentIndex(static_cast<int>(p));
}

bool GraphWindow::draw()
{
    // A request made while a draw lets events run (a click, a timer) is refused; every way out of an
    // accepted draw hides the progress panel and sets the busy marker again.
    DrawScope scope(m_busy, [this] { m_progressPanel->hide(); });
    if (!scope.acquired())
        return false;
    m_progressLabel->setText(QStringLiteral("0%"));
    m_progressBar->setValue(0);
    m_progressPanel->move(m_drawingBackground->geometry().center() - m_progressPanel->rect().center());
    m_progressPanel->show();
    m_progressPanel->raise();
    m_ready = true;

    QString dir = m_peers.selectedDirectory ? m_peers.selectedDirectory() : QString();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
    {
        // The graph and the statistics keep what they showed.
        m_messages.information(this, reports::kBaseMissing);
        m_ready = false;
        return true;
    }
    if (m_peers.checkDirectory && !m_peers.checkDirectory())
        m_ready = false; // the draw reads nothing and shows an empty graph
    // A chooser that nobody pointed anywhere takes the recorded interface's folder in its check.
    if (m_peers.selectedDirectory)
        dir = m_peers.selectedDirectory();
    m_drawnOnce = true;

    LoadRequest request;
    request.directory = dir;
    request.date = m_dateEdit->date();
    request.timeOfDay = m_clock.now().time();
    request.secondsPerColumn = SecondsPerColumn(period());
    request.direction = m_leftToRightRadio->isChecked() ? Direction::LeftToRight : Direction::RightToLeft;
    request.width = m_plotImage->width();
    request.height = m_plotImage->height();
    request.bitsMultiplier = m_bytesRadio->isChecked() ? 1 : 8;
    request.automaticScale = m_scaleCombo->currentIndex() == kAutomaticScaleItem;
    request.scale = m_fullScaleSpin->value();
    request.readDayFiles = m_ready;

    GraphOptions options;
    options.period = period();
    options.graduations = m_gradationsSpin->value();
    options.peaksAsked = m_peaksCheck->isChecked();
    const std::array<uint32_t, 4> c = colours();
    options.colours = SeriesColours{c[0], c[1], c[2], c[3]};
    options.axesSize = m_axesImage->size();
    options.devicePixelRatio = devicePixelRatioF();

    erase();
    const std::optional<LoadResult> result = m_loader.load(request, [this](int percent) {
        m_progressBar->setValue(percent);
        m_progressLabel->setText(QString::number(m_progressBar->value()) + QLatin1Char('%'));
        QCoreApplication::processEvents();
    });
    if (!result)
        return false;
    // Queued, never a modal box: a draw also runs from the picture timer.
    for (const QString& message : result->ignoredFiles)
        m_errors.showError(message);
    m_progressLabel->setText(QStringLiteral("Dessin en cours..."));
    if (request.automaticScale)
        m_fullScaleSpin->setValue(result->scale);

    for (size_t i = 0; i < m_statisticValues.size(); ++i)
        m_statisticValues[i]->setText(result->statistics[i].text);
    layOutStatistics(false);
    applyCaptionColours();

    GraphLayers layers = DrawGraph(m_loader.columns(), request, *result, options);
    m_plot = std::move(layers.plot);
    m_axes = std::move(layers.axes);
    m_screenAxes = std::move(layers.screenAxes);
    m_erasedPending = false;
    showLayers();
    m_lastLoad = *result;
    m_ready = true;
    m_cleared = false;
    return true;
}

void GraphWindow::showLayers(bool forPicture)
{
    m_plotImage->setPixmap(Pixmap(m_plot));
    // The screen gets sharp labels; a picture keeps its designed pixels whatever the screen.
    m_axesImage->setPixmap(Pixmap(m_screenAxes.isNull() || forPicture ? m_axes : m_screenAxes));
}

void GraphWindow::erase()
{
    m_screenAxes = QImage();
    m_cleared = true;
    if (!isVisible())
    {
        m_axes = QImage();
        m_plot = QImage();
        m_plotImage->clear();
        m_axesImage->clear();
        m_erasedPending = true;
        return;
    }
    m_axes = ErasedAxes(m_axesImage->size());
    m_plot = ErasedPlot(m_plotImage->width(), m_plotImage->height());
    m_erasedPending = false;
    showLayers();
}

QImage GraphWindow::plotLayer() const
{
    return m_erasedPending ? ErasedPlot(m_plotImage->width(), m_plotImage->height()) : m_plot;
}

QImage GraphWindow::axesLayer() const
{
    return m_erasedPending ? ErasedAxes(m_axesImage->size()) : m_axes;
}

void GraphWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
}

void GraphWindow::showEvent(QShowEvent* event)
{
    if (!m_placed)
    {
        m_placed = true;
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    if (m_erasedPending)
    {
        m_erasedPending = false;
        erase();
    }
    QWidget::showEvent(event);
}

void GraphWindow::layOut()
{
    if (m_saving)
        return;
    const DrawingAreaLayout layout = LayoutDrawingArea(size());
    // Only a change of the drawing area wipes the graph: a window manager may confirm a size twice.
    if (layout.shape == m_drawingBackground->geometry() && layout.plot == m_plotImage->geometry())
        return;
    m_drawingBackground->setGeometry(layout.shape);
    m_axesImage->setGeometry(layout.shape);
    m_plotImage->setGeometry(layout.plot);
    m_sizeLabel->setText(layout.sizeText);
    // Resizing wipes a drawn graph; the user draws again.
    if (!m_cleared)
        erase();
}

void GraphWindow::applyScalePreset()
{
    const int item = m_scaleCombo->currentIndex();
    if (item < 0 || item >= static_cast<int>(ScalePresets().size()))
        return;
    const ScalePreset& preset = ScalePresets()[static_cast<size_t>(item)];
    m_fullScaleSpin->setValue(preset.scale); // 0 shows as the minimum, 1
    if (preset.editable)
        m_fullScaleSpin->setReadOnly(false);
    draw();
}

void GraphWindow::toggleResizable()
{
    if (m_drawButton->isEnabled())
    {
        m_drawButton->setEnabled(false);
        setMinimumSize(kMinimumWidth, kMinimumHeight);
        setMaximumSize(kMaximumWidth, QWIDGETSIZE_MAX);
        m_resizeButton->setText(QStringLiteral("OK"));
    }
    else
    {
        m_drawButton->setEnabled(true);
        setFixedSize(size());
        m_resizeButton->setText(QStringLiteral("Redimensionner"));
    }
}

void GraphWindow::moveDate(int days)
{
    m_dateEdit->setDate(m_dateEdit->date().addDays(days));
    if (m_drawnOnce)
        draw();
}

void GraphWindow::layOutStatistics(bool picture)
{
    QStringList captions;
    QStringList values;
    for (size_t i = 0; i < m_statisticValues.size(); ++i)
    {
        captions << m_statisticCaptions[i]->text();
        values << m_statisticValues[i]->text();
    }
    QFont font = m_statisticsFont;
    if (picture) // smoothed text in four colours would take the picture past the 256 colours of a GIF
        font.setStyleStrategy(QFont::NoAntialias);
    const StatisticsLayout layout = picture
                                        ? LayoutStatistics(font, captions, values, kLegendWidth, kLegendWidth)
                                        : LayoutStatistics(font, captions, values, kLegendWidth, kStatisticsMaxWidth);
    m_statisticsGroup->setFont(layout.font);
    m_statisticsGroup->resize(layout.width, kLegendHeight);
    for (size_t i = 0; i < m_statisticValues.size(); ++i)
    {
        // Each label as wide as its text: nothing is cut.
        const int top = 18 + 16 * static_cast<int>(i);
        m_statisticCaptions[i]->move(kStatisticsInset, top);
        m_statisticCaptions[i]->adjustSize();
        m_statisticValues[i]->move(layout.valueLeft, top);
        m_statisticValues[i]->adjustSize();
    }
}

QImage GraphWindow::takePicture()
{
    showLayers(true);
    const auto screenAgain = qScopeGuard([this] { showLayers(); });
    const PictureLayout layout(
        *this, {m_drawingBackground, m_axesImage, m_plotImage}, *m_statisticsGroup,
        [this](bool picture) { layOutStatistics(picture); }, m_pictureHidden, m_legendCheck->isChecked());
    return layout.grab();
}

bool GraphWindow::savePicture(PictureSender sender)
{
    // Resizes are ignored while a picture is taken; a picture taken from a timer while the save dialog
    // is open must not end the outer one's marker.
    const bool wasSaving = std::exchange(m_saving, true);
    struct Restore
    {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{m_saving, wasSaving};

    QString fileName;
    if (sender == PictureSender::SaveButton)
    {
        const QString proposed = QDir(m_storeRoot).filePath(ProposedPictureName(m_dateEdit->date(), period()));
        if (const std::optional<QString> chosen = m_saveDialog.getSaveFileName(this, proposed))
            fileName = *chosen;
    }
    else if (m_pictureBase.isEmpty())
    {
        fileName = QDir(m_storeRoot).filePath(AutomaticPictureName(QString(), period()));
    }
    else
    {
        fileName = AutomaticPictureName(m_pictureBase, period());
    }

    m_picture = takePicture();
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(m_picture);
    if (fileName.isEmpty() || WriteGif(m_picture, fileName))
        return true;
    m_errors.showError(QStringLiteral("Impossible d'écrire dans %1").arg(fileName));
    return false;
}

void GraphWindow::startOrStopAutoSave()
{
    if (m_autoSaveCheck->isChecked())
        m_autoSaveTimer->start();
    else
        m_autoSaveTimer->stop();
    saveScheduledPicture();
}

void GraphWindow::saveScheduledPicture()
{
    // A tick that lands inside a draw waits for the next one rather than save a half-drawn graph.
    if (!m_busy.idle())
        return;
    if (!m_allPeriodsCheck->isChecked())
    {
        if (draw())
            savePicture(PictureSender::Timer);
        return;
    }
    hide();
    m_sequenceTimer->start();
    erase();
    selectPeriod(m_sequence.start());
    draw();
}

void GraphWindow::stepPictureSequence()
{
    const PictureSequence::Step step = m_sequence.tick(m_busy.idle());
    switch (step.kind)
    {
    case PictureSequence::Step::Finished:
        m_sequenceTimer->stop();
        show();
        return;
    case PictureSequence::Step::Wait:
        return;
    case PictureSequence::Step::SaveAndDraw:
        savePicture(PictureSender::Timer);
        selectPeriod(step.period);
        draw();
        return;
    }
}

void GraphWindow::setDateAndDraw(const QDate& date)
{
    m_dateEdit->setDate(date);
    show();
    raise();
    activateWindow();
    draw();
}

void GraphWindow::openChooser()
{
    if (m_peers.showChooser)
        m_peers.showChooser();
    setEnabled(false);
}

void GraphWindow::startFromCommandLine(const QString& base)
{
    m_pictureBase = base;
    show();
    raise();
    activateWindow();
    draw();
}
