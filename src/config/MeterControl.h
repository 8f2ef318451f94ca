#pragma once

// What the configuration window drives on the meter window. The meter implements it and the shell
// hands it to the configuration window, so neither window includes the other's header.
class MeterControl
{
public:
    virtual ~MeterControl() = default;

    // The legend follows a change of scale, gradations or unit.
    virtual void redrawLegend() = 0;
    virtual void setTimerInterval(int milliseconds) = 0;

    virtual void setStayOnTop(bool on) = 0;
    virtual void setTranslucent(bool on) = 0;
    // 0 transparent .. 255 opaque; takes effect while translucency is on.
    virtual void setOpacityLevel(int alpha) = 0;

    // The sizes the graph-shown and graph-hidden layouts move between, in pixels.
    virtual int clientHeight() const = 0;
    virtual void setClientHeight(int height) = 0;
    virtual int titleBarHeight() const = 0;
    virtual void setTitleBarHeight(int height) = 0;
    virtual void setMinimumHeight(int height) = 0;
    // The frame of the graph and its two images.
    virtual void setGraphVisible(bool visible) = 0;

    // Compact mode: no border or caption; otherwise a sizeable tool-window frame.
    virtual void setFrameless(bool frameless) = 0;
    virtual void setSnapshotIconVisible(bool visible) = 0;

    // Check marks of the meter's popup menu.
    virtual void setStayOnTopChecked(bool checked) = 0;
    virtual void setCompactChecked(bool checked) = 0;
};

// The two remembered sizes of the graph-shown and graph-hidden layouts; whole pixels, not stored.
class MeterLayout final
{
public:
    void showGraph(MeterControl& meter) const;
    void hideGraph(MeterControl& meter);

    int savedGraphHeight() const { return m_graphHeight; }
    int savedFrameHeight() const { return m_frameHeight; }

private:
    int m_graphHeight = 69;
    int m_frameHeight = 50;
};
