#include "config/MeterControl.h"

void MeterLayout::showGraph(MeterControl& meter) const
{
    meter.setMinimumHeight(50);
    meter.setTitleBarHeight(m_frameHeight);
    meter.setClientHeight(m_graphHeight);
    meter.setGraphVisible(true);
}

void MeterLayout::hideGraph(MeterControl& meter)
{
    meter.setMinimumHeight(19);
    m_graphHeight = meter.clientHeight();
    meter.setClientHeight(meter.titleBarHeight());
    meter.setGraphVisible(false);
    m_frameHeight = meter.titleBarHeight();
    meter.setTitleBarHeight(meter.clientHeight());
}
