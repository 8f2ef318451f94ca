// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/widgets/Dialogs.h"

#include <QWidget>

#include <array>
#include <functional>

class ColourSwatch;
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
class Settings;

// The configuration window: which interfaces are recorded and shown, the graph colours, the meter's
// scale, legend, refresh period, window behaviour and transparency, and autostart. An editor of the
// settings model: its controls show the model and write their changes into it, and nothing else
// reads them.
class ConfigWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConfigWindow)

public:
    explicit ConfigWindow(Settings& settings, QWidget* parent = nullptr);
    ~ConfigWindow() override;

    // Debug mode's "test timer" button asks the recording service through this.
    void setRecordingQuery(std::function<bool()> scheduled) { m_recordingScheduled = std::move(scheduled); }

    // Shows the window on the page last shown, centred on the screen when it was hidden, and brings
    // it back from the minimised state.
    void showWindow();
    void showGeneralPage();
    // The recorder service holds the store: it records the checked interfaces, reading the settings file.
    void setRecordingElsewhere(bool on);
    bool recordingElsewhereShown() const;
    void showMeterPage();

    ColourDialog& colourDialog() { return m_colourDialog; }
    MessageBoxes& messageBoxes() { return m_messageBoxes; }

signals:
    // "Selectionner une interface à visualiser": the shell runs the history graph's "Ouvrir".
    void statisticsFolderRequested();
    // The window was closed (OK or the close box): the application saves the settings.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildGeneralPage();
    void buildMeterPage();
    void fillInterfaceLists();
    void connectControls();
    void connectModel();
    // Model -> controls, for one value of the table or all of them.
    void showValue(int row);
    void showAllValues();
    void showMarks(int position);
    void showRefreshPeriod();
    void showSwatches();

    void applyColourEdits();
    void restoreDefaultColours();
    void pickColour(int n);
    void applyScalePreset();
    void writeLegend();
    void listItemChanged(QListWidget* list, int position);
    void showRecordingState();

    Settings& m_settings;
    std::function<bool()> m_recordingScheduled;
    QLabel* m_recorderNote = nullptr;
    ColourDialog m_colourDialog;
    MessageBoxes m_messageBoxes;
    // True while the window sets its controls from the model, so their handlers stay out.
    bool m_showing = false;

    QTabWidget* m_pages = nullptr;
    QWidget* m_generalPage = nullptr;
    QWidget* m_meterPage = nullptr;
    QListWidget* m_statisticsList = nullptr;
    QPushButton* m_chooseFolderButton = nullptr;
    QCheckBox* m_startWithSessionBox = nullptr;
    std::array<QLineEdit*, 5> m_colourEdits{};
    std::array<ColourSwatch*, 5> m_colourSwatches{};
    QPushButton* m_defaultColoursButton = nullptr;
    QCheckBox* m_translucentBox = nullptr;
    QSlider* m_opacitySlider = nullptr;

    QCheckBox* m_graphShownBox = nullptr;
    QRadioButton* m_octetsButton = nullptr;
    QRadioButton* m_bitsButton = nullptr;
    QSpinBox* m_gradationsSpin = nullptr;
    QSpinBox* m_gradationSecondsSpin = nullptr;
    QComboBox* m_scaleCombo = nullptr;
    QSpinBox* m_fullScaleSpin = nullptr;
    QCheckBox* m_stayOnTopBox = nullptr;
    QCheckBox* m_compactBox = nullptr;
    QSlider* m_refreshSlider = nullptr;
    QLabel* m_refreshLabel = nullptr;
    QListWidget* m_graph1List = nullptr;
    QListWidget* m_graph2List = nullptr;

    QPushButton* m_okButton = nullptr;
    QPushButton* m_timerStateButton = nullptr;
    QLabel* m_debugLabel = nullptr;
};
