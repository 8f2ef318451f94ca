// SPDX-License-Identifier: GPL-3.0-or-later
// The floor the shown meter is measured against (scripts/perf.sh): a bare window of the meter's size doing
// the meter's visible work 20 times a second (BareWindow.h).
// Usage: perf_bare_window WIDTH HEIGHT [X Y]
#include "BareWindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int width = argc > 2 ? QString::fromLocal8Bit(argv[1]).toInt() : 403;
    const int height = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 189;
    BareWindow window(QSize(width, height));
    // Optional place on the screen, so that scripts can set it beside another window.
    if (argc > 4)
        window.move(QString::fromLocal8Bit(argv[3]).toInt(), QString::fromLocal8Bit(argv[4]).toInt());
    QTimer timer;
    int frame = 0;
    QObject::connect(&timer, &QTimer::timeout, &window, [&window, &frame] {
        ++frame;
        window.frame(double(frame * 7919 % 1000) / 1000.0,
                     QStringLiteral("DL : %1kbps  UL : %2kbps").arg(double(frame % 90000) / 100.0).arg(frame % 97));
    });
    timer.start(50);
    window.show();
    return QApplication::exec();
}
