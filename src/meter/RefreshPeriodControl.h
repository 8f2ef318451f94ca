#pragma once

// The configuration window's refresh track bar (tb), as the stopwatch needs it: held at position
// 20 (1000 ms) and locked while it runs, so that one meter sample is one second of traffic.
class RefreshPeriodControl
{
public:
    virtual ~RefreshPeriodControl() = default;
    // Moves the track bar, running its change handler (label and meter timer interval).
    virtual void setRefreshPosition(int position) = 0;
    virtual void setRefreshEnabled(bool enabled) = 0;
};
