#pragma once

#include <QDateTime>

// Local time comes in through this interface so that tests can run a cycle at any instant.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};

// A clock that stands still until it is set or advanced.
class TestClock final : public Clock
{
public:
    explicit TestClock(QDateTime start = QDateTime(QDate(2004, 6, 15), QTime(14, 35, 7))) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advanceSecs(qint64 s) { m_now = m_now.addSecs(s); }
    void advanceMSecs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
