// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"

#include <chrono>

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::steadyMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
