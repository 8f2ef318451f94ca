// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/widgets/ConfigWindow.h"

#include "common/Colour.h"
#include "common/widgets/Named.h"
#include "common/widgets/Readable.h"
#include "config/ScalePresets.h"
#include "config/Settings.h"
#include "config/widgets/ColourSwatch.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
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
#include <QVBoxLayout>

namespace
{
constexpr std::array<const char*, 5> ColourDefaults{"00CC00", "FF0000", "006600", "FF00FF", "01E5DD"};

QLabel* Caption(const QString& text, QWidget* parent)
{
    return new QLabel(text, parent);
}

QListWidget* CheckList(const char* name, QWidget* parent)
{
    auto* list = Named(new QListWidget(parent), name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    KeepCheckIndicatorsReadable(list);
    return list;
}

void SetChecked(QListWidget* list, int row, bool checked)
{
    if (QListWidgetItem* item = list->item(row))
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool IsChecked(const QListWidget* list, int row)
{
    return row >= 0 && row < list->count() && list->item(row)->checkState() == Qt::Checked;
}
} // namespace

ConfigWindow::ConfigWindow(Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_settings(settings)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Configuration"));

    m_pages = Named(new QTabWidget(this), "PageControl1");
    m_generalPage = Named(new QWidget, "TabSheet1");
    m_meterPage = Named(new QWidget, "TabSheet2");
    m_pages->addTab(m_generalPage, QStringLiteral("Options Générales / Statistiques"));
    m_pages->addTab(m_meterPage, QStringLiteral("Tachymetre"));
    buildGeneralPage();
    buildMeterPage();

    m_okButton = Named(new QPushButton(QStringLiteral("OK"), this), "Button3");
    m_okButton->setDefault(true);
    m_timerStateButton = Named(new QPushButton(QStringLiteral("test timer"), this), "Button4");
    m_debugLabel = Named(new QLabel(QStringLiteral("0ko/s"), this), "Label1");
    m_timerStateButton->setVisible(m_settings.debugMode());
    m_debugLabel->setVisible(m_settings.debugMode());

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_timerStateButton);
    bottom->addWidget(m_debugLabel);
    bottom->addStretch(1);
    bottom->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->setSpacing(4);
    layout->addWidget(m_pages, 1);
    layout->addLayout(bottom);

    // The designed size, or more where the desktop's font needs it, so that no text is cut.
    setFixedSize(QSize(522, 352).expandedTo(minimumSizeHint()));

    fillInterfaceLists();
    showAllValues();
    connectControls();
    connectModel();
}

ConfigWindow::~ConfigWindow() = default;

void ConfigWindow::buildGeneralPage()
{
    auto* page = new QHBoxLayout(m_generalPage);
    page->setContentsMargins(6, 6, 6, 6);

    auto* left = new QVBoxLayout;
    left->addWidget(Caption(QStringLiteral("Interfaces à monitorer (statistiques) :"), m_generalPage));
    m_statisticsList = CheckList("lb", m_generalPage);
    left->addWidget(m_statisticsList, 1);
    // Said under the list it concerns, in the caption's small print: nothing to act on.
    m_recorderNote =
        Named(new QLabel(QStringLiteral("Le service vorp-recorder enregistre ces interfaces."), m_generalPage),
              "recorderNote");
    m_recorderNote->setWordWrap(true);
    m_recorderNote->setEnabled(false);
    m_recorderNote->hide();
    left->addWidget(m_recorderNote);
    m_chooseFolderButton =
        Named(new QPushButton(QStringLiteral("Selectionner une interface à visualiser"), m_generalPage), "BitBtn1");
    m_chooseFolderButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    // Its whole text and icon: the column is as wide as the button needs.
    m_chooseFolderButton->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    left->addWidget(m_chooseFolderButton);
    auto* options = Named(new QGroupBox(QStringLiteral("Options"), m_generalPage), "GroupBox1");
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->setContentsMargins(8, 4, 8, 4);
    m_startWithSessionBox = Named(new QCheckBox(QStringLiteral("Démarrer avec Windows"), options), "cbWin");
    optionsLayout->addWidget(m_startWithSessionBox);
    left->addWidget(options);
    page->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto* colours = Named(new QGroupBox(QStringLiteral("Couleurs graphique"), m_generalPage), "GroupBox2");
    auto* grid = new QGridLayout(colours);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setVerticalSpacing(3);
    const std::array<QString, 5> captions{QStringLiteral("Récéption 1 :"), QStringLiteral("Envoi 1 :"),
                                          QStringLiteral("Récéption 2 Pic:"), QStringLiteral("Envoi 2 Pic :"),
                                          QStringLiteral("Intersection 1-2:")};
    for (size_t i = 0; i < 5; ++i)
    {
        const QByteArray n = QByteArray::number(static_cast<int>(i) + 1);
        QLineEdit* edit =
            Named(new QLineEdit(QString::fromLatin1(ColourDefaults[i]), colours), ("Edit" + n).constData());
        edit->setFixedWidth(72);
        m_colourEdits[i] = edit;
        m_colourSwatches[i] = Named(new ColourSwatch(colours), ("Shape" + n).constData());
        const int row = static_cast<int>(i);
        grid->addWidget(Caption(captions[i], colours), row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(m_colourSwatches[i], row, 2);
    }
    m_defaultColoursButton = Named(new QPushButton(QStringLiteral("Défaut"), colours), "Button1");
    grid->addWidget(m_defaultColoursButton, 5, 1, 1, 2);
    right->addWidget(colours);

    auto* blend = Named(new QGroupBox(QStringLiteral("Transparence"), m_generalPage), "GroupBox3");
    auto* blendLayout = new QGridLayout(blend);
    blendLayout->setContentsMargins(8, 4, 8, 4);
    blendLayout->setVerticalSpacing(2);
    m_translucentBox = Named(new QCheckBox(QStringLiteral("Activer la transparence"), blend), "cbBlend");
    m_opacitySlider = Named(new QSlider(Qt::Horizontal, blend), "tbBlend");
    m_opacitySlider->setRange(0, 255);
    m_opacitySlider->setValue(255);
    m_opacitySlider->setTickInterval(26);
    m_opacitySlider->setTickPosition(QSlider::TicksBelow);
    blendLayout->addWidget(m_translucentBox, 0, 0, 1, 3);
    blendLayout->addWidget(Caption(QStringLiteral("Niveau :"), blend), 1, 0, 1, 3);
    blendLayout->addWidget(Caption(QStringLiteral("0%"), blend), 2, 0);
    blendLayout->addWidget(m_opacitySlider, 2, 1);
    blendLayout->addWidget(Caption(QStringLiteral("100%"), blend), 2, 2);
    right->addWidget(blend);
    right->addStretch(1);
    page->addLayout(right);
}

void ConfigWindow::buildMeterPage()
{
    auto* page = new QHBoxLayout(m_meterPage);
    page->setContentsMargins(6, 6, 6, 6);

    auto* left = new QVBoxLayout;
    left->setSpacing(3);

    auto* legend = Named(new QGroupBox(QStringLiteral("Légende"), m_meterPage), "GroupBox4");
    auto* legendLayout = new QGridLayout(legend);
    legendLayout->setContentsMargins(8, 4, 8, 4);
    legendLayout->setVerticalSpacing(2);
    m_octetsButton = Named(new QRadioButton(QStringLiteral("Octets"), legend), "rb1");
    m_bitsButton = Named(new QRadioButton(QStringLiteral("Bits"), legend), "rb2");
    m_bitsButton->setChecked(true);
    legendLayout->addWidget(m_octetsButton, 0, 0);
    legendLayout->addWidget(m_bitsButton, 0, 1);
    m_gradationsSpin = Named(new QSpinBox(legend), "gradspin");
    m_gradationsSpin->setRange(0, 999);
    m_gradationsSpin->setFixedWidth(64);
    m_gradationsSpin->setValue(4);
    legendLayout->addWidget(Caption(QStringLiteral("Graduations horizontales : "), legend), 1, 0);
    legendLayout->addWidget(m_gradationsSpin, 1, 1, Qt::AlignLeft);
    m_gradationSecondsSpin = Named(new QSpinBox(legend), "hspin");
    m_gradationSecondsSpin->setRange(1, 3600);
    m_gradationSecondsSpin->setFixedWidth(64);
    m_gradationSecondsSpin->setValue(30);
    legendLayout->addWidget(Caption(QStringLiteral("Graduations verticales toutes les :"), legend), 2, 0, 1, 2);
    auto* hRow = new QHBoxLayout;
    hRow->addWidget(m_gradationSecondsSpin);
    hRow->addWidget(Caption(QStringLiteral("secondes"), legend));
    hRow->addStretch(1);
    legendLayout->addLayout(hRow, 3, 1);
    m_scaleCombo = Named(new QComboBox(legend), "cb");
    m_scaleCombo->addItems(ScalePresetTexts());
    m_scaleCombo->setCurrentIndex(-1);
    legendLayout->addWidget(Caption(QStringLiteral("Echelle :"), legend), 4, 0);
    legendLayout->addWidget(m_scaleCombo, 4, 1);
    m_fullScaleSpin = Named(new QSpinBox(legend), "spdspin");
    m_fullScaleSpin->setRange(MinimumFullScale, INT32_MAX);
    m_fullScaleSpin->setValue(65536);
    m_fullScaleSpin->setEnabled(false);
    legendLayout->addWidget(Caption(QStringLiteral("Vitesse :"), legend), 5, 0);
    auto* sRow = new QHBoxLayout;
    sRow->addWidget(m_fullScaleSpin, 1);
    sRow->addWidget(Caption(QStringLiteral("octets/s"), legend));
    legendLayout->addLayout(sRow, 5, 1);
    left->addWidget(legend);

    auto* options = Named(new QGroupBox(QStringLiteral("Options"), m_meterPage), "GroupBox5");
    auto* optionsLayout = new QGridLayout(options);
    optionsLayout->setContentsMargins(8, 4, 8, 4);
    optionsLayout->setVerticalSpacing(2);
    m_stayOnTopBox = Named(new QCheckBox(QStringLiteral("Toujours au dessus"), options), "aot");
    m_stayOnTopBox->setChecked(true);
    m_compactBox = Named(new QCheckBox(QStringLiteral("Mode Compact"), options), "micro");
    m_graphShownBox = Named(new QCheckBox(QStringLiteral("Afficher le graphique"), options), "cbGr");
    m_graphShownBox->setChecked(true);
    optionsLayout->addWidget(m_stayOnTopBox, 0, 0);
    optionsLayout->addWidget(m_compactBox, 0, 1);
    optionsLayout->addWidget(m_graphShownBox, 1, 0, 1, 2);
    optionsLayout->addWidget(Caption(QStringLiteral("Période de rafraichissement :"), options), 2, 0);
    m_refreshLabel = Named(new QLabel(RefreshPeriodText(20), options), "Label14");
    optionsLayout->addWidget(m_refreshLabel, 2, 1);
    m_refreshSlider = Named(new QSlider(Qt::Horizontal, options), "tb");
    m_refreshSlider->setRange(1, 100);
    m_refreshSlider->setValue(20);
    m_refreshSlider->setTickInterval(5);
    m_refreshSlider->setTickPosition(QSlider::TicksBelow);
    optionsLayout->addWidget(m_refreshSlider, 3, 0, 1, 2);
    left->addWidget(options);
    left->addStretch(1);
    page->addLayout(left, 1);

    auto* lists = Named(new QGroupBox(QStringLiteral("Interfaces à monitorer"), m_meterPage), "GroupBox6");
    lists->setFixedWidth(150);
    auto* listsLayout = new QVBoxLayout(lists);
    listsLayout->setContentsMargins(6, 4, 6, 4);
    listsLayout->setSpacing(2);
    listsLayout->addWidget(Caption(QStringLiteral("Graphique 1 :"), lists));
    m_graph1List = CheckList("lb1", lists);
    listsLayout->addWidget(m_graph1List, 1);
    listsLayout->addWidget(Caption(QStringLiteral("Graphique 2 :"), lists));
    m_graph2List = CheckList("lb2", lists);
    listsLayout->addWidget(m_graph2List, 1);
    page->addWidget(lists);
}

void ConfigWindow::fillInterfaceLists()
{
    for (QListWidget* list : {m_statisticsList, m_graph1List, m_graph2List})
    {
        for (const QString& name : m_settings.interfaceNames())
        {
            auto* item = new QListWidgetItem(name, list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
}

void ConfigWindow::connectControls()
{
    for (size_t i = 0; i < m_colourEdits.size(); ++i)
    {
        connect(m_colourEdits[i], &QLineEdit::editingFinished, this, &ConfigWindow::applyColourEdits);
        connect(m_colourSwatches[i], &ColourSwatch::pressed, this, [this, i] { pickColour(static_cast<int>(i) + 1); });
    }
    connect(m_defaultColoursButton, &QPushButton::clicked, this, &ConfigWindow::restoreDefaultColours);
    connect(m_scaleCombo, &QComboBox::activated, this, &ConfigWindow::applyScalePreset);
    connect(m_gradationsSpin, &QSpinBox::valueChanged, this, &ConfigWindow::writeLegend);
    connect(m_fullScaleSpin, &QSpinBox::valueChanged, this, &ConfigWindow::writeLegend);
    connect(m_gradationSecondsSpin, &QSpinBox::valueChanged, this, &ConfigWindow::writeLegend);
    connect(m_octetsButton, &QRadioButton::toggled, this, &ConfigWindow::writeLegend);

    const auto onToggle = [this](QCheckBox* box, SettingKey<bool> key) {
        connect(box, &QCheckBox::toggled, this, [this, key](bool on) {
            if (!m_showing)
                m_settings.set(key, on);
        });
    };
    onToggle(m_stayOnTopBox, settings::MeterStayOnTop);
    onToggle(m_compactBox, settings::MeterCompact);
    onToggle(m_graphShownBox, settings::MeterGraphShown);
    onToggle(m_translucentBox, settings::MeterTranslucent);
    connect(m_opacitySlider, &QSlider::valueChanged, this, [this](int alpha) {
        if (!m_showing)
            m_settings.set(settings::MeterOpacity, alpha);
    });
    connect(m_refreshSlider, &QSlider::valueChanged, this, [this](int position) {
        if (!m_showing)
            m_settings.setRefreshPosition(position);
    });
    connect(m_startWithSessionBox, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showing)
            m_settings.setStartWithSession(on);
    });
    for (QListWidget* list : {m_statisticsList, m_graph1List, m_graph2List})
        connect(list, &QListWidget::itemChanged, this,
                [this, list](QListWidgetItem* item) { listItemChanged(list, list->row(item)); });
    connect(m_chooseFolderButton, &QPushButton::clicked, this, &ConfigWindow::statisticsFolderRequested);
    connect(m_okButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_timerStateButton, &QPushButton::clicked, this, &ConfigWindow::showRecordingState);
}

void ConfigWindow::connectModel()
{
    connect(&m_settings, &Settings::changed, this, &ConfigWindow::showValue);
    connect(&m_settings, &Settings::marksChanged, this, &ConfigWindow::showMarks);
    connect(&m_settings, &Settings::refreshPositionChanged, this, &ConfigWindow::showRefreshPeriod);
    connect(&m_settings, &Settings::refreshLockChanged, this, &ConfigWindow::showRefreshPeriod);
    connect(&m_settings, &Settings::startWithSessionChanged, this, [this](bool on) {
        m_showing = true;
        m_startWithSessionBox->setChecked(on);
        m_showing = false;
    });
}

void ConfigWindow::showAllValues()
{
    for (size_t row = 0; row < kSettingsTable.size(); ++row)
        showValue(static_cast<int>(row));
    for (int i = 0; i < m_settings.interfaceCount(); ++i)
        showMarks(i);
    showRefreshPeriod();
    m_showing = true;
    m_startWithSessionBox->setChecked(m_settings.startWithSession());
    m_showing = false;
}

void ConfigWindow::showValue(int row)
{
    using namespace settings;
    m_showing = true;
    for (size_t i = 0; i < Colours.size(); ++i)
        if (Settings::is(row, Colours[i]))
        {
            m_colourEdits[i]->setText(m_settings.value(Colours[i]));
            showSwatches();
        }
    if (Settings::is(row, MeterUnitOctets))
    {
        m_octetsButton->setChecked(m_settings.value(MeterUnitOctets));
        m_bitsButton->setChecked(!m_settings.value(MeterUnitOctets));
    }
    else if (Settings::is(row, MeterGradations))
        m_gradationsSpin->setValue(m_settings.value(MeterGradations));
    else if (Settings::is(row, MeterGradationSeconds))
        m_gradationSecondsSpin->setValue(m_settings.value(MeterGradationSeconds));
    else if (Settings::is(row, MeterScaleIndex))
    {
        m_scaleCombo->setCurrentIndex(m_settings.value(MeterScaleIndex));
        m_fullScaleSpin->setEnabled(m_scaleCombo->currentIndex() == ManualScaleIndex);
    }
    else if (Settings::is(row, MeterFullScale))
        m_fullScaleSpin->setValue(m_settings.value(MeterFullScale));
    else if (Settings::is(row, MeterStayOnTop))
        m_stayOnTopBox->setChecked(m_settings.value(MeterStayOnTop));
    else if (Settings::is(row, MeterCompact) || Settings::is(row, MeterGraphShown))
    {
        m_compactBox->setChecked(m_settings.value(MeterCompact));
        m_graphShownBox->setChecked(m_settings.value(MeterGraphShown));
        // Compact mode has no graph to show.
        m_graphShownBox->setEnabled(!m_settings.value(MeterCompact));
    }
    else if (Settings::is(row, MeterTranslucent))
        m_translucentBox->setChecked(m_settings.value(MeterTranslucent));
    else if (Settings::is(row, MeterOpacity))
        m_opacitySlider->setValue(m_settings.value(MeterOpacity));
    m_showing = false;
}

void ConfigWindow::showMarks(int position)
{
    const InterfaceMarks marks = m_settings.marks(position);
    m_showing = true;
    SetChecked(m_statisticsList, position, marks.statistics);
    SetChecked(m_graph1List, position, marks.graph1);
    SetChecked(m_graph2List, position, marks.graph2);
    m_showing = false;
}

void ConfigWindow::showRefreshPeriod()
{
    m_showing = true;
    m_refreshSlider->setValue(m_settings.refreshPosition());
    m_refreshSlider->setEnabled(!m_settings.refreshLocked());
    m_refreshLabel->setText(RefreshPeriodText(m_settings.refreshPosition()));
    m_showing = false;
}

void ConfigWindow::showSwatches()
{
    for (size_t i = 0; i < m_colourSwatches.size(); ++i)
        m_colourSwatches[i]->setColour(QColor::fromRgb(BgrToArgb(ColourFromText(m_colourEdits[i]->text()))));
}

void ConfigWindow::listItemChanged(QListWidget* list, int position)
{
    if (m_showing)
        return;
    Q_UNUSED(list);
    m_settings.setMarks(position, {IsChecked(m_statisticsList, position), IsChecked(m_graph1List, position),
                                   IsChecked(m_graph2List, position)});
    // The model may have refused a mark (the two graphs never share an interface): show what it holds.
    showMarks(position);
}

void ConfigWindow::showWindow()
{
    if (!isVisible())
    {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void ConfigWindow::setRecordingElsewhere(bool on)
{
    m_recorderNote->setVisible(on);
}

bool ConfigWindow::recordingElsewhereShown() const
{
    return !m_recorderNote->isHidden();
}

void ConfigWindow::showGeneralPage()
{
    m_pages->setCurrentWidget(m_generalPage);
    showWindow();
}

void ConfigWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter presses OK and Escape closes the window, as in any dialog; controls that use the keys themselves
    // never pass them on.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier)
    {
        m_okButton->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier)
    {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ConfigWindow::showMeterPage()
{
    m_pages->setCurrentWidget(m_meterPage);
    showWindow();
}

void ConfigWindow::applyColourEdits()
{
    for (size_t i = 0; i < m_colourEdits.size(); ++i)
        m_settings.set(settings::Colours[i], m_colourEdits[i]->text());
    showSwatches();
}

void ConfigWindow::restoreDefaultColours()
{
    for (size_t i = 0; i < m_colourEdits.size(); ++i)
        m_colourEdits[i]->setText(QString::fromLatin1(ColourDefaults[i]));
    applyColourEdits();
}

void ConfigWindow::pickColour(int n)
{
    // The dialog starts from the swatch's colour, and a cancel leaves the colour as it was.
    const size_t i = static_cast<size_t>(n - 1);
    const auto chosen = m_colourDialog.getColour(m_colourSwatches[i]->colour(), this);
    if (!chosen)
        return;
    m_colourEdits[i]->setText(ColourToText(ArgbToBgr(chosen->rgb())));
    applyColourEdits();
}

void ConfigWindow::applyScalePreset()
{
    ScalePreset preset{};
    const int index = m_scaleCombo->currentIndex();
    if (!ScalePresetAt(index, preset))
        return;
    m_settings.set(settings::MeterScaleIndex, index);
    m_settings.set(settings::MeterFullScale, preset.fullScale);
    m_fullScaleSpin->setEnabled(preset.editable);
}

void ConfigWindow::writeLegend()
{
    if (m_showing)
        return;
    m_settings.set(settings::MeterUnitOctets, m_octetsButton->isChecked());
    m_settings.set(settings::MeterGradations, m_gradationsSpin->value());
    m_settings.set(settings::MeterGradationSeconds, m_gradationSecondsSpin->value());
    m_settings.set(settings::MeterFullScale, m_fullScaleSpin->value());
}

void ConfigWindow::showRecordingState()
{
    const bool on = m_recordingScheduled && m_recordingScheduled();
    m_messageBoxes.information(this, on ? QStringLiteral("Timer activé") : QStringLiteral("Timer désactivé"));
}

void ConfigWindow::closeEvent(QCloseEvent* event)
{
    // What the user set is kept at once, not only at the program's end.
    emit closed();
    event->accept();
}
