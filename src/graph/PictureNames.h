// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "graph/HistoryLoader.h"

#include <QDate>
#include <QString>

namespace graph
{
// The name proposed by "Enregistrer": "yyyy-mm-dd <period>.gif", formatted here and nowhere global.
QString ProposedPictureName(const QDate& date, Period period);
// The name of an automatic picture: "<base> <period>.gif" (" Journée.gif" with an empty base).
QString AutomaticPictureName(const QString& baseName, Period period);

// The "Tous" sequence: one graph of every period, each saved one step after it was drawn, the
// year graph left on the window unsaved.
class PictureSequence final
{
public:
    // Timer1Timer with "Tous": erase, select and draw "Journée". Returns the period to select.
    Period start();

    struct Step
    {
        enum Kind
        {
            Finished,   // stop Timer2 and show the window
            Wait,       // a draw is running: try at the next tick
            SaveAndDraw // save the graph drawn at the previous step, then select and draw `period`
        };
        Kind kind = Finished;
        Period period = Period::Day;
    };
    // Timer2Timer; idle is the busy marker.
    Step tick(bool idle);

    bool running() const { return m_running; }
    float counter() const { return m_counter; }

private:
    float m_counter = 0;
    bool m_running = false;
};
} // namespace graph
