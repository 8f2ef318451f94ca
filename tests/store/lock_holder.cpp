// SPDX-License-Identifier: GPL-3.0-or-later
// Takes a store's lock, prints "locked" and keeps the lock until it is killed or its standard input
// closes, so a test can leave a lock file behind a process that no longer runs.
// Usage: lock_holder <store root>
#include "store/StoreLock.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    StoreLock lock(QString::fromLocal8Bit(argv[1]));
    if (lock.tryAcquire() != StoreLock::Result::Acquired)
        return 1;
    std::puts("locked");
    std::fflush(stdout);
    while (std::getchar() != EOF)
    {
    }
    return 0;
}
