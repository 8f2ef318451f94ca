#include "config/widgets/ConfigWindow.h"

#include "common/Colour.h"
#include "common/widgets/Named.h"
#include "common/ErrorReporter.h"
#include "config/RecorderControl.h"
#include "config/ScalePresets.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"
#include "config/widgets/ColourSwatch.h"
#include "sampling/Sampler.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace
{
constexpr std::array<const char*, 5> ColourDefaults{"00CC00", "FF0000", "006600", "FF00FF", "01E5DD"};
constexpr std::array<const char*, 5> ColourValueNames{"lrec", "lenv", "lrep", "lenp", "lint"};
constexpr int RecorderPeriodMs = 300000;

QLabel* Caption(const QString& text, QWidget* parent)
{
    return new QLabel(text, parent);
}

QListWidget* CheckList(const char* name, QWidget* parent)
{
    auto* list = Named(new QListWidget(parent), name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

void SetChecked(QListWidget* list, int row, bool checked)
{
    list->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool IsChecked(const QListWidget* list, int row)
{
    return row >= 0 && row < list->count() && list->item(row)->checkState() == Qt::Checked;
}
} // namespace

ConfigWindow::ConfigWindow(Sampler& sampler, RecorderControl& recorder, SettingsStore& store, ErrorReporter& errors,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_recorder(recorder), m_store(store), m_errors(errors)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Configuration"));
    setFixedSize(522, 352);

    m_debug = QFileInfo::exists(QDir::current().filePath(QStringLiteral("debug.txt")));

    PageControl1 = Named(new QTabWidget(this), "PageControl1");
    TabSheet1 = Named(new QWidget, "TabSheet1");
    TabSheet2 = Named(new QWidget, "TabSheet2");
    PageControl1->addTab(TabSheet1, QStringLiteral("Options Générales / Statistiques"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Tachymetre"));
    buildGeneralPage();
    buildMeterPage();

    Button3 = Named(new QPushButton(QStringLiteral("OK"), this), "Button3");
    Button4 = Named(new QPushButton(QStringLiteral("test timer"), this), "Button4");
    Label1 = Named(new QLabel(QStringLiteral("0ko/s"), this), "Label1");
    Button4->setVisible(m_debug);
    Label1->setVisible(m_debug);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Button4);
    bottom->addWidget(Label1);
    bottom->addStretch(1);
    bottom->addWidget(Button3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->setSpacing(4);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(bottom);

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(RecorderPeriodMs);

    m_primed = false;
    const InterfaceTable table = sampler.FetchInterfaceTable().value_or(InterfaceTable{});
    fillInterfaceLists(DisplayNames(table));
    readSettings(table);
    ApplyColourEdits();

    m_updatingLists = false;
    connectHandlers();
    Timer1->start();
}

ConfigWindow::~ConfigWindow() = default;

void ConfigWindow::buildGeneralPage()
{
    auto* page = new QHBoxLayout(TabSheet1);
    page->setContentsMargins(6, 6, 6, 6);

    auto* left = new QVBoxLayout;
    left->addWidget(Caption(QStringLiteral("Interfaces à monitorer (statistiques) :"), TabSheet1));
    lb = CheckList("lb", TabSheet1);
    left->addWidget(lb, 1);
    BitBtn1 = Named(new QPushButton(QStringLiteral("Selectionner une interface à visualiser"), TabSheet1), "BitBtn1");
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    left->addWidget(BitBtn1);
    auto* options = Named(new QGroupBox(QStringLiteral("Options"), TabSheet1), "GroupBox1");
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->setContentsMargins(8, 4, 8, 4);
    cbWin = Named(new QCheckBox(QStringLiteral("Démarrer avec Windows"), options), "cbWin");
    optionsLayout->addWidget(cbWin);
    left->addWidget(options);
    page->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto* colours = Named(new QGroupBox(QStringLiteral("Couleurs graphique"), TabSheet1), "GroupBox2");
    auto* grid = new QGridLayout(colours);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setVerticalSpacing(3);
    const std::array<QString, 5> captions{QStringLiteral("Récéption 1 :"), QStringLiteral("Envoi 1 :"),
                                          QStringLiteral("Récéption 2 Pic:"), QStringLiteral("Envoi 2 Pic :"),
                                          QStringLiteral("Intersection 1-2:")};
    const std::array<QLineEdit**, 5> edits{&Edit1, &Edit2, &Edit3, &Edit4, &Edit5};
    const std::array<ColourSwatch**, 5> swatches{&Shape1, &Shape2, &Shape3, &Shape4, &Shape5};
    for (size_t i = 0; i < 5; ++i)
    {
        const QByteArray n = QByteArray::number(static_cast<int>(i) + 1);
        QLineEdit* edit =
            Named(new QLineEdit(QString::fromLatin1(ColourDefaults[i]), colours), ("Edit" + n).constData());
        edit->setFixedWidth(72);
        *edits[i] = edit;
        *swatches[i] = Named(new ColourSwatch(colours), ("Shape" + n).constData());
        const int row = static_cast<int>(i);
        grid->addWidget(Caption(captions[i], colours), row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(*swatches[i], row, 2);
    }
    Button1 = Named(new QPushButton(QStringLiteral("Défaut"), colours), "Button1");
    grid->addWidget(Button1, 5, 1, 1, 2);
    right->addWidget(colours);

    auto* blend = Named(new QGroupBox(QStringLiteral("Transparence"), TabSheet1), "GroupBox3");
    auto* blendLayout = new QGridLayout(blend);
    blendLayout->setContentsMargins(8, 4, 8, 4);
    blendLayout->setVerticalSpacing(2);
    cbBlend = Named(new QCheckBox(QStringLiteral("Activer la transparence"), blend), "cbBlend");
    tbBlend = Named(new QSlider(Qt::Horizontal, blend), "tbBlend");
    tbBlend->setRange(0, 255);
    tbBlend->setValue(255);
    tbBlend->setTickInterval(26);
    tbBlend->setTickPosition(QSlider::TicksBelow);
    blendLayout->addWidget(cbBlend, 0, 0, 1, 3);
    blendLayout->addWidget(Caption(QStringLiteral("Niveau :"), blend), 1, 0, 1, 3);
    blendLayout->addWidget(Caption(QStringLiteral("0%"), blend), 2, 0);
    blendLayout->addWidget(tbBlend, 2, 1);
    blendLayout->addWidget(Caption(QStringLiteral("100%"), blend), 2, 2);
    right->addWidget(blend);
    right->addStretch(1);
    page->addLayout(right);
}

void ConfigWindow::buildMeterPage()
{
    auto* page = new QHBoxLayout(TabSheet2);
    page->setContentsMargins(6, 6, 6, 6);

    auto* left = new QVBoxLayout;
    left->setSpacing(3);

    auto* legend = Named(new QGroupBox(QStringLiteral("Légende"), TabSheet2), "GroupBox4");
    auto* legendLayout = new QGridLayout(legend);
    legendLayout->setContentsMargins(8, 4, 8, 4);
    legendLayout->setVerticalSpacing(2);
    rb1 = Named(new QRadioButton(QStringLiteral("Octets"), legend), "rb1");
    rb2 = Named(new QRadioButton(QStringLiteral("Bits"), legend), "rb2");
    rb2->setChecked(true);
    legendLayout->addWidget(rb1, 0, 0);
    legendLayout->addWidget(rb2, 0, 1);
    gradspin = Named(new QSpinBox(legend), "gradspin");
    gradspin->setRange(0, 999);
    gradspin->setFixedWidth(64);
    gradspin->setValue(4);
    legendLayout->addWidget(Caption(QStringLiteral("Graduations horizontales : "), legend), 1, 0);
    legendLayout->addWidget(gradspin, 1, 1, Qt::AlignLeft);
    hspin = Named(new QSpinBox(legend), "hspin");
    hspin->setRange(1, 3600);
    hspin->setFixedWidth(64);
    hspin->setValue(30);
    legendLayout->addWidget(Caption(QStringLiteral("Graduations verticales toutes les :"), legend), 2, 0, 1, 2);
    auto* hRow = new QHBoxLayout;
    hRow->addWidget(hspin);
    hRow->addWidget(Caption(QStringLiteral("secondes"), legend));
    hRow->addStretch(1);
    legendLayout->addLayout(hRow, 3, 1);
    cb = Named(new QComboBox(legend), "cb");
    cb->addItems(ScalePresetTexts());
    cb->setCurrentIndex(-1);
    legendLayout->addWidget(Caption(QStringLiteral("Echelle :"), legend), 4, 0);
    legendLayout->addWidget(cb, 4, 1);
    spdspin = Named(new QSpinBox(legend), "spdspin");
    spdspin->setRange(MinimumFullScale, INT32_MAX);
    spdspin->setValue(65536);
    spdspin->setEnabled(false);
    legendLayout->addWidget(Caption(QStringLiteral("Vitesse :"), legend), 5, 0);
    auto* sRow = new QHBoxLayout;
    sRow->addWidget(spdspin, 1);
    sRow->addWidget(Caption(QStringLiteral("octets/s"), legend));
    legendLayout->addLayout(sRow, 5, 1);
    left->addWidget(legend);

    auto* options = Named(new QGroupBox(QStringLiteral("Options"), TabSheet2), "GroupBox5");
    auto* optionsLayout = new QGridLayout(options);
    optionsLayout->setContentsMargins(8, 4, 8, 4);
    optionsLayout->setVerticalSpacing(2);
    aot = Named(new QCheckBox(QStringLiteral("Toujours au dessus"), options), "aot");
    aot->setChecked(true);
    micro = Named(new QCheckBox(QStringLiteral("Mode Compact"), options), "micro");
    cbGr = Named(new QCheckBox(QStringLiteral("Afficher le graphique"), options), "cbGr");
    cbGr->setChecked(true);
    optionsLayout->addWidget(aot, 0, 0);
    optionsLayout->addWidget(micro, 0, 1);
    optionsLayout->addWidget(cbGr, 1, 0, 1, 2);
    optionsLayout->addWidget(Caption(QStringLiteral("Période de rafraichissement :"), options), 2, 0);
    Label14 = Named(new QLabel(RefreshPeriodText(20), options), "Label14");
    optionsLayout->addWidget(Label14, 2, 1);
    tb = Named(new QSlider(Qt::Horizontal, options), "tb");
    tb->setRange(1, 100);
    tb->setValue(20);
    tb->setTickInterval(5);
    tb->setTickPosition(QSlider::TicksBelow);
    optionsLayout->addWidget(tb, 3, 0, 1, 2);
    left->addWidget(options);
    left->addStretch(1);
    page->addLayout(left, 1);

    auto* lists = Named(new QGroupBox(QStringLiteral("Interfaces à monitorer"), TabSheet2), "GroupBox6");
    lists->setFixedWidth(150);
    auto* listsLayout = new QVBoxLayout(lists);
    listsLayout->setContentsMargins(6, 4, 6, 4);
    listsLayout->setSpacing(2);
    listsLayout->addWidget(Caption(QStringLiteral("Graphique 1 :"), lists));
    lb1 = CheckList("lb1", lists);
    listsLayout->addWidget(lb1, 1);
    listsLayout->addWidget(Caption(QStringLiteral("Graphique 2 :"), lists));
    lb2 = CheckList("lb2", lists);
    listsLayout->addWidget(lb2, 1);
    page->addWidget(lists);
}

void ConfigWindow::connectHandlers()
{
    for (int n = 1; n <= 5; ++n)
    {
        connect(edit(n), &QLineEdit::editingFinished, this, &ConfigWindow::Edit1Exit);
        connect(swatch(n), &ColourSwatch::pressed, this, [this, n] { PickColour(n); });
    }
    connect(Button1, &QPushButton::clicked, this, &ConfigWindow::Button1Click);
    connect(cb, &QComboBox::activated, this, &ConfigWindow::cbChange);
    connect(gradspin, &QSpinBox::valueChanged, this, &ConfigWindow::spdspinChange);
    connect(spdspin, &QSpinBox::valueChanged, this, &ConfigWindow::spdspinChange);
    connect(hspin, &QSpinBox::valueChanged, this, &ConfigWindow::spdspinChange);
    connect(rb1, &QRadioButton::clicked, this, &ConfigWindow::spdspinChange);
    connect(rb2, &QRadioButton::clicked, this, &ConfigWindow::spdspinChange);
    // Check boxes act whenever their state changes, also when another handler sets them.
    connect(aot, &QCheckBox::toggled, this, &ConfigWindow::aotClick);
    connect(micro, &QCheckBox::toggled, this, &ConfigWindow::microClick);
    connect(cbGr, &QCheckBox::toggled, this, &ConfigWindow::cbGrClick);
    connect(cbBlend, &QCheckBox::toggled, this, &ConfigWindow::cbBlendClick);
    connect(tb, &QSlider::valueChanged, this, &ConfigWindow::tbChange);
    connect(tbBlend, &QSlider::valueChanged, this, &ConfigWindow::tbBlendChange);
    connect(lb, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { lbItemChanged(lb->row(item)); });
    connect(lb1, &QListWidget::itemChanged, this, &ConfigWindow::lb1Click);
    connect(lb1, &QListWidget::itemClicked, this, &ConfigWindow::lb1Click);
    connect(lb2, &QListWidget::itemChanged, this, &ConfigWindow::lb2Click);
    connect(lb2, &QListWidget::itemClicked, this, &ConfigWindow::lb2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &ConfigWindow::BitBtn1Click);
    connect(Button3, &QPushButton::clicked, this, &ConfigWindow::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &ConfigWindow::Button4Click);
    connect(Timer1, &QTimer::timeout, this, &ConfigWindow::Timer1Timer);
}

void ConfigWindow::fillInterfaceLists(const QStringList& names)
{
    m_names = names;
    for (QListWidget* list : {lb, lb1, lb2})
    {
        for (const QString& name : names)
        {
            auto* item = new QListWidgetItem(name, list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
}

void ConfigWindow::readSettings(const InterfaceTable& table)
{
    cbWin->setChecked(m_autostart.enabled());

    std::vector<bool> recorded(static_cast<size_t>(m_names.size()), false);
    for (int i = 0; i < m_names.size(); ++i)
    {
        const InterfaceMarks marks = ReadInterfaceMarks(m_store, m_names[i]);
        recorded[static_cast<size_t>(i)] = marks.statistics;
        SetChecked(lb, i, marks.statistics);
        SetChecked(lb1, i, marks.graph1);
        // The two graphs never share an interface; graph 2 gives way, as a click in graph 1 would.
        SetChecked(lb2, i, marks.graph2 && !marks.graph1);
    }
    m_recorder.setBaselines(table, recorded);

    for (int n = 1; n <= 5; ++n)
        edit(n)->setText(ReadStringSetting(m_store, ColourValueNames[static_cast<size_t>(n - 1)]));

    // The meter's values live in these controls; no meter is attached yet, so nothing acts on it.
    rb1->setChecked(ReadBoolSetting(m_store, "Unite2"));
    rb2->setChecked(!rb1->isChecked());
    gradspin->setValue(ReadIntSetting(m_store, "Gradu2"));
    hspin->setValue(ReadIntSetting(m_store, "Gradu3"));
    cb->setCurrentIndex(ReadIntSetting(m_store, "Echelle2"));
    spdspin->setValue(ReadIntSetting(m_store, "Vitesse2"));
    spdspin->setEnabled(cb->currentIndex() == ManualScaleIndex);
    cbGr->setChecked(ReadBoolSetting(m_store, "tracegraph"));
    aot->setChecked(ReadBoolSetting(m_store, "aot"));
    micro->setChecked(ReadBoolSetting(m_store, "micro"));
    if (micro->isChecked())
    {
        cbGr->setChecked(false);
        cbGr->setEnabled(false);
    }
    cbBlend->setChecked(ReadBoolSetting(m_store, "Transp"));
    tbBlend->setValue(ReadIntSetting(m_store, "TranspVal"));
}

void ConfigWindow::setMeterControl(MeterControl* meter)
{
    m_meter = meter;
    if (m_meter)
        applyStateToMeter();
}

void ConfigWindow::applyStateToMeter()
{
    // The meter has set its own geometry; the layout, behaviour and legend now follow the controls.
    m_meter->setTimerInterval(refreshPeriodMs());
    m_meter->setStayOnTop(aot->isChecked());
    m_meter->setStayOnTopChecked(aot->isChecked());
    m_meter->setTranslucent(cbBlend->isChecked());
    m_meter->setOpacityLevel(tbBlend->value());
    if (!cbGr->isChecked())
        m_layout.hideGraph(*m_meter);
    m_meter->setFrameless(micro->isChecked());
    m_meter->setCompactChecked(micro->isChecked());
    m_meter->setSnapshotIconVisible(!micro->isChecked());
    m_meter->redrawLegend();
}

void ConfigWindow::addSettingsContributor(const SettingsContributor* contributor)
{
    if (contributor)
        m_contributors.push_back(contributor);
}

QLineEdit* ConfigWindow::edit(int n) const
{
    const std::array<QLineEdit*, 5> edits{Edit1, Edit2, Edit3, Edit4, Edit5};
    return edits.at(static_cast<size_t>(n - 1));
}

ColourSwatch* ConfigWindow::swatch(int n) const
{
    const std::array<ColourSwatch*, 5> swatches{Shape1, Shape2, Shape3, Shape4, Shape5};
    return swatches.at(static_cast<size_t>(n - 1));
}

std::vector<bool> ConfigWindow::checkedItems(const QListWidget* list) const
{
    std::vector<bool> checked(static_cast<size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i)
        checked[static_cast<size_t>(i)] = IsChecked(list, i);
    return checked;
}

int ConfigWindow::interfaceCount() const
{
    return lb->count();
}

QStringList ConfigWindow::interfaceNames() const
{
    return m_names;
}

bool ConfigWindow::statisticsChecked(int position) const
{
    return IsChecked(lb, position);
}

bool ConfigWindow::graph1Checked(int position) const
{
    return IsChecked(lb1, position);
}

bool ConfigWindow::graph2Checked(int position) const
{
    return IsChecked(lb2, position);
}

int ConfigWindow::refreshPosition() const
{
    return tb->value();
}

int ConfigWindow::refreshPeriodMs() const
{
    return RefreshPeriodMs(tb->value());
}

QString ConfigWindow::refreshPeriodText() const
{
    return Label14->text();
}

bool ConfigWindow::unitOctets() const
{
    return rb1->isChecked();
}

int ConfigWindow::scaleIndex() const
{
    return cb->currentIndex();
}

int ConfigWindow::fullScale() const
{
    return spdspin->value();
}

int ConfigWindow::horizontalGradations() const
{
    return gradspin->value();
}

int ConfigWindow::verticalGradationSeconds() const
{
    return hspin->value();
}

bool ConfigWindow::graphShown() const
{
    return cbGr->isChecked();
}

bool ConfigWindow::compactMode() const
{
    return micro->isChecked();
}

QString ConfigWindow::colourText(int n) const
{
    return edit(n)->text();
}

uint32_t ConfigWindow::colour(int n) const
{
    return ColourFromText(colourText(n));
}

bool ConfigWindow::recorderTimerActive() const
{
    return Timer1->isActive();
}

void ConfigWindow::setRecorderTimerActive(bool active)
{
    if (active)
        Timer1->start();
    else
        Timer1->stop();
}

void ConfigWindow::showWindow()
{
    if (!isVisible())
    {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void ConfigWindow::showTachymetrePage()
{
    PageControl1->setCurrentWidget(TabSheet2);
    showWindow();
}

void ConfigWindow::RecordCycle()
{
    m_recorder.RecordCycle(m_names, checkedItems(lb));
}

SettingValues ConfigWindow::ownValues() const
{
    SettingValues values;
    const auto put = [&values](const char* name, SettingValue value) {
        values[QString::fromLatin1(name)] = std::move(value);
    };
    put("Transp", cbBlend->isChecked());
    put("TranspVal", static_cast<int32_t>(tbBlend->value()));
    put("aot", aot->isChecked());
    put("Unite2", rb1->isChecked());
    put("tracegraph", cbGr->isChecked());
    put("micro", micro->isChecked());
    put("Gradu2", static_cast<int32_t>(gradspin->value()));
    put("Gradu3", static_cast<int32_t>(hspin->value()));
    put("Echelle2", static_cast<int32_t>(cb->currentIndex()));
    put("Vitesse2", static_cast<int32_t>(spdspin->value()));
    for (int n = 1; n <= 5; ++n)
        put(ColourValueNames[static_cast<size_t>(n - 1)], edit(n)->text());
    return values;
}

bool ConfigWindow::SaveSettings()
{
    RecordCycle();

    bool ok = true;
    const auto report = [this, &ok](const QString& path) {
        ok = false;
        m_errors.showError(QStringLiteral("Impossible d'écrire dans %1").arg(path));
    };

    const bool autostartWritten =
        cbWin->isChecked() ? m_autostart.enable(QCoreApplication::applicationFilePath()) : m_autostart.disable();
    if (!autostartWritten)
        report(m_autostart.path());

    for (int i = 0; i < m_names.size(); ++i)
        WriteInterfaceMarks(m_store, m_names[i], {IsChecked(lb, i), IsChecked(lb1, i), IsChecked(lb2, i)});

    SettingValues values = ownValues();
    for (const SettingsContributor* contributor : m_contributors)
        contributor->contributeSettings(values);
    for (const SettingSpec& spec : SettingsTable())
    {
        const auto it = values.find(QString::fromLatin1(spec.name));
        if (it != values.end())
            WriteSetting(m_store, spec, it->second);
        else if (!m_store.exists(QString::fromLatin1(spec.name)))
            // A window that is not there to ask: its stored value stays, and a missing one gets the
            // default, so that a guard written here always comes with the rest of its group.
            WriteSetting(m_store, spec, DefaultValue(spec));
    }

    if (!m_store.sync())
        report(m_store.path());
    return ok;
}

void ConfigWindow::ApplyColourEdits()
{
    for (int n = 1; n <= 5; ++n)
        swatch(n)->setColour(QColor::fromRgb(BgrToArgb(colour(n))));
}

void ConfigWindow::Button1Click()
{
    for (int n = 1; n <= 5; ++n)
        edit(n)->setText(QString::fromLatin1(ColourDefaults[static_cast<size_t>(n - 1)]));
    ApplyColourEdits();
}

void ConfigWindow::PickColour(int n)
{
    // The dialog starts from the swatch's colour, and a cancel leaves the colour as it was.
    const auto chosen = m_colourDialog.getColour(swatch(n)->colour(), this);
    if (!chosen)
        return;
    edit(n)->setText(ColourToText(ArgbToBgr(chosen->rgb())));
    swatch(n)->setColour(QColor::fromRgb(BgrToArgb(colour(n))));
}

void ConfigWindow::cbChange()
{
    ScalePreset preset{};
    if (!ScalePresetAt(cb->currentIndex(), preset))
        return;
    spdspin->setValue(preset.fullScale);
    spdspin->setEnabled(preset.editable);
}

void ConfigWindow::spdspinChange()
{
    if (m_meter)
        m_meter->redrawLegend();
}

void ConfigWindow::aotClick()
{
    if (!m_meter)
        return;
    m_meter->setStayOnTop(aot->isChecked());
    m_meter->setStayOnTopChecked(aot->isChecked());
}

void ConfigWindow::microClick()
{
    if (micro->isChecked())
    {
        cbGr->setChecked(false);
        cbGr->setEnabled(false);
    }
    else
    {
        cbGr->setChecked(true);
        cbGr->setEnabled(true);
    }
    if (!m_meter)
        return;
    m_meter->setFrameless(micro->isChecked());
    m_meter->setCompactChecked(micro->isChecked());
    m_meter->setSnapshotIconVisible(!micro->isChecked());
}

void ConfigWindow::cbGrClick()
{
    if (!m_meter)
        return;
    if (cbGr->isChecked())
        m_layout.showGraph(*m_meter);
    else
        m_layout.hideGraph(*m_meter);
}

void ConfigWindow::tbChange()
{
    Label14->setText(RefreshPeriodText(tb->value()));
    // Readings taken at the old period give no rate at the new one.
    m_primed = false;
    if (m_meter)
        m_meter->setTimerInterval(refreshPeriodMs());
}

void ConfigWindow::cbBlendClick()
{
    if (m_meter)
        m_meter->setTranslucent(cbBlend->isChecked());
}

void ConfigWindow::tbBlendChange()
{
    if (m_meter)
        m_meter->setOpacityLevel(tbBlend->value());
}

void ConfigWindow::lbItemChanged(int position)
{
    if (m_updatingLists || !IsChecked(lb, position))
        return;
    m_recorder.interfaceChecked(position);
}

void ConfigWindow::keepListsDisjoint(QListWidget* clicked, QListWidget* other)
{
    if (m_updatingLists)
        return;
    m_primed = false;
    m_updatingLists = true;
    for (int i = 0; i < clicked->count() && i < other->count(); ++i)
    {
        if (IsChecked(clicked, i) && IsChecked(other, i))
            SetChecked(other, i, false);
    }
    m_updatingLists = false;
}

void ConfigWindow::lb1Click()
{
    keepListsDisjoint(lb1, lb2);
}

void ConfigWindow::lb2Click()
{
    keepListsDisjoint(lb2, lb1);
}

void ConfigWindow::BitBtn1Click()
{
    emit statisticsFolderRequested();
}

void ConfigWindow::Button3Click()
{
    hide();
}

void ConfigWindow::Button4Click()
{
    m_messageBoxes.information(this,
                               Timer1->isActive() ? QStringLiteral("Timer activé") : QStringLiteral("Timer désactivé"));
}

bool ConfigWindow::FormCloseQuery()
{
    SaveSettings();
    return true;
}

void ConfigWindow::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}
