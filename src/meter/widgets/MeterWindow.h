// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Clock.h"
#include "meter/MeterDrawing.h"
#include "meter/MeterTick.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>
#include <optional>

class ErrorReporter;
class QAction;
class QLabel;
class QMenu;
class QPainter;
class QPushButton;
class RateLabel;
class QTimer;
class Sampler;
class Settings;

// A control that shows one picture at its top-left corner; see-through where the picture is.
class MeterImage final : public QWidget
{
public:
    explicit MeterImage(QWidget* parent = nullptr);
    // Shows picture in place of the last one; only changed, in the control's coordinates, is repainted.
    void setPicture(QImage picture, const QRect& changed);
    void setPicture(QImage picture) { setPicture(std::move(picture), rect()); }
    // Only this part of the picture is painted (a null rectangle: all of it); the rest is see-through.
    void setPaintedPart(const QRect& part);
    // Shows the graph's picture, copied out of it as it is painted; only changed is repainted. The graph
    // outlives the control or is set back to null first.
    void setGraph(const ScrollingGraph* graph, const QRect& changed);
    // The control covers all it occupies, with this colour where the picture does not reach, so that
    // nothing below it is painted again with it.
    void setBackground(const QColor& background);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The graph's pixels in region (in the picture), through the painter.
    void paintGraph(QPainter& painter, const QRegion& region);
    // The same straight into the painter's raster image; false, having done nothing, where it cannot.
    bool copyGraph(QPainter& painter, const QRegion& region);

    QImage m_picture;
    const ScrollingGraph* m_graph = nullptr;
    QImage m_band; // the graph's rows on their way to the screen, a few at a time
    QRect m_paintedPart;
    QColor m_background;
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

    // What the shell's watchdog reads (the stay-on-top item's check mark) and does: the meter back on top,
    // and any message box back above it.
    bool staysOnTop() const;
    void raiseTopMost();

    // Showing a minimised meter brings it back.
    void setVisible(bool visible) override;

    const QString& rateText() const { return m_tick.rateText(); }
    float pixelScale() const { return m_pixelScale; }
    int32_t averageValue() const { return m_average; }
    AverageChoice averageChoice() const { return m_averageChoice; }
    bool frameless() const { return m_frameless; }
    // The snapshot file for a moment: store root + "VORP yyyy-mm-dd hh;nn;ss.bmp".
    QString snapshotFileName(const QDateTime& when) const;

    // One snapshot, rates, ring, scale, tray and stopwatch, then the title and graph; the tick timer's slot.
    void tick();
    // Places the title bar, rate text, snapshot icon, graph and legend for the window's size, then redraws.
    void layOut();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // The close box stores the geometry at once and unticks the shell's item; the window hides.
    void closeEvent(QCloseEvent* event) override;
    // Draws the legend and places the text that changed while the meter was hidden, and draws the graph.
    void showEvent(QShowEvent* event) override;
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
    // The legend follows a change of scale, gradations or unit.
    void redrawLegend();
    void setTimerInterval(int milliseconds);
    void setStayOnTop(bool on);
    void setTranslucent(bool on);
    void setOpacityLevel(int alpha);
    void setClientHeight(int height);
    void setTitleBarHeight(int height);
    void setGraphVisible(bool visible);
    void setFrameless(bool frameless);
    void setSnapshotIconVisible(bool visible);
    void setStayOnTopChecked(bool checked);
    void setCompactChecked(bool checked);
    void buildControls();
    void buildMenu();
    void readSettings();
    // The tick's body; without sampling (from the layout) it skips the snapshot and the caption.
    void runTick(bool sample);
    // Fits and places the rate text (the window hugs it in compact mode); a sample also sets the text.
    void placeTitle(bool sample);
    void drawGraph();
    void setAverageChoice(AverageChoice choice);
    void applyWindowFlags();
    // Once the window manager has framed the window: a stored position that was off every screen is placed
    // again with the real frame.
    void followFrame();
    void showReadout(const QString& text);
    void setFullScaleFromWheel(double factor);
    void raiseFullScale();
    void lowerFullScale();
    int labelTextWidth() const;
    // The snapshot icon's width, 0 while it is hidden in compact mode.
    int titleIconWidth() const;

    // The title bar, the rate text and the legend drag the window (left button) or change the refresh
    // period (middle button); positions in the sender's own coordinates.
    void beginDrag(Qt::MouseButton button, QPoint pos);
    void dragOrHover(QWidget* sender, Qt::MouseButtons buttons, QPoint pos);
    void endDrag(Qt::MouseButton button);

    void toggleStayOnTop();
    void showConfiguration();
    void toggleCompact();
    void hideFromMenu();
    void reportActivation();
    void toggleRecording();
    void takeSnapshot();

    // Controls; each keeps its original name as objectName.
    QWidget* m_titleBar = nullptr;              // "Shape1"
    RateLabel* m_rateLabel = nullptr;           // "Label1"
    QLabel* m_snapshotIcon = nullptr;           // "Image1"
    QWidget* m_graphPanel = nullptr;            // "Shape2"
    MeterImage* m_graphImage = nullptr;         // "im2"
    MeterImage* m_legendImage = nullptr;        // "im1", over the graph
    QLabel* m_readoutLabel = nullptr;           // "lbEch", transient read-outs
    QPushButton* m_recordingButton = nullptr;   // "Button1", debug mode only
    QMenu* m_contextMenu = nullptr;             // "PopupMenu1"
    QAction* m_stayOnTopAction = nullptr;       // "popAOT"
    QAction* m_compactAction = nullptr;         // "Modemicro1"
    QAction* m_noAverageAction = nullptr;       // "Aucun1"
    QAction* m_receivedAverageAction = nullptr; // "Reception1"
    QAction* m_sentAverageAction = nullptr;     // "Envoi1"
    QTimer* m_tickTimer = nullptr;              // "Timer1"

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
    ScrollingGraph m_graph;
    TitleFitter m_titleFitter;
    // The legend as last drawn, drawn again only when one of these changes.
    std::optional<LegendInput> m_legendInput;
    qreal m_legendRatio = 1.0;
    float m_pixelScale = 0;
    int32_t m_average = 0;
    AverageChoice m_averageChoice = AverageChoice::None;
    int m_titleHeight = 19;
    int m_graphHeight = 69;
    int m_normalWidth = 403; // the width outside compact mode
    int m_frameHeight = 50;

    bool m_stayOnTop = true;
    bool m_frameless = false;
    // The stored position that was off every screen; it is placed again once the frame's size is known.
    std::optional<QPoint> m_storedOffScreen;
    bool m_translucent = false;
    int m_alpha = 255;
    bool m_inLayout = false;
    bool m_titleStale = false;  // ticks while hidden left the text unplaced
    bool m_legendStale = false; // the legend changed while the meter was hidden

    // Drag state.
    bool m_buttonHeld = false;
    bool m_periodDrag = false;
    QPoint m_last;
    QPoint m_dragOffset;
};
