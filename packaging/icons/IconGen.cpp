// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the application icon at the desktop's usual sizes, plus a scalable copy and the monochrome
// (symbolic) variant.
//
// Usage: vorp_icongen OUTPUT_FOLDER SIZE...   writes vorp-<SIZE>.png for each size, vorp.svg and
// vorp-symbolic.svg.

#include "common/widgets/AppIcon.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace
{
QString Number(double v)
{
    return QString::number(std::round(v * 1000) / 1000, 'g', 10);
}

QString PathData(const QPainterPath& path)
{
    QString d;
    QPointF start;
    for (int i = 0; i < path.elementCount(); ++i)
    {
        const QPainterPath::Element e = path.elementAt(i);
        const QString point = Number(e.x) + QLatin1Char(' ') + Number(e.y);
        const bool lastOfSubpath = i + 1 == path.elementCount() || path.elementAt(i + 1).isMoveTo();
        switch (e.type)
        {
        case QPainterPath::MoveToElement:
            start = e;
            d += QLatin1String(" M ") + point;
            break;
        case QPainterPath::LineToElement:
            // closeSubpath() ends on a line back to the start; Z makes the stroke join that corner too.
            d += lastOfSubpath && QPointF(e) == start ? QStringLiteral(" Z") : QLatin1String(" L ") + point;
            break;
        case QPainterPath::CurveToElement:
            d += QLatin1String(" C ") + point;
            break;
        case QPainterPath::CurveToDataElement:
            d += QLatin1Char(' ') + point;
            break;
        }
    }
    return d.trimmed();
}

QString SvgIcon()
{
    constexpr int size = 128;
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                 "viewBox=\"0 0 %1 %1\">\n")
                      .arg(size);
    // SVG's default stroke ends (butt) and corners (miter) are the bitmaps' flat ends and mitred corners.
    for (const AppIconLayer& layer : AppIconLayers(size, false))
    {
        if (layer.width == 0)
            svg += QStringLiteral(" <path d=\"%1\" fill=\"%2\"/>\n").arg(PathData(layer.path), layer.colour.name());
        else
            svg += QStringLiteral(" <path d=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"%3\"/>\n")
                       .arg(PathData(layer.path), layer.colour.name(), Number(layer.width));
    }
    return svg + QStringLiteral("</svg>\n");
}

// 16 × 16, one shape in one colour, which desktops replace with their panels' own.
QString SymbolicSvgIcon()
{
    constexpr int size = 16;
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                          "viewBox=\"0 0 %1 %1\">\n"
                          " <path d=\"%2\" fill=\"#2e3436\" fill-rule=\"evenodd\"/>\n"
                          "</svg>\n")
        .arg(size)
        .arg(PathData(SymbolicIconPath(size)));
}

bool WriteFile(const QString& name, const QString& content)
{
    QFile file(name);
    const QByteArray text = content.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() && file.flush();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fputs("Usage: vorp_icongen OUTPUT_FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i)
    {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString name = folder + QStringLiteral("/vorp-%1.png").arg(size);
        if (size < 16 || size > 1024 || !DrawAppIcon(size).save(name, "PNG"))
        {
            std::fprintf(stderr, "vorp_icongen: cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    for (const auto& [name, content] : {std::pair{QStringLiteral("vorp.svg"), SvgIcon()},
                                        std::pair{QStringLiteral("vorp-symbolic.svg"), SymbolicSvgIcon()}})
        if (!WriteFile(folder + QLatin1Char('/') + name, content))
        {
            std::fprintf(stderr, "vorp_icongen: cannot write %s/%s\n", qPrintable(folder), qPrintable(name));
            return 1;
        }
    return 0;
}
