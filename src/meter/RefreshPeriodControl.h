// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The meter's refresh period as the stopwatch needs it: held at position 20 (1000 ms) and locked while
// it runs, so that one meter sample is one second of traffic. The settings model is behind it.
class RefreshPeriodControl
{
public:
    virtual ~RefreshPeriodControl() = default;
    virtual void setRefreshPosition(int position) = 0;
    virtual void setRefreshEnabled(bool enabled) = 0;
};
