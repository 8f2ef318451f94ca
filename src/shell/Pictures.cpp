// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace
{
// A hand-drawn 5 × 7 letter, so the tiny icons stay crisp at every font setting.
void DrawLetter(QImage& image, const char* rows[7], int left, int top, QRgb colour)
{
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            if (rows[y][x] == '#')
                image.setPixel(left + x, top + y, colour);
}

const char* kU[7] = {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."};
const char* kD[7] = {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."};
} // namespace

QImage TrayImage(int index)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgb(0x30, 0x33, 0x38));
    for (int i = 0; i < 16; i += 4)
        for (int k = 0; k < 16; ++k)
        {
            image.setPixel(i, k, qRgb(0x60, 0x64, 0x6a));
            image.setPixel(k, i, qRgb(0x60, 0x64, 0x6a));
        }
    // A small received-traffic area graph along the bottom.
    static const int heights[16] = {3, 4, 6, 5, 7, 9, 8, 6, 7, 10, 12, 9, 8, 10, 11, 9};
    for (int x = 0; x < 16; ++x)
        for (int y = 15; y > 15 - heights[x]; --y)
            image.setPixel(x, y, y == 16 - heights[x] ? qRgb(0x7c, 0xf0, 0x7c) : qRgb(0x10, 0xb0, 0x30));
    if (index == 1 || index == 3)
        DrawLetter(image, kU, 1, 1, qRgb(0x30, 0x70, 0xff));
    if (index == 2 || index == 3)
        DrawLetter(image, kD, 10, 8, qRgb(0xff, 0x30, 0x30));
    return image;
}

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
