#pragma once

#include "common/Clock.h"
#include "meter/MeterDrawing.h"
#include "meter/MeterTick.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>

class ErrorReporter;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class Sampler;
class Settings;

// A control that shows one picture at its top-left corner; see-through where the picture is.
class MeterImage final : public QWidget
{
public:
    explicit MeterImage(QWidget* parent = nullptr);
    const QImage& picture() const { return m_picture; }
    void setPicture(QImage picture);
    // The picture buffer, painted into in place; call update() afterwards.
    QImage& buffer() { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

// The meter window ("Tachymetre"): rate text, scrolling graph and legend. It reads the settings model on
// every tick and follows its changes; the shell hands it the peers it reports to.
class MeterWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MeterWindow)

public:
    // storeRoot ends with "/" (StoreRoot); the snapshot file goes there.
    MeterWindow(Settings& settings, Sampler& sampler, const Clock& clock, ErrorReporter& errors, QString storeRoot,
                QWidget* parent = nullptr);
    ~MeterWindow() override;

    // Peers; each may stay unset.
    void setStopwatchFeed(StopwatchFeed* feed) { m_feed = feed; }
    // Called on every timer tick with the rate text and the tray image index 0..3.
    void setTrayPeer(std::function<void(const QString& hint, int image)> peer) { m_trayPeer = std::move(peer); }
    // Fermer and the close box untick the shell's "&Tachymetre" item through this.
    void setMeterItemPeer(std::function<void(bool checked)> peer) { m_meterItemPeer = std::move(peer); }
    // The application became active: the shell starts its top-most watchdog.
    void setActivatePeer(std::function<void()> peer) { m_activatePeer = std::move(peer); }
    // "&Configuration" of the popup menu: the configuration window on its meter page.
    void setShowConfigurationPeer(std::function<void()> peer) { m_showConfigurationPeer = std::move(peer); }
    // Debug mode's "ARRET" button: stops or restarts the recording schedule.
    void setToggleRecordingPeer(std::function<void()> peer) { m_toggleRecordingPeer = std::move(peer); }
    // Without a notification area the popup menu also offers the tray menu's items.
    void addTrayMenu(QMenu* trayMenu);

    // What the shell's watchdog reads (popAOT's check mark) and does.
    bool staysOnTop() const;
    void raiseTopMost();

    const MeterTick& meter() const { return m_tick; }
    const QString& rateText() const { return m_tick.rateText(); }
    float pixelScale() const { return m_pixelScale; }
    int32_t averageValue() const { return m_average; }
    AverageChoice averageChoice() const { return m_averageChoice; }
    bool frameless() const { return m_frameless; }
    bool translucent() const { return m_translucent; }
    int opacityLevel() const { return m_alpha; }
    // The snapshot file for a moment: store root + "VORP yyyy-mm-dd hh;nn;ss.bmp".
    QString SnapshotFileName(const QDateTime& when) const;

    // The legend follows a change of scale, gradations or unit.
    void redrawLegend();
    int timerInterval() const;
    int clientHeight() const;
    int titleBarHeight() const;
    // The two remembered heights of the graph-shown and graph-hidden layouts.
    int savedGraphHeight() const { return m_graphHeight; }
    int savedFrameHeight() const { return m_frameHeight; }

    // Controls, named as in the design; objectName set to the same name.
    QWidget* Shape1 = nullptr; // title bar
    QLabel* Label1 = nullptr;  // rate text
    QLabel* Image1 = nullptr;  // snapshot icon
    QWidget* Shape2 = nullptr; // graph panel
    MeterImage* im2 = nullptr; // graph
    MeterImage* im1 = nullptr; // legend, over the graph
    QLabel* lbEch = nullptr;   // transient read-outs
    QPushButton* Button1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* popAOT = nullptr;
    QAction* Configuration1 = nullptr;
    QAction* Modemicro1 = nullptr;
    QMenu* VitesseMoyenne1 = nullptr;
    QAction* Aucun1 = nullptr;
    QAction* Reception1 = nullptr;
    QAction* Envoi1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Fermer1 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    // The meter tick: one snapshot, rates, ring, scale, tray and stopwatch, then the title and graph.
    void Timer1Timer();
    void FormResize();
    void FormMouseWheelUp();
    void FormMouseWheelDown();
    void Label1DblClick();
    void im1DblClick();
    void Image1Click();
    void Button1Click();
    void popAOTClick();
    void Configuration1Click();
    void Modemicro1Click();
    void Aucun1Click();
    void Reception1Click();
    void Envoi1Click();
    void Fermer1Click();
    // The close box: stores the geometry at once and unticks the shell's item; the window hides.
    bool FormCloseQuery();
    void ApplicationEvents1Activate();

public:
    // Shared by Shape1, Label1 and im1; positions in the sender's own coordinates.
    void Shape1MouseDown(QWidget* sender, Qt::MouseButton button, QPoint pos);
    void Shape1MouseMove(QWidget* sender, Qt::MouseButtons buttons, QPoint pos);
    void Shape1MouseUp(QWidget* sender, Qt::MouseButton button, QPoint pos);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The close box: the geometry is in the settings, to be written at once.
    void closed();

private:
    void applySettings();
    void settingChanged(int row);
    void showGraph();
    void hideGraph();
    void storeGeometry();
    void setTimerInterval(int milliseconds);
    void setStayOnTop(bool on);
    void setTranslucent(bool on);
    void setOpacityLevel(int alpha);
    void setClientHeight(int height);
    void setTitleBarHeight(int height);
    void setMinimumHeight(int height);
    void setGraphVisible(bool visible);
    void setFrameless(bool frameless);
    void setSnapshotIconVisible(bool visible);
    void setStayOnTopChecked(bool checked);
    void setCompactChecked(bool checked);
    void buildControls();
    void buildMenu();
    void readSettings();
    // The tick's body; a redraw-only tick (from the resize) skips sampling and the caption.
    void tick(bool timerTick);
    void drawGraph();
    void setAverageChoice(AverageChoice choice);
    void applyWindowFlags();
    void showReadout(const QString& text);
    void setFullScaleFromWheel(double factor);
    int labelTextWidth() const;

    Settings& m_settings;
    Sampler& m_sampler;
    const Clock& m_clock;
    ErrorReporter& m_errors;
    QString m_storeRoot;

    StopwatchFeed* m_feed = nullptr;
    std::function<void(const QString&, int)> m_trayPeer;
    std::function<void(bool)> m_meterItemPeer;
    std::function<void()> m_activatePeer;
    std::function<void()> m_showConfigurationPeer;
    std::function<void()> m_toggleRecordingPeer;

    MeterTick m_tick;
    HistoryPainter m_painter;
    float m_pixelScale = 0;
    int32_t m_average = 0;
    AverageChoice m_averageChoice = AverageChoice::None;
    int m_titleHeight = 19;
    int m_graphHeight = 69;
    int m_frameHeight = 50;

    bool m_stayOnTop = true;
    bool m_frameless = false;
    bool m_translucent = false;
    int m_alpha = 255;
    bool m_inLayout = false;

    // Drag state.
    bool m_buttonHeld = false;
    bool m_periodDrag = false;
    QPoint m_last;
    QPoint m_dragOffset;
};
