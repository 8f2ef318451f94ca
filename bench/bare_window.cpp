// SPDX-License-Identifier: GPL-3.0-or-later
// The floor the shown meter is measured against (scripts/perf.sh): a bare window of the meter's size
// that repaints a filled rectangle and one line of changing text 20 times a second.
// Usage: perf_bare_window WIDTH HEIGHT [X Y]
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace
{
class BareWindow final : public QWidget
{
public:
    BareWindow()
    {
        setWindowTitle(QStringLiteral("Bare window"));
        connect(&m_timer, &QTimer::timeout, this, [this] {
            ++m_frame;
            update();
        });
        m_timer.start(50);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0xF4, 0xF4, 0xF4));
        p.setPen(Qt::black);
        p.drawText(rect().adjusted(4, 2, -4, 0), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("DL : %1ko/s  UL : %2ko/s").arg(m_frame % 1000).arg(m_frame % 97));
    }

private:
    QTimer m_timer;
    int m_frame = 0;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int width = argc > 2 ? QString::fromLocal8Bit(argv[1]).toInt() : 403;
    const int height = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 189;
    BareWindow window;
    window.resize(width, height);
    // Optional place on the screen, so that scripts can set it beside another window.
    if (argc > 4)
        window.move(QString::fromLocal8Bit(argv[3]).toInt(), QString::fromLocal8Bit(argv[4]).toInt());
    window.show();
    return QApplication::exec();
}
