// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The floor the meter's frame is measured against, in the benchmarks (meter_widgets_bench) and on the
// desktop (perf_bare_window): a plain window of the meter's size doing the same visible work per frame,
// the least any window can pay for it. A picture the size of the meter's graph moves by one column (a ring
// of columns drawn in two pieces, the newest column written at its end) and one line of text is fitted to
// the title bar and centred in it, measured and drawn.
#include "meter/MeterDrawing.h"

#include <QFontInfo>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>
#include <QWidget>

#include <algorithm>
#include <cstring>

class BareWindow final : public QWidget
{
public:
    explicit BareWindow(QSize size)
    {
        setWindowTitle(QStringLiteral("Bare window"));
        resize(size);
        MeterLayoutInput input;
        input.client = size;
        const MeterFormLayout layout = FormResizeLayout(input);
        m_title = layout.shape1;
        m_graph = layout.im2.topLeft();
        m_picture = QImage(layout.im2.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        m_picture.fill(QColor(0x00, 0x00, 0x00));
        // The window's font, as the meter's rate text starts from, in pixels so that fitting scales it.
        m_font = font();
        m_font.setPixelSize(QFontInfo(m_font).pixelSize());
    }

    // One frame: a new column of height value (0..1) and a new text; the window repaints what they change.
    void frame(double value, const QString& text)
    {
        m_newest = (m_newest + 1) % m_picture.width();
        const int top = m_picture.height() - int(value * m_picture.height());
        for (int y = 0; y < m_picture.height(); ++y)
            reinterpret_cast<QRgb*>(m_picture.scanLine(y))[m_newest] =
                y >= top ? qRgb(0x00, 0xcc, 0x00) : qRgb(0, 0, 0);
        m_text = text;
        update(m_title);
        update(QRect(m_graph, m_picture.size()));
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter p(this);
        if (event->rect().intersects(QRect(m_graph, m_picture.size())) && !copyPicture(p))
        {
            // Oldest column first, at the left.
            const int split = m_newest + 1, width = m_picture.width();
            p.drawImage(m_graph, m_picture, QRect(split, 0, width - split, m_picture.height()));
            p.drawImage(m_graph + QPoint(width - split, 0), m_picture, QRect(0, 0, split, m_picture.height()));
        }
        // Fitted: shaped once, and again smaller in the rare frame whose text is wider than the bar; centred.
        QTextLayout line(m_text, m_font);
        shape(line);
        if (const qreal width = line.lineAt(0).naturalTextWidth(); width > m_title.width() - 2)
        {
            QFont smaller = m_font;
            smaller.setPixelSize(std::max(1, int(m_font.pixelSize() * (m_title.width() - 2) / width)));
            line.setFont(smaller);
            shape(line);
        }
        const QTextLine shaped = line.lineAt(0);
        p.fillRect(m_title, QColor(0xf4, 0xf4, 0xf4));
        p.setPen(Qt::black);
        line.draw(&p, QPointF(m_title.left() + (m_title.width() - shaped.naturalTextWidth()) / 2,
                              m_title.top() + (m_title.height() - shaped.height()) / 2));
    }

private:
    static void shape(QTextLayout& layout)
    {
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
    }

    // The picture's rows copied straight into the window's raster buffer, as the meter copies its graph: the
    // least a window can do to show it. False where that buffer is not a plain 32-bit image.
    bool copyPicture(QPainter& p)
    {
        QPaintEngine* engine = p.paintEngine();
        if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
            engine->paintDevice()->devType() != QInternal::Image)
            return false;
        auto* image = static_cast<QImage*>(engine->paintDevice());
        const QTransform transform = p.deviceTransform();
        const bool plain = image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32 ||
                           image->format() == QImage::Format_ARGB32_Premultiplied;
        if (!plain || transform.type() > QTransform::TxTranslate || image->devicePixelRatio() != 1.0)
            return false;
        const QPoint at = m_graph + QPoint(int(transform.dx()), int(transform.dy()));
        const QRect target = QRect(at, m_picture.size()) & image->rect();
        auto* pixels = reinterpret_cast<QRgb*>(const_cast<uchar*>(image->constBits()));
        const qsizetype stride = image->bytesPerLine() / qsizetype(sizeof(QRgb));
        const int split = m_newest + 1, width = m_picture.width();
        for (int y = target.top(); y <= target.bottom(); ++y)
        {
            const auto* row = reinterpret_cast<const QRgb*>(m_picture.constScanLine(y - at.y()));
            QRgb* out = pixels + y * stride + at.x();
            // Within the buffer's width, oldest column first.
            const int room = target.right() - at.x() + 1;
            const int older = std::min(width - split, room);
            std::memcpy(out, row + split, size_t(older) * sizeof(QRgb));
            if (room > older)
                std::memcpy(out + older, row, size_t(std::min(split, room - older)) * sizeof(QRgb));
        }
        return true;
    }

    QRect m_title;
    QPoint m_graph;
    QImage m_picture;
    QFont m_font;
    QString m_text;
    int m_newest = 0;
};
