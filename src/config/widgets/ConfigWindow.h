#pragma once

#include "config/Autostart.h"
#include "config/MeterControl.h"
#include "config/SettingsContributor.h"
#include "config/widgets/Dialogs.h"
#include "sampling/InterfaceTable.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class ColourSwatch;
class ErrorReporter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTimer;
class RecorderControl;
class Sampler;
class SettingsStore;

// The configuration window: which interfaces are recorded and shown, the graph colours, the meter's
// scale, legend, refresh period, window behaviour and transparency, and autostart. Its controls are
// the meter's live settings; it owns the recorder's five-minute timer and the settings save.
class ConfigWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConfigWindow)

public:
    ConfigWindow(Sampler& sampler, RecorderControl& recorder, SettingsStore& store, ErrorReporter& errors,
           QWidget* parent = nullptr);
    ~ConfigWindow() override;

    // Peers wired by the shell once they exist.
    void setMeterControl(MeterControl* meter);
    void addSettingsContributor(const SettingsContributor* contributor);

    // What the meter reads on each tick.
    int interfaceCount() const;
    QStringList interfaceNames() const;
    bool statisticsChecked(int position) const;
    bool graph1Checked(int position) const;
    bool graph2Checked(int position) const;
    int refreshPosition() const;
    int refreshPeriodMs() const;
    QString refreshPeriodText() const;
    bool unitOctets() const;
    int scaleIndex() const;
    int fullScale() const;
    int horizontalGradations() const;
    int verticalGradationSeconds() const;
    bool graphShown() const;
    bool compactMode() const;
    // n = 1 .. 5: the colour text of Edit n and its colour, 0xBBGGRR.
    QString colourText(int n) const;
    uint32_t colour(int n) const;
    // Cleared by a click in the graph lists and a change of period; the meter sets it after it has
    // stored a reading.
    bool primed() const { return m_primed; }
    void setPrimed(bool primed) { m_primed = primed; }

    bool debugMode() const { return m_debug; }
    bool recorderTimerActive() const;
    void setRecorderTimerActive(bool active);
    // Shows the window on the page last shown, or on the "Tachymetre" page.
    void showWindow();
    void showTachymetrePage();

    ColourDialog& colourDialog() { return m_colourDialog; }
    MessageBoxes& messageBoxes() { return m_messageBoxes; }
    const MeterLayout& meterLayout() const { return m_layout; }

    // Operations other windows invoke.
    void RecordCycle();
    // Runs a last recorder cycle, then writes autostart, the interface marks and every value.
    // False when something could not be written (already reported).
    bool SaveSettings();

    // Handlers.
    void ApplyColourEdits();
    void Edit1Exit() { ApplyColourEdits(); }
    void Button1Click();
    void PickColour(int n);
    void cbChange();
    void spdspinChange();
    void aotClick();
    void microClick();
    void cbGrClick();
    void tbChange();
    void cbBlendClick();
    void tbBlendChange();
    void lb1Click();
    void lb2Click();
    void BitBtn1Click();
    void Button3Click();
    void Button4Click();
    bool FormCloseQuery();
    void Timer1Timer() { RecordCycle(); }

signals:
    // "Selectionner une interface à visualiser": the shell runs the history graph's "Ouvrir".
    void statisticsFolderRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

public:
    // Controls, named as in the design; objectName set to the same name.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;

    QListWidget* lb = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QCheckBox* cbWin = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    ColourSwatch* Shape1 = nullptr;
    ColourSwatch* Shape2 = nullptr;
    ColourSwatch* Shape3 = nullptr;
    ColourSwatch* Shape4 = nullptr;
    ColourSwatch* Shape5 = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* cbBlend = nullptr;
    QSlider* tbBlend = nullptr;

    QCheckBox* cbGr = nullptr;
    QRadioButton* rb1 = nullptr;
    QRadioButton* rb2 = nullptr;
    QSpinBox* gradspin = nullptr;
    QSpinBox* hspin = nullptr;
    QComboBox* cb = nullptr;
    QSpinBox* spdspin = nullptr;
    QCheckBox* aot = nullptr;
    QCheckBox* micro = nullptr;
    QSlider* tb = nullptr;
    QLabel* Label14 = nullptr;
    QListWidget* lb1 = nullptr;
    QListWidget* lb2 = nullptr;

    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;

private:
    void buildGeneralPage();
    void buildMeterPage();
    void connectHandlers();
    void fillInterfaceLists(const QStringList& names);
    void readSettings(const InterfaceTable& table);
    void applyStateToMeter();
    void lbItemChanged(int position);
    void keepListsDisjoint(QListWidget* clicked, QListWidget* other);
    std::vector<bool> checkedItems(const QListWidget* list) const;
    QLineEdit* edit(int n) const;
    ColourSwatch* swatch(int n) const;
    SettingValues ownValues() const;

    RecorderControl& m_recorder;
    SettingsStore& m_store;
    ErrorReporter& m_errors;
    AutostartEntry m_autostart;
    MeterControl* m_meter = nullptr;
    std::vector<const SettingsContributor*> m_contributors;
    MeterLayout m_layout;
    ColourDialog m_colourDialog;
    MessageBoxes m_messageBoxes;
    QStringList m_names;
    bool m_debug = false;
    bool m_primed = false;
    // True while the window sets check marks itself, so the list handlers stay out.
    bool m_updatingLists = true;
};
