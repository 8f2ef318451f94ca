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
    const graph::PictureSequence& sequence() const { return m_sequence; }
    // The last draw's reading (day files opened, maxima, scale).
    const graph::LoadResult& lastLoad() const { return m_lastLoad; }
    // The two layers as shown: im2 (series and frame) and im1 (axes, transparent elsewhere).
    const QImage& plotLayer() const { return m_plot; }
    const QImage& axesLayer() const { return m_axes; }
    // The last picture taken by SaveGraphPicture (also on the clipboard).
    const QImage& lastPicture() const { return m_picture; }

    enum class PictureSender
    {
        SaveButton, // BitBtn1: asks for the file name
        Timer,      // Timer1: names the file after the picture base name
    };
    // False when a file name was given and the file could not be written.
    bool SaveGraphPicture(PictureSender sender);

    // Controls, named as in the window's design.
    QLabel* Label1 = nullptr;
    QSpinBox* gradspin = nullptr;
    QCheckBox* cbmx = nullptr;
    QWidget* Panel1 = nullptr;
    QRadioButton* rb1 = nullptr;
    QRadioButton* rb2 = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* Label8 = nullptr;
    QRadioButton* cbdg = nullptr;
    QRadioButton* cbgd = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cb = nullptr;
    QLabel* Label3 = nullptr;
    QSpinBox* spdspin = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* cbG = nullptr;
    QLabel* Label9 = nullptr;
    QDateEdit* datep = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QCheckBox* legd = nullptr;
    QCheckBox* autorec = nullptr;
    QCheckBox* tous = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label12 = nullptr; // "Actuel In :"
    QLabel* Label13 = nullptr; // "Actuel Out :"
    QLabel* Label14 = nullptr; // "Max In :"
    QLabel* Label15 = nullptr; // "Max Out :"
    QLabel* Label16 = nullptr; // "Moyenne In :"
    QLabel* Label17 = nullptr; // "Moyenne Out :"
    QLabel* actueld = nullptr;
    QLabel* actuelu = nullptr;
    QLabel* maxd = nullptr;
    QLabel* maxu = nullptr;
    QLabel* moyd = nullptr;
    QLabel* moyu = nullptr;
    QWidget* paProg = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* lbProg = nullptr;
    QProgressBar* pbProg = nullptr;
    QLabel* shape = nullptr;
    QLabel* im2 = nullptr;
    QLabel* im1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label10 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button21 = nullptr;
    QPushButton* Button31 = nullptr;
    QPushButton* Button5 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;

public slots:
    void Button2Click(); // "Tracer": the draw action
    void Button1Click(); // "Rafraichir": the frame and the axes of the last draw
    void Button3Click(); // "Effacer"
    void FormResize();
    void cbChange();
    void cbGChange();
    void Button4Click(); // "Ouvrir"
    void Button5Click(); // "Redimensionner"
    void Button6Click(); // "-"
    void Button7Click(); // "+"
    void BitBtn1Click(); // "Enregistrer"
    void autorecClick();
    void Timer1Timer();
    void Timer2Timer();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void readSettings();
    // Just before a save: this window's values into the model.
    void storeSettings();
    bool draw();
    graph::Period period() const;
    void selectPeriod(graph::Period period);
    std::array<uint32_t, 4> colours() const;
    void applyCaptionColours();
    void showLayers();
    QImage takePicture();

    Settings& m_settings;
    MessageBoxes& m_messages;
    ErrorReporter& m_errors;
    SaveFileDialog& m_saveDialog;
    const Clock& m_clock;
    QString m_storeRoot;
    GraphPeers m_peers;

    graph::HistoryLoader m_loader;
    graph::BusyMarker m_busy;
    graph::LoadResult m_lastLoad;
    graph::LoadRequest m_lastRequest;
    graph::PictureSequence m_sequence;
    bool m_ready = false;
    bool m_drawnOnce = false;
    bool m_cleared = false;
    bool m_saving = false;
    bool m_placed = false; // centred on the screen at the first showing
    QString m_pictureBase; // held by OpenDialog1 in the window's design
    QImage m_plot;
    QImage m_axes;
    QImage m_picture;
};
