// SPDX-License-Identifier: GPL-3.0-or-later
// Records for one interface in a tight loop, so a test can kill it in the middle of a write.
// Usage: recorder_loop <store root> <first second> <cycles, -1 for ever>
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "store/Recorder.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const QString root = QString::fromLocal8Bit(argv[1]);
    const long long first = std::atoll(argv[2]);
    const long long cycles = std::atoll(argv[3]);
    FixedTableSource source;
    source.table = InterfaceTable{{"eth0", 0, 0}};
    Sampler sampler(source);
    TestClock clock(QDateTime(QDate(2004, 6, 15), QTime(0, 0, 0)).addSecs(first));
    CollectingErrorReporter errors;
    Recorder recorder(sampler, clock, errors, root);
    const QStringList names{QStringLiteral("eth0")};
    recorder.setBaselines(*source.table, names, {true});
    for (long long i = 0; cycles < 0 || i < cycles; ++i)
    {
        auto& row = (*source.table)[0];
        row.inOctets += 1000;
        row.outOctets += 100;
        clock.advanceSecs(7);
        recorder.RecordCycle(names, {true});
        if (i == 0)
        {
            // The store exists from here on: a test may kill at any moment after this line.
            std::fputs("recording\n", stdout);
            std::fflush(stdout);
        }
    }
    return errors.messages.isEmpty() ? 0 : 1;
}
