// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Colour.h"
#include "graph/GifWriter.h"
#include "graph/GraphRender.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <gif_lib.h>

using namespace graph;

namespace
{
// Decodes the first image of a GIF file with giflib; a null image when it does not decode.
QImage DecodeGif(const QString& path)
{
    int error = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!gif)
        return {};
    QImage image;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1)
    {
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
        const int w = frame.ImageDesc.Width;
        const int h = frame.ImageDesc.Height;
        if (map && w == gif->SWidth && h == gif->SHeight)
        {
            image = QImage(w, h, QImage::Format_RGB32);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                {
                    const GifColorType c = map->Colors[frame.RasterBits[y * w + x]];
                    image.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
                }
        }
    }
    DGifCloseFile(gif, &error);
    return image;
}

QImage Graph()
{
    ColumnBuffer columns{};
    for (int c = 0; c < 200; ++c)
    {
        columns[c].sumIn = float(c * 3000);
        columns[c].sumOut = float((200 - c) * 1500);
    }
    PlotInput plot;
    plot.columns = &columns;
    plot.width = 200;
    plot.height = 100;
    plot.secondsPerColumn = 300;
    plot.direction = DirectionParamsFor(Direction::LeftToRight, 200);
    plot.pixelsPerRate = 100.0f / 2000.0f;
    AxesInput axes;
    axes.date = QDate(2004, 6, 15);
    axes.timeOfDay = QTime(14, 37);
    axes.width = 200;
    axes.height = 100;
    axes.direction = plot.direction;
    axes.scale = 2000;
    axes.pixelsPerRate = plot.pixelsPerRate;
    return ComposeGraph(RenderPlot(plot), RenderAxes(axes, QSize(300, 140)));
}
} // namespace

class TestGifWriter final : public QObject
{
    Q_OBJECT

private slots:
    void graphDecodesBackExactly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("2004-06-15 Journée.gif"));
        const QImage graph = Graph();
        QVERIFY(WriteGif(graph, path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(6).startsWith("GIF8"));
        file.close();
        const QImage decoded = DecodeGif(path);
        QCOMPARE(decoded.size(), graph.size());
        QCOMPARE(decoded, graph.convertToFormat(QImage::Format_RGB32));
        // Qt reads it too when its GIF plugin is there.
        if (QImageReader::supportedImageFormats().contains("gif"))
            QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), decoded);
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(path).fileName()});
    }

    void manyColoursComeClose()
    {
        QImage image(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                image.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gradient.gif"));
        QVERIFY(WriteGif(image, path));
        const QImage decoded = DecodeGif(path);
        QCOMPARE(decoded.size(), image.size());
        for (int y = 0; y < 64; y += 7)
            for (int x = 0; x < 64; x += 5)
            {
                const QRgb a = image.pixel(x, y);
                const QRgb b = decoded.pixel(x, y);
                QVERIFY(qAbs(qRed(a) - qRed(b)) <= 26 && qAbs(qGreen(a) - qGreen(b)) <= 26 &&
                        qAbs(qBlue(a) - qBlue(b)) <= 26);
            }
    }

    void oneColourImage()
    {
        QImage image(3, 2, QImage::Format_ARGB32);
        image.fill(BgrToArgb(0xF5F5F5));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plain.gif"));
        QVERIFY(WriteGif(image, path));
        const QImage decoded = DecodeGif(path);
        QCOMPARE(decoded.pixel(2, 1), qRgb(0xF5, 0xF5, 0xF5));
    }

    void failuresLeaveNoFile()
    {
        QTemporaryDir dir;
        const QString missingFolder = dir.filePath(QStringLiteral("nowhere/x.gif"));
        QVERIFY(!WriteGif(Graph(), missingFolder));
        QVERIFY(!QFile::exists(missingFolder));

        const QString folder = dir.filePath(QStringLiteral("folder.gif"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(!WriteGif(Graph(), folder));
        QVERIFY(QFileInfo(folder).isDir());

        const QString nullImage = dir.filePath(QStringLiteral("null.gif"));
        QVERIFY(!WriteGif(QImage(), nullImage));
        QVERIFY(!QFile::exists(nullImage));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void failedWriteKeepsTheOldPicture()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.gif"));
        QVERIFY(WriteGif(Graph(), path));
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!WriteGif(QImage(), path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_MAIN(TestGifWriter)
#include "tst_gifwriter.moc"
