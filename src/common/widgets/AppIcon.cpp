// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/AppIcon.h"

#include <QIcon>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace
{
const QColor kTile(0x30, 0x33, 0x38);
const QColor kHalo(0x1c, 0x1e, 0x22);
const QColor kGrid(0x60, 0x64, 0x6a);
const QColor kArea(0x10, 0xb0, 0x30);
const QColor kAreaTop(0x7c, 0xf0, 0x7c);
// Light enough to stand out from the dark tile (and so from a dark panel) by more than 4.5:1.
const QColor kUp(0x5c, 0x9d, 0xff);
const QColor kDown(0xff, 0x30, 0x30);

// The tray image's received-traffic heights, in sixteenths of the tile.
constexpr int kHeights[16] = {3, 4, 6, 5, 7, 9, 8, 6, 7, 10, 12, 9, 8, 10, 11, 9};

struct Layout
{
    QRectF tile;
    double radius = 0;
    QPainterPath grid;
    double gridWidth = 0;
    QPainterPath area;    // closed, for the fill
    QPainterPath areaTop; // the graph's upper edge
    double topWidth = 0;
    QPainterPath up;
    QPainterPath down;
    double letterWidth = 0;
    double haloWidth = 0;
};

QPainterPath TilePath(const Layout& l)
{
    QPainterPath tile;
    tile.addRoundedRect(l.tile, l.radius, l.radius);
    return tile;
}

// Snapping puts every stroke edge on a pixel boundary, so that small bitmaps stay sharp; the
// scalable copy keeps exact proportions.
Layout MakeLayout(int size, bool snap)
{
    const double s = size;
    auto whole = [snap](double v) { return snap ? std::max(1.0, std::round(v)) : v; };
    // A stroke of width w centred on c: its edges fall on pixel boundaries when snapped.
    auto centre = [snap](double c, double w) { return snap ? std::round(c - w / 2) + w / 2 : c; };

    Layout l;
    const double margin = size >= 32 ? whole(s / 32) : 0;
    l.tile = QRectF(margin, margin, s - 2 * margin, s - 2 * margin);
    l.radius = s * 0.14;

    // The lines cross the tile where its sides are straight, so they need no cutting to its corners.
    l.gridWidth = whole(s / 64);
    for (int k = 1; k < 4; ++k)
    {
        const double at = centre(margin + k * l.tile.width() / 4, l.gridWidth);
        l.grid.moveTo(at, l.tile.top());
        l.grid.lineTo(at, l.tile.bottom());
        l.grid.moveTo(l.tile.left(), at);
        l.grid.lineTo(l.tile.right(), at);
    }

    l.topWidth = whole(s * 3 / 128);
    const double step = l.tile.width() / 16;
    for (int i = 0; i < 16; ++i)
    {
        const double y = centre(l.tile.bottom() - kHeights[i] * l.tile.height() / 16, l.topWidth);
        if (i == 0)
            l.areaTop.moveTo(l.tile.left(), y);
        l.areaTop.lineTo(l.tile.left() + (i + 0.5) * step, y);
        if (i == 15)
            l.areaTop.lineTo(l.tile.right(), y);
    }
    // The area is cut to the tile's rounded corners here rather than clipped when drawn, because
    // Qt's own SVG renderer, which some desktops use for icons, ignores clip paths.
    QPainterPath area = l.areaTop;
    area.lineTo(l.tile.right(), l.tile.bottom());
    area.lineTo(l.tile.left(), l.tile.bottom());
    area.closeSubpath();
    l.area = area.intersected(TilePath(l));

    l.letterWidth = whole(s * 0.085);
    l.haloWidth = size >= 32 ? l.letterWidth + 2 * whole(s / 48) : 0;
    const double w = l.letterWidth;

    // U in the upper left quarter, open at the top.
    {
        const double left = centre(l.tile.left() + s * 0.1, w);
        const double right = centre(l.tile.left() + s * 0.38, w);
        const double top = l.tile.top() + s * 0.09;
        const double bottom = centre(l.tile.top() + s * 0.5, w);
        const double r = (right - left) / 2;
        l.up.moveTo(left, top);
        l.up.lineTo(left, bottom - r);
        l.up.arcTo(QRectF(left, bottom - 2 * r, 2 * r, 2 * r), 180, 180);
        l.up.lineTo(right, top);
    }
    // D in the lower right quarter, over the graph as in the tray image.
    {
        const double left = centre(l.tile.right() - s * 0.38, w);
        const double right = centre(l.tile.right() - s * 0.1, w);
        const double top = centre(l.tile.bottom() - s * 0.5, w);
        const double bottom = centre(l.tile.bottom() - s * 0.1, w);
        const double r = std::min(right - left, (bottom - top) / 2) * 0.75;
        l.down.moveTo(left, top);
        l.down.lineTo(right - r, top);
        l.down.arcTo(QRectF(right - 2 * r, top, 2 * r, 2 * r), 90, -90);
        l.down.lineTo(right, bottom - r);
        l.down.arcTo(QRectF(right - 2 * r, bottom - 2 * r, 2 * r, 2 * r), 0, -90);
        l.down.lineTo(left, bottom);
        l.down.closeSubpath();
    }
    return l;
}

// Back to front; the bitmaps and the scalable copy are drawn from this one list.
std::vector<AppIconLayer> LayersOf(const Layout& l, bool up, bool down)
{
    std::vector<AppIconLayer> layers = {
        {TilePath(l), kTile, 0}, {l.grid, kGrid, l.gridWidth}, {l.area, kArea, 0}, {l.areaTop, kAreaTop, l.topWidth}};
    for (const auto& [path, colour, shown] : {std::tuple{l.up, kUp, up}, std::tuple{l.down, kDown, down}})
    {
        if (!shown)
            continue;
        // A dark rim keeps the letters apart from the graph at the larger sizes.
        if (l.haloWidth > 0)
            layers.push_back({path, kHalo, l.haloWidth});
        layers.push_back({path, colour, l.letterWidth});
    }
    return layers;
}

QImage Draw(const std::vector<AppIconLayer>& layers, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const AppIconLayer& layer : layers)
    {
        if (layer.width == 0)
            p.fillPath(layer.path, layer.colour);
        else
            p.strokePath(layer.path, QPen(layer.colour, layer.width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    }
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The area a stroke covers, as a plain region that boolean operations take.
QPainterPath Outline(const QPainterPath& path, double width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    return stroker.createStroke(path).simplified();
}

} // namespace

std::vector<AppIconLayer> AppIconLayers(int size, bool snap)
{
    return LayersOf(MakeLayout(size, snap), true, true);
}

QImage DrawAppIcon(int size)
{
    return Draw(AppIconLayers(size, true), size);
}

QIcon AppIcon()
{
    // Up to 128 pixels: window managers scale the largest one, and every size is kept, as pixels and
    // as the window's icon property, for as long as the program runs.
    QIcon icon;
    for (const int size : {16, 22, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
    return icon;
}

QImage DrawTrayImage(int index, int size)
{
    return Draw(LayersOf(MakeLayout(size, true), index == 1 || index == 3, index == 2 || index == 3), size);
}

QIcon TrayIcon(int index)
{
    QIcon icon;
    for (const int size : kTrayIconSizes)
        icon.addPixmap(QPixmap::fromImage(DrawTrayImage(index, size)));
    return icon;
}

QPainterPath SymbolicIconPath(int size)
{
    const Layout l = MakeLayout(size, true);
    // One colour: the tile as a rim, the graph as an area, the letters cut out of the area with a gap
    // of a letter's width so that they stay apart from it.
    const double rim = std::max(1.0, std::round(size / 16.0));
    QPainterPath inner;
    inner.addRoundedRect(l.tile.adjusted(rim, rim, -rim, -rim), l.radius - rim, l.radius - rim);
    const QPainterPath ring = TilePath(l).subtracted(inner);
    const QPainterPath letters = Outline(l.up, l.letterWidth).united(Outline(l.down, l.letterWidth));
    const QPainterPath gap = Outline(l.up, 3 * l.letterWidth).united(Outline(l.down, 3 * l.letterWidth));
    return ring.united(l.area.subtracted(gap)).united(letters).simplified();
}
