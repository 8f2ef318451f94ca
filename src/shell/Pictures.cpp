// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage SplashPicture()
{
    QImage image(286, 169, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 169);
    sky.setColorAt(0, QColor(0x0b, 0x16, 0x2c));
    sky.setColorAt(1, QColor(0x02, 0x05, 0x0c));
    p.fillRect(image.rect(), sky);
    p.setPen(QColor(0x1c, 0x2e, 0x4a));
    for (int x = 0; x < 286; x += 22)
        p.drawLine(x, 60, x, 169);
    for (int y = 60; y < 169; y += 18)
        p.drawLine(0, y, 286, y);

    // Received traffic as a green area, sent as a blue line, as the meter draws them.
    QPainterPath area;
    area.moveTo(0, 169);
    QPainterPath line;
    for (int x = 0; x <= 286; x += 11)
    {
        const double phase = x / 286.0;
        const double down = 150 - 55 * phase - 18 * std::abs(std::sin(x * 0.09)) - 10 * std::sin(x * 0.031);
        const double up = 158 - 25 * phase - 10 * std::abs(std::cos(x * 0.13));
        area.lineTo(x, down);
        if (x == 0)
            line.moveTo(x, up);
        else
            line.lineTo(x, up);
    }
    area.lineTo(286, 169);
    area.closeSubpath();
    QLinearGradient green(0, 80, 0, 169);
    green.setColorAt(0, QColor(0x30, 0xe0, 0x50, 230));
    green.setColorAt(1, QColor(0x00, 0x60, 0x20, 230));
    p.fillPath(area, green);
    p.setPen(QPen(QColor(0x40, 0x90, 0xff), 2));
    p.drawPath(line);

    // A dark footer under the graph, where the version label stands in red.
    QLinearGradient footer(0, 146, 0, 169);
    footer.setColorAt(0, QColor(0x02, 0x05, 0x0c, 0));
    footer.setColorAt(0.35, QColor(0x02, 0x05, 0x0c, 235));
    footer.setColorAt(1, QColor(0x02, 0x05, 0x0c, 255));
    p.fillRect(QRect(0, 146, 286, 23), footer);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(44);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xf0, 0xf4, 0xff));
    p.drawText(QRect(0, 8, 286, 52), Qt::AlignCenter, QStringLiteral("VORP"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(12);
    p.setFont(sub);
    p.setPen(QColor(0x9f, 0xb4, 0xd8));
    p.drawText(QRect(0, 58, 286, 18), Qt::AlignCenter, QStringLiteral("Tachymètre et statistiques réseau"));
    return image;
}
