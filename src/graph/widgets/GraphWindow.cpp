#include "graph/widgets/GraphWindow.h"

#include "common/Clock.h"
#include "common/widgets/Named.h"
#include "common/Colour.h"
#include "common/ErrorReporter.h"
#include "config/Settings.h"
#include "graph/GifWriter.h"
#include "graph/GraphRender.h"
#include "graph/widgets/SaveFileDialog.h"
#include "reports/OpeningCheck.h"
#include "common/widgets/MessageBoxes.h"

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
#include <QScreen>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <utility>

using namespace graph;

namespace
{
constexpr int kDesignWidth = 725;
constexpr int kDesignHeight = 393;
constexpr int kMinimumWidth = 350;
constexpr int kMinimumHeight = 250;
constexpr int kMaximumWidth = 1122;
constexpr int kDrawingTop = 120; // top of shape and im1
constexpr int kPictureTop = 1;   // top of shape and im1 in a picture
constexpr int kLegendLeft = 488;
constexpr int kLegendWidth = 169;
constexpr int kLegendHeight = 116;
// In a picture the legend stands this far left of the window's right edge (712 at the design width),
// so that it lands beside the drawing area whatever the window's width.
constexpr int kLegendFromRight = kDesignWidth - 712;

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
    PictureLayout(GraphWindow& w, const QList<QWidget*>& hidden, bool legend) : m_w(w), m_hidden(hidden), m_legend(legend)
    {
        m_shape = w.shape->geometry();
        m_im1 = w.im1->geometry();
        m_im2 = w.im2->geometry();
        m_legendPos = w.GroupBox1->pos();
        m_legendFont = w.GroupBox1->font();
        for (QWidget* widget : m_hidden)
            widget->hide();
        const int shift = m_shape.top() - kPictureTop;
        w.shape->move(m_shape.left(), kPictureTop);
        w.im1->move(m_im1.left(), m_im1.top() - shift);
        w.im2->move(m_im2.left(), m_im2.top() - shift);
        if (m_legend)
        {
            // Smoothed text in four colours would take the picture past the 256 colours of a GIF.
            QFont sharp = m_legendFont;
            sharp.setStyleStrategy(QFont::NoAntialias);
            w.GroupBox1->setFont(sharp);
            w.GroupBox1->move(w.width() - kLegendFromRight, kPictureTop);
            w.GroupBox1->show();
        }
    }
    ~PictureLayout()
    {
        m_w.GroupBox1->move(m_legendPos);
        m_w.GroupBox1->setFont(m_legendFont);
        m_w.shape->setGeometry(m_shape);
        m_w.im1->setGeometry(m_im1);
        m_w.im2->setGeometry(m_im2);
        // Every control comes back, the hidden-at-first "Enregistrement auto" and "Tous" included.
        for (QWidget* widget : m_hidden)
            widget->show();
    }
    PictureLayout(const PictureLayout&) = delete;
    PictureLayout& operator=(const PictureLayout&) = delete;

    // What the client area shows now, widened by the legend when it is shown.
    QImage grab() const
    {
        const int height = kPictureTop + m_shape.height();
        const int legendLeft = m_w.width() - kLegendFromRight;
        const int width = m_w.width() + (m_legend ? m_w.GroupBox1->width() : 0);
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(m_w.palette().color(QPalette::Window));
        m_w.render(&image, QPoint(), QRegion(0, 0, m_w.width(), height),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
        if (m_legend)
            m_w.GroupBox1->render(&image, QPoint(legendLeft, kPictureTop));
        return image;
    }

private:
    GraphWindow& m_w;
    QList<QWidget*> m_hidden;
    bool m_legend;
    QRect m_shape, m_im1, m_im2;
    QPoint m_legendPos;
    QFont m_legendFont;
};
} // namespace

GraphWindow::GraphWindow(Settings& settings, MessageBoxes& messages, ErrorReporter& errors, SaveFileDialog& saveDialog,
                         const Clock& clock, QString storeRoot, GraphPeers peers, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_messages(messages), m_errors(errors), m_saveDialog(saveDialog), m_clock(clock),
      m_storeRoot(std::move(storeRoot)), m_peers(std::move(peers))
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
    FormResize();
    Button3Click();

    readSettings();
    applyCaptionColours();
    connect(&m_settings, &Settings::aboutToSave, this, &GraphWindow::storeSettings);
    connect(&m_settings, &Settings::changed, this, [this](int row) {
        for (size_t i = 0; i < 4; ++i)
            if (Settings::is(row, settings::Colours[i]))
                applyCaptionColours();
    });
    if (autorec->isChecked())
        Timer1->start();
}

GraphWindow::~GraphWindow() = default;

void GraphWindow::buildControls()
{
    // Left column: scale, speed, period, date, actions.
    Label2 = MakeLabel(this, "Label2", QStringLiteral("Echelle :"), 8, 6);
    cb = Named(new QComboBox(this), "cb");
    cb->setGeometry(112, 2, 160, 21);
    for (const ScalePreset& preset : ScalePresets())
        cb->addItem(preset.caption);
    cb->setCurrentIndex(kDefaultScaleItem);

    Label3 = MakeLabel(this, "Label3", QStringLiteral("Vitesse :"), 8, 29);
    spdspin = Named(new QSpinBox(this), "spdspin");
    spdspin->setGeometry(112, 25, 100, 21);
    spdspin->setRange(1, std::numeric_limits<int32_t>::max());
    spdspin->setValue(65536);
    spdspin->setReadOnly(true);
    Label4 = MakeLabel(this, "Label4", QStringLiteral("octets/s"), 216, 29);

    Label6 = MakeLabel(this, "Label6", QStringLiteral("Graphique :"), 8, 52);
    cbG = Named(new QComboBox(this), "cbG");
    cbG->setGeometry(112, 48, 100, 21);
    for (int p = 0; p < kPeriodCount; ++p)
        cbG->addItem(PeriodText(static_cast<Period>(p)));
    cbG->setCurrentIndex(0);

    Label9 = MakeLabel(this, "Label9", QStringLiteral("Tracer a partir du :"), 8, 75);
    datep = Named(new QDateEdit(m_clock.now().date(), this), "datep");
    datep->setGeometry(112, 71, 100, 21);
    datep->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    datep->setCalendarPopup(true);
    Button6 = MakeButton(this, "Button6", QStringLiteral("-"), QRect(214, 71, 22, 21));
    Button7 = MakeButton(this, "Button7", QStringLiteral("+"), QRect(238, 71, 22, 21));

    Button2 = MakeButton(this, "Button2", QStringLiteral("Tracer"), QRect(8, 95, 62, 23));
    Button3 = MakeButton(this, "Button3", QStringLiteral("Effacer"), QRect(72, 95, 62, 23));
    Button4 = MakeButton(this, "Button4", QStringLiteral("Ouvrir"), QRect(136, 95, 62, 23));
    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Enregistrer"), QRect(200, 95, 76, 23));

    // Middle column: graduations, peaks, legend, automatic recording, direction and unit.
    Label1 = MakeLabel(this, "Label1", QStringLiteral("Graduations :"), 284, 6);
    gradspin = Named(new QSpinBox(this), "gradspin");
    gradspin->setGeometry(Label1->geometry().right() + 6, 2, 48, 21);
    gradspin->setRange(1, 999);
    gradspin->setValue(8);
    tous = MakeCheck(this, "tous", QStringLiteral("Tous"), gradspin->geometry().right() + 10, 4);
    tous->hide();
    cbmx = MakeCheck(this, "cbmx", QStringLiteral("Dessiner pics"), 284, 25);
    cbmx->setChecked(true);
    legd = MakeCheck(this, "legd", QStringLiteral("Légende"), cbmx->geometry().right() + 10, 25);
    autorec = MakeCheck(this, "autorec", QStringLiteral("Enregistrement auto"), 284, 44);
    autorec->hide();

    Panel2 = Named(new QWidget(this), "Panel2");
    Label8 = MakeLabel(Panel2, "Label8", QStringLiteral("Sens de génération :"), 2, 2);
    cbdg = MakeRadio(Panel2, "cbdg", QStringLiteral("Droite à Gauche"), 2, 18);
    cbgd = MakeRadio(Panel2, "cbgd", QStringLiteral("Gauche à Droite"), 2, 36);
    cbgd->setChecked(true);
    const int panel2Width = std::max({Label8->width(), cbdg->width(), cbgd->width()}) + 4;
    Panel2->setGeometry(282, 62, panel2Width, 56);

    Panel1 = Named(new QWidget(this), "Panel1");
    rb2 = MakeRadio(Panel1, "rb2", QStringLiteral("Bits"), 2, 0);
    rb1 = MakeRadio(Panel1, "rb1", QStringLiteral("Octets"), 2, 18);
    rb2->setChecked(true);
    Panel1->setGeometry(Panel2->geometry().right() + 4, 80, std::max(rb1->width(), rb2->width()) + 4, 38);

    // Right: the statistics, which are also the legend of a saved picture; wide enough for a rate
    // such as "1748,71 K/s (341%)" beside its caption.
    GroupBox1 = Named(new QGroupBox(QStringLiteral("Statistiques"), this), "GroupBox1");
    const char* captionNames[6] = {"Label12", "Label13", "Label14", "Label15", "Label16", "Label17"};
    const QString captions[6] = {QStringLiteral("Actuel In :"),  QStringLiteral("Actuel Out :"),
                                 QStringLiteral("Max In :"),     QStringLiteral("Max Out :"),
                                 QStringLiteral("Moyenne In :"), QStringLiteral("Moyenne Out :")};
    const char* valueNames[6] = {"actueld", "actuelu", "maxd", "maxu", "moyd", "moyu"};
    QLabel** captionLabels[6] = {&Label12, &Label13, &Label14, &Label15, &Label16, &Label17};
    QLabel** valueLabels[6] = {&actueld, &actuelu, &maxd, &maxu, &moyd, &moyu};
    int captionWidth = 0;
    for (int i = 0; i < 6; ++i)
    {
        *captionLabels[i] = MakeLabel(GroupBox1, captionNames[i], captions[i], 6, 18 + 16 * i);
        captionWidth = std::max(captionWidth, (*captionLabels[i])->width());
    }
    const int valueLeft = 6 + captionWidth + 6;
    const int valueWidth = fontMetrics().horizontalAdvance(QStringLiteral("99999,99 K/s (999%)"));
    // It stays within the design width.
    GroupBox1->setGeometry(kLegendLeft, 0,
                           std::clamp(valueLeft + valueWidth + 6, kLegendWidth, kDesignWidth - kLegendLeft - 5),
                           kLegendHeight);
    for (int i = 0; i < 6; ++i)
    {
        *valueLabels[i] = MakeLabel(GroupBox1, valueNames[i], QStringLiteral("0"), valueLeft, 18 + 16 * i);
        (*valueLabels[i])->setFixedWidth(GroupBox1->width() - valueLeft - 4);
    }

    // The drawing area, bottom to top: background, plot layer, axes layer.
    shape = Named(new QLabel(this), "shape");
    shape->setAutoFillBackground(true);
    QPalette background = shape->palette();
    background.setColor(QPalette::Window, QColor::fromRgb(BgrToArgb(kBackgroundBgr)));
    shape->setPalette(background);
    im2 = Named(new QLabel(this), "im2");
    im2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    im1 = Named(new QLabel(this), "im1");
    im1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    paProg = Named(new QFrame(this), "paProg");
    static_cast<QFrame*>(paProg)->setFrameStyle(QFrame::Panel | QFrame::Raised);
    paProg->setAutoFillBackground(true);
    paProg->setGeometry(240, 200, 245, 48);
    Label11 = MakeLabel(paProg, "Label11", QStringLiteral("Progression :"), 8, 6);
    lbProg = MakeLabel(paProg, "lbProg", QStringLiteral("0%"), 90, 6);
    lbProg->setFixedWidth(150);
    pbProg = Named(new QProgressBar(paProg), "pbProg");
    pbProg->setGeometry(8, 24, 229, 16);
    pbProg->setRange(0, 100);
    pbProg->setValue(0);
    paProg->hide();

    Image2 = Named(new QLabel(this), "Image2");
    Image2->setGeometry(0, 0, 17, 17);
    Image2->hide();

    // Hidden controls of the design that nothing shows.
    Label5 = MakeLabel(this, "Label5", QStringLiteral("Traitement en cours..."), 8, 130);
    Label7 = MakeLabel(this, "Label7", QStringLiteral("700x235"), 8, 146);
    Label10 = MakeLabel(this, "Label10", QString(), 8, 162);
    Button1 = MakeButton(this, "Button1", QStringLiteral("Rafraichir"), QRect(8, 130, 75, 25));
    Button21 = MakeButton(this, "Button21", QStringLiteral("Tracer"), QRect(88, 130, 75, 25));
    Button31 = MakeButton(this, "Button31", QStringLiteral("Effacer"), QRect(168, 130, 75, 25));
    Button5 = MakeButton(this, "Button5", QStringLiteral("Redimensionner"), QRect(248, 130, 100, 25));
    for (QWidget* hidden :
         {static_cast<QWidget*>(Label5), static_cast<QWidget*>(Label7), static_cast<QWidget*>(Label10),
          static_cast<QWidget*>(Button1), static_cast<QWidget*>(Button21), static_cast<QWidget*>(Button31),
          static_cast<QWidget*>(Button5)})
        hidden->hide();

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(300000);
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer2->setInterval(5000);

    connect(cb, &QComboBox::currentIndexChanged, this, &GraphWindow::cbChange);
    connect(cbG, &QComboBox::currentIndexChanged, this, &GraphWindow::cbGChange);
    connect(Button6, &QPushButton::clicked, this, &GraphWindow::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &GraphWindow::Button7Click);
    connect(Button2, &QPushButton::clicked, this, &GraphWindow::Button2Click);
    connect(Button21, &QPushButton::clicked, this, &GraphWindow::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &GraphWindow::Button3Click);
    connect(Button31, &QPushButton::clicked, this, &GraphWindow::Button3Click);
    connect(Button1, &QPushButton::clicked, this, &GraphWindow::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &GraphWindow::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &GraphWindow::Button5Click);
    connect(BitBtn1, &QPushButton::clicked, this, &GraphWindow::BitBtn1Click);
    connect(autorec, &QCheckBox::clicked, this, &GraphWindow::autorecClick);
    connect(Timer1, &QTimer::timeout, this, &GraphWindow::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &GraphWindow::Timer2Timer);
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
    cbmx->setChecked(m_settings.value(GraphPeakScale));
    (m_settings.value(GraphUnitOctets) ? rb1 : rb2)->setChecked(true);
    legd->setChecked(m_settings.value(GraphLegend));
    autorec->setChecked(m_settings.value(GraphAutoSave));
    tous->setChecked(m_settings.value(GraphAllInterfaces));
    gradspin->setValue(m_settings.value(GraphGradations));
    {
        const QSignalBlocker block(cb);
        cb->setCurrentIndex(m_settings.value(GraphScaleIndex));
    }
    spdspin->setValue(m_settings.value(GraphFullScale));
    if (cb->currentIndex() == kManualScaleItem)
        spdspin->setReadOnly(false);
}

void GraphWindow::storeSettings()
{
    using namespace settings;
    m_settings.set(GraphFolder, m_peers.selectedDirectory ? m_peers.selectedDirectory() : QString());
    m_settings.set(GraphAutoSave, autorec->isChecked());
    m_settings.set(GraphLegend, legd->isChecked());
    m_settings.set(GraphAllInterfaces, tous->isChecked());
    m_settings.set(GraphPeakScale, cbmx->isChecked());
    m_settings.set(GraphUnitOctets, rb1->isChecked());
    m_settings.set(GraphGradations, gradspin->value());
    m_settings.set(GraphScaleIndex, cb->currentIndex());
    m_settings.set(GraphFullScale, spdspin->value());
    m_settings.set(GraphPeriod, cbG->currentIndex());
}

std::array<uint32_t, 4> GraphWindow::colours() const
{
    return {m_settings.colour(1), m_settings.colour(2), m_settings.colour(3), m_settings.colour(4)};
}

void GraphWindow::applyCaptionColours()
{
    // The captions are the legend of the series: receive, send, receive peak, send peak.
    const std::array<uint32_t, 4> c = colours();
    QLabel* captions[4] = {Label12, Label13, Label14, Label15};
    for (int i = 0; i < 4; ++i)
    {
        QPalette palette = captions[i]->palette();
        palette.setColor(QPalette::WindowText, QColor::fromRgb(BgrToArgb(c[static_cast<size_t>(i)])));
        captions[i]->setPalette(palette);
    }
}

Period GraphWindow::period() const
{
    return static_cast<Period>(std::clamp(cbG->currentIndex(), 0, kPeriodCount - 1));
}

void GraphWindow::selectPeriod(Period p)
{
    const QSignalBlocker block(cbG);
    cbG->setCurrentIndex(static_cast<int>(p));
}

void GraphWindow::Button2Click()
{
    draw();
}

bool GraphWindow::draw()
{
    // A request made while a draw lets events run (a click, a timer) is refused; every way out of an
    // accepted draw hides the progress panel and sets the busy marker again.
    DrawScope scope(m_busy, [this] { paProg->hide(); });
    if (!scope.acquired())
        return false;
    lbProg->setText(QStringLiteral("0%"));
    pbProg->setValue(0);
    paProg->move(shape->geometry().center() - paProg->rect().center());
    paProg->show();
    paProg->raise();
    m_ready = true;

    const QString dir = m_peers.selectedDirectory ? m_peers.selectedDirectory() : QString();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
    {
        // The graph and the statistics keep what they showed.
        m_messages.information(this, reports::kBaseMissing);
        m_ready = false;
        return true;
    }
    if (m_peers.checkDirectory && !m_peers.checkDirectory())
        m_ready = false; // the draw reads nothing and shows an empty graph
    m_drawnOnce = true;

    LoadRequest request;
    request.directory = dir;
    request.date = datep->date();
    request.timeOfDay = m_clock.now().time();
    request.secondsPerColumn = SecondsPerColumn(period());
    request.direction = cbgd->isChecked() ? Direction::LeftToRight : Direction::RightToLeft;
    request.width = im2->width();
    request.height = im2->height();
    request.bitsMultiplier = rb1->isChecked() ? 1 : 8;
    request.automaticScale = cb->currentIndex() == kAutomaticScaleItem;
    request.scale = spdspin->value();
    request.readDayFiles = m_ready;

    GraphOptions options;
    options.period = period();
    options.graduations = gradspin->value();
    options.peaksAsked = cbmx->isChecked();
    const std::array<uint32_t, 4> c = colours();
    options.colours = SeriesColours{c[0], c[1], c[2], c[3]};
    options.axesSize = im1->size();

    Button3Click();
    const std::optional<LoadResult> result = m_loader.load(request, [this](int percent) {
        pbProg->setValue(percent);
        lbProg->setText(QString::number(pbProg->value()) + QLatin1Char('%'));
        QCoreApplication::processEvents();
    });
    if (!result)
        return false;
    lbProg->setText(QStringLiteral("Dessin en cours..."));
    if (request.automaticScale)
        spdspin->setValue(result->scale);

    QLabel* labels[6] = {actueld, actuelu, maxd, maxu, moyd, moyu};
    for (int i = 0; i < 6; ++i)
        labels[i]->setText(result->statistics[static_cast<size_t>(i)].text);
    applyCaptionColours();

    GraphLayers layers = DrawGraph(m_loader.columns(), request, *result, options);
    m_plot = std::move(layers.plot);
    m_axes = std::move(layers.axes);
    showLayers();
    m_lastRequest = request;
    m_lastLoad = *result;
    m_ready = true;
    m_cleared = false;
    return true;
}

void GraphWindow::showLayers()
{
    im2->setPixmap(Pixmap(m_plot));
    im1->setPixmap(Pixmap(m_axes));
}

void GraphWindow::Button1Click()
{
    if (m_plot.isNull())
        return;
    DrawFrame(m_plot);
    AxesInput axes;
    axes.period = period();
    axes.date = datep->date();
    axes.timeOfDay = m_clock.now().time();
    axes.width = m_plot.width();
    axes.height = m_plot.height();
    axes.direction =
        DirectionParamsFor(cbgd->isChecked() ? Direction::LeftToRight : Direction::RightToLeft, m_plot.width());
    axes.scale = spdspin->value();
    axes.bitsMultiplier = rb1->isChecked() ? 1 : 8;
    axes.unit = m_loader.unit();
    axes.pixelsPerRate = static_cast<float>(m_plot.height()) / static_cast<float>(spdspin->value());
    axes.graduations = gradspin->value();
    m_axes = RenderAxes(axes, im1->size());
    showLayers();
}

void GraphWindow::Button3Click()
{
    m_axes = ErasedAxes(im1->size());
    m_plot = ErasedPlot(im2->width(), im2->height());
    showLayers();
    m_cleared = true;
}

void GraphWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void GraphWindow::showEvent(QShowEvent* event)
{
    if (!m_placed)
    {
        m_placed = true;
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void GraphWindow::FormResize()
{
    if (m_saving)
        return;
    const DrawingAreaLayout layout = LayoutDrawingArea(size());
    // Only a change of the drawing area wipes the graph: a window manager may confirm a size twice.
    if (layout.shape == shape->geometry() && layout.plot == im2->geometry())
        return;
    shape->setGeometry(layout.shape);
    im1->setGeometry(layout.shape);
    im2->setGeometry(layout.plot);
    Label7->setText(layout.sizeText);
    // Resizing wipes a drawn graph; the user draws again.
    if (!m_cleared)
        Button3Click();
}

void GraphWindow::cbChange()
{
    const int item = cb->currentIndex();
    if (item < 0 || item >= static_cast<int>(ScalePresets().size()))
        return;
    const ScalePreset& preset = ScalePresets()[static_cast<size_t>(item)];
    spdspin->setValue(preset.scale); // 0 shows as the minimum, 1
    if (preset.editable)
        spdspin->setReadOnly(false);
    draw();
}

void GraphWindow::cbGChange()
{
    draw();
}

void GraphWindow::Button4Click()
{
    if (m_peers.showChooser)
        m_peers.showChooser();
    setEnabled(false);
}

void GraphWindow::Button5Click()
{
    if (Button2->isEnabled())
    {
        Button2->setEnabled(false);
        setMinimumSize(kMinimumWidth, kMinimumHeight);
        setMaximumSize(kMaximumWidth, QWIDGETSIZE_MAX);
        Button5->setText(QStringLiteral("OK"));
    }
    else
    {
        Button2->setEnabled(true);
        setFixedSize(size());
        Button5->setText(QStringLiteral("Redimensionner"));
    }
}

void GraphWindow::Button6Click()
{
    datep->setDate(datep->date().addDays(-1));
    if (m_drawnOnce)
        draw();
}

void GraphWindow::Button7Click()
{
    datep->setDate(datep->date().addDays(1));
    if (m_drawnOnce)
        draw();
}

void GraphWindow::BitBtn1Click()
{
    SaveGraphPicture(PictureSender::SaveButton);
}

QImage GraphWindow::takePicture()
{
    const QList<QWidget*> hidden{Label1,  Label2,  Label3, Label6,  Label4,    gradspin, cbmx,    cb,
                                 spdspin, cbG,     Panel1, Panel2,  GroupBox1, autorec,  Button2, Button3,
                                 Button4, BitBtn1, Label9, Button6, Button7,   datep,    legd,    tous};
    const PictureLayout layout(*this, hidden, legd->isChecked());
    return layout.grab();
}

bool GraphWindow::SaveGraphPicture(PictureSender sender)
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
        const QString proposed = QDir(m_storeRoot).filePath(ProposedPictureName(datep->date(), period()));
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
    Image2->setPixmap(Pixmap(m_picture));
    if (fileName.isEmpty() || WriteGif(m_picture, fileName))
        return true;
    m_errors.showError(QStringLiteral("Impossible d'écrire dans %1").arg(fileName));
    return false;
}

void GraphWindow::autorecClick()
{
    if (autorec->isChecked())
        Timer1->start();
    else
        Timer1->stop();
    Timer1Timer();
}

void GraphWindow::Timer1Timer()
{
    // A tick that lands inside a draw waits for the next one rather than save a half-drawn graph.
    if (!m_busy.idle())
        return;
    if (!tous->isChecked())
    {
        if (draw())
            SaveGraphPicture(PictureSender::Timer);
        return;
    }
    hide();
    Timer2->start();
    Button3Click();
    selectPeriod(m_sequence.start());
    draw();
}

void GraphWindow::Timer2Timer()
{
    const PictureSequence::Step step = m_sequence.tick(m_busy.idle());
    switch (step.kind)
    {
    case PictureSequence::Step::Finished:
        Timer2->stop();
        show();
        return;
    case PictureSequence::Step::Wait:
        return;
    case PictureSequence::Step::SaveAndDraw:
        SaveGraphPicture(PictureSender::Timer);
        selectPeriod(step.period);
        draw();
        return;
    }
}

void GraphWindow::setDateAndDraw(const QDate& date)
{
    datep->setDate(date);
    show();
    raise();
    activateWindow();
    draw();
}

void GraphWindow::openChooser()
{
    Button4Click();
}

void GraphWindow::startFromCommandLine(const QString& base)
{
    m_pictureBase = base;
    show();
    raise();
    activateWindow();
    draw();
}
