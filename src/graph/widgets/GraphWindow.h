// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "graph/HistoryLoader.h"
#include "graph/PictureNames.h"
#include "reports/HistoryNavigator.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class Clock;
class ErrorReporter;
class MessageBoxes;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;
class SaveFileDialog;
class Settings;

// What the history graph window reaches in other windows; filled by the object that creates them.
struct GraphPeers
{
    // The folder chooser's selected statistics directory.
    std::function<QString()> selectedDirectory;
    // Points the chooser at a directory (construction, from the stored "Graphfile").
    std::function<void(const QString&)> setChooserDirectory;
    // The chooser's check with this window as sender; false clears the ready flag.
    std::function<bool()> checkDirectory;
    // Shows the chooser without a modal loop; the chooser enables this window again when it closes.
    std::function<void()> showChooser;
};

// "Module Graphique": the history graph of the selected statistics directory, its controls, picture
// saving and the automatic recording of pictures.
class GraphWindow final : public QWidget, public HistoryNavigator
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GraphWindow)

public:
    // Takes its values from the settings (series colours included) and points the chooser at the stored
    // directory. storeRoot is where pictures go when no other folder is given.
    GraphWindow(Settings& settings, MessageBoxes& messages, ErrorReporter& errors, SaveFileDialog& saveDialog,
                const Clock& clock, QString storeRoot, GraphPeers peers, QWidget* parent = nullptr);
    ~GraphWindow() override;

    // HistoryNavigator: the totals and histogram windows.
    void setDateAndDraw(const QDate& date) override;
    void openChooser() override;

    // The single command-line argument: becomes the picture base name; the window is shown and drawn.
    void startFromCommandLine(const QString& base);
    const QString& pictureBaseName() const { return m_pictureBase; }

    // State of the draw action, for the windows that wait on it and for tests.
    bool busyIdle() const { return m_busy.idle(); }
    bool ready() const { return m_ready; }
    bool drawnOnce() const { return m_drawnOnce; }
    bool cleared() const { return m_cleared; }
    bool saving() const { return m_saving; }
    // The last draw's reading (day files opened, maxima, scale).
    const graph::LoadResult& lastLoad() const { return m_lastLoad; }
    // The two layers as shown: the plot (series and frame) and the axes (transparent elsewhere).
    QImage plotLayer() const;
    QImage axesLayer() const;
    // The last picture taken by savePicture (also on the clipboard).
    const QImage& lastPicture() const { return m_picture; }

    enum class PictureSender
    {
        SaveButton, // "Enregistrer": asks for the file name
        Timer,      // automatic recording: names the file after the picture base name
    };
    // False when a file name was given and the file could not be written.
    bool savePicture(PictureSender sender);

    // "Tracer". False when refused because a draw is running, or when the reading was abandoned.
    bool draw();
    // The automatic recording's five-minute tick: one picture, or with "Tous" the start of a sequence
    // of every period.
    void saveScheduledPicture();
    // The sequence's tick: saves the graph drawn at the previous step and draws the next period.
    void stepPictureSequence();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void readSettings();
    // Just before a save: this window's values into the model.
    void storeSettings();
    // Fits the drawing area to the window; a change of the area wipes the graph.
    void layOut();
    void erase(); // "Effacer"
    void applyScalePreset();
    // "Redimensionner": trades "Tracer" for a resizable frame, and back.
    void toggleResizable();
    void moveDate(int days); // "-" and "+"
    void startOrStopAutoSave();
    graph::Period period() const;
    void selectPeriod(graph::Period period);
    std::array<uint32_t, 4> colours() const;
    void applyCaptionColours();
    // Sizes the statistics to their texts: on the window (up to the design width), or for a picture,
    // where the group is exactly its design width.
    void layOutStatistics(bool picture);
    void showLayers(bool forPicture = false);
    QImage takePicture();

    Settings& m_settings;
    MessageBoxes& m_messages;
    ErrorReporter& m_errors;
    SaveFileDialog& m_saveDialog;
    const Clock& m_clock;
    QString m_storeRoot;
    GraphPeers m_peers;

    QComboBox* m_scaleCombo = nullptr;
    QSpinBox* m_fullScaleSpin = nullptr;
    QComboBox* m_periodCombo = nullptr;
    QDateEdit* m_dateEdit = nullptr;
    QPushButton* m_drawButton = nullptr;
    QSpinBox* m_gradationsSpin = nullptr;
    QCheckBox* m_peaksCheck = nullptr;
    QCheckBox* m_legendCheck = nullptr;
    QCheckBox* m_autoSaveCheck = nullptr;
    QCheckBox* m_allPeriodsCheck = nullptr;
    QRadioButton* m_leftToRightRadio = nullptr;
    QRadioButton* m_bytesRadio = nullptr;
    QRadioButton* m_bitsRadio = nullptr;
    QGroupBox* m_statisticsGroup = nullptr;
    // Actual, maximum and mean rates, each receive then send; the first four captions are the legend
    // of the series and take their colours.
    std::array<QLabel*, 6> m_statisticCaptions{};
    std::array<QLabel*, 6> m_statisticValues{};
    QFont m_statisticsFont; // the window's; the group takes a smaller size only when its rows need it
    QFrame* m_progressPanel = nullptr;
    QLabel* m_progressLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    // The drawing area, bottom to top.
    QLabel* m_drawingBackground = nullptr;
    QLabel* m_plotImage = nullptr;
    QLabel* m_axesImage = nullptr;
    QLabel* m_sizeLabel = nullptr;         // hidden: the drawing area's size
    QPushButton* m_resizeButton = nullptr; // hidden: "Redimensionner"
    QTimer* m_autoSaveTimer = nullptr;
    QTimer* m_sequenceTimer = nullptr;
    // The controls above the drawing area, which a picture leaves out.
    QList<QWidget*> m_pictureHidden;

    graph::HistoryLoader m_loader;
    graph::BusyMarker m_busy;
    graph::LoadResult m_lastLoad;
    graph::PictureSequence m_sequence;
    bool m_ready = false;
    bool m_drawnOnce = false;
    bool m_cleared = false;
    bool m_saving = false;
    bool m_placed = false; // centred on the screen at the first showing
    QString m_pictureBase;
    // An erased graph in a hidden window keeps no images: they are made when the window shows.
    bool m_erasedPending = false;
    QImage m_plot;
    QImage m_axes;
    QImage m_screenAxes; // m_axes at the screen's device pixel ratio, when it is not 1
    QImage m_picture;
};
