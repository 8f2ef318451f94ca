// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/PictureNames.h"

namespace graph
{
QString ProposedPictureName(const QDate& date, Period period)
{
    const auto digits = [](int value, int width) {
        return QString::number(value).rightJustified(width, QLatin1Char('0'));
    };
    return digits(date.year(), 4) + QLatin1Char('-') + digits(date.month(), 2) + QLatin1Char('-') +
           digits(date.day(), 2) + QLatin1Char(' ') + PeriodText(period) + QStringLiteral(".gif");
}

QString AutomaticPictureName(const QString& baseName, Period period)
{
    return baseName + QLatin1Char(' ') + PeriodText(period) + QStringLiteral(".gif");
}

Period PictureSequence::start()
{
    m_counter = 1;
    m_running = true;
    return Period::Day;
}

PictureSequence::Step PictureSequence::tick(bool idle)
{
    if (!m_running || m_counter > 3)
    {
        m_running = false;
        return {Step::Finished, Period::Day};
    }
    if (!idle)
        return {Step::Wait, Period::Day};
    const auto period = static_cast<Period>(static_cast<int>(m_counter));
    m_counter += 1;
    return {Step::SaveAndDraw, period};
}
} // namespace graph
