// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// Local time comes in through this interface so that tests can run a cycle at any instant.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that setting the time of day does not move; only differences count.
    virtual qint64 steadyMs() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    qint64 steadyMs() const override;
};

// A clock that stands still until it is set or advanced. Advancing moves both times; set() changes
// the time of day only, as a user setting the clock would.
class TestClock final : public Clock
{
public:
    explicit TestClock(QDateTime start = QDateTime(QDate(2004, 6, 15), QTime(14, 35, 7))) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    qint64 steadyMs() const override { return m_steadyMs; }
    void set(const QDateTime& t) { m_now = t; }
    void advanceSecs(qint64 s) { advanceMSecs(s * 1000); }
    void advanceMSecs(qint64 ms)
    {
        m_now = m_now.addMSecs(ms);
        m_steadyMs += ms;
    }

private:
    QDateTime m_now;
    qint64 m_steadyMs = 1000000;
};
