// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/GifWriter.h"

#include "store/ProfileFile.h"

#include <QHash>

#include <gif_lib.h>

#include <memory>
#include <vector>

namespace graph
{
namespace
{
int AppendBytes(GifFileType* gif, const GifByteType* bytes, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

struct MapDeleter
{
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

// Palette and one index per pixel.
struct Indexed
{
    std::vector<GifColorType> palette;
    std::vector<GifPixelType> pixels;
};

Indexed IndexColours(const QImage& image)
{
    Indexed out;
    out.pixels.resize(static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()));
    QHash<QRgb, int> exact;
    bool fits = true;
    for (int y = 0; y < image.height() && fits; ++y)
    {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
        {
            const QRgb rgb = row[x] & 0xFFFFFF;
            auto it = exact.constFind(rgb);
            if (it == exact.constEnd())
            {
                if (exact.size() == 256)
                {
                    fits = false;
                    break;
                }
                it = exact.insert(rgb, static_cast<int>(exact.size()));
                out.palette.push_back(GifColorType{static_cast<GifByteType>(qRed(rgb)),
                                                   static_cast<GifByteType>(qGreen(rgb)),
                                                   static_cast<GifByteType>(qBlue(rgb))});
            }
            out.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width()) + static_cast<size_t>(x)] =
                static_cast<GifPixelType>(*it);
        }
    }
    if (fits)
        return out;

    out.palette.clear();
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                out.palette.push_back(GifColorType{static_cast<GifByteType>(r * 51), static_cast<GifByteType>(g * 51),
                                                   static_cast<GifByteType>(b * 51)});
    const auto level = [](int c) { return (c + 25) / 51; };
    for (int y = 0; y < image.height(); ++y)
    {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width()) + static_cast<size_t>(x)] =
                static_cast<GifPixelType>(level(qRed(row[x])) * 36 + level(qGreen(row[x])) * 6 + level(qBlue(row[x])));
    }
    return out;
}
} // namespace

QByteArray EncodeGif(const QImage& source)
{
    if (source.isNull() || source.width() > 65535 || source.height() > 65535)
        return {};
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    Indexed indexed = IndexColours(image);
    // A GIF colour table holds a power of two entries, at least two.
    size_t tableSize = 2;
    while (tableSize < indexed.palette.size())
        tableSize *= 2;
    indexed.palette.resize(tableSize, GifColorType{0, 0, 0});
    ColourMap map(GifMakeMapObject(static_cast<int>(tableSize), indexed.palette.data()));
    if (!map)
        return {};

    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendBytes, &error);
    if (!gif)
        return {};
    bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), 8, 0, map.get()) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.height(); ++y)
        ok = EGifPutLine(gif, indexed.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width()),
                         image.width()) == GIF_OK;
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    return ok ? bytes : QByteArray();
}

bool WriteGif(const QImage& image, const QString& path)
{
    const QByteArray bytes = EncodeGif(image);
    return !bytes.isEmpty() && WriteFileAtomically(path, bytes);
}
} // namespace graph
