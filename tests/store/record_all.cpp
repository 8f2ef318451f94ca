// SPDX-License-Identifier: GPL-3.0-or-later
// Records one cycle for every interface of the system's table, after some loopback traffic.
// Usage: record_all <store root>; prints the number of interfaces.
#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "store/Recorder.h"

#include "support/Loopback.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    auto source = MakeSystemTableSource();
    Sampler sampler(*source);
    const auto table = sampler.FetchInterfaceTable();
    if (!table)
        return 3;
    const QStringList names = DisplayNames(*table);
    const std::vector<bool> all(table->size(), true);
    SystemClock clock;
    CollectingErrorReporter errors;
    Recorder recorder(sampler, clock, errors, QString::fromLocal8Bit(argv[1]));
    recorder.setBaselines(*table, names, all);
    if (!SendOverLoopback(1 << 16))
        return 4;
    recorder.RecordCycle(names, all);
    std::printf("%d\n", static_cast<int>(names.size()));
    return errors.messages.isEmpty() ? 0 : 1;
}
