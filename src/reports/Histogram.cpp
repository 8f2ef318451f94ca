// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/Histogram.h"

#include "common/DayNumber.h"
#include "common/NumberText.h"
#include "reports/Descriptor.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace reports
{
namespace
{
constexpr int W = kBarsWidth;
constexpr int H = kBarsHeight;

int Slots(HistogramView view)
{
    return view == HistogramView::Year ? 12 : 31;
}

// Megabytes cut to an integer; text that stays sane for any float, even an infinite one.
QString MegabyteText(long double bytes)
{
    return FloatText(std::floor(bytes / kMega));
}

// Lines as the raster canvas draws them: from the start point up to, not including, the end point.
void HorizontalLine(QPainter& p, int x0, int x1, int y, const QColor& colour)
{
    if (x0 != x1)
        p.fillRect(QRect(QPoint(std::min(x0, x1 + 1), y), QPoint(std::max(x0, x1 - 1), y)), colour);
}

void VerticalLine(QPainter& p, int x, int y0, int y1, const QColor& colour)
{
    if (y0 != y1)
        p.fillRect(QRect(QPoint(x, std::min(y0, y1 + 1)), QPoint(x, std::max(y0, y1 - 1))), colour);
}
} // namespace

HistogramSelection NextMonth(HistogramSelection s)
{
    if (++s.month > 12)
    {
        s.month = 1;
        ++s.year;
    }
    return s;
}

HistogramSelection PreviousMonth(HistogramSelection s)
{
    if (--s.month <= 0)
    {
        s.month = 12;
        --s.year;
    }
    return s;
}

HistogramSelection NextYear(HistogramSelection s)
{
    ++s.year;
    return s;
}

HistogramSelection PreviousYear(HistogramSelection s)
{
    --s.year;
    return s;
}

void HistogramBuckets::fill(const QStringList& dataLines, const HistogramSelection& selection)
{
    m_sums.fill(0.0f);
    const bool wantD = selection.direction != Direction::UL;
    const bool wantU = selection.direction != Direction::DL;
    for (const QString& line : dataLines)
    {
        if (!IsDayLine(line))
            continue;
        const QChar letter = LetterOfLine(line);
        if (!((letter == QLatin1Char('D') && wantD) || (letter == QLatin1Char('U') && wantU)))
            continue;
        const QDate date = DateOfDay(DayOfLine(line));
        if (date.year() != selection.year)
            continue;
        int slot = date.month();
        if (selection.view == HistogramView::Month)
        {
            if (date.month() != selection.month)
                continue;
            slot = date.day();
        }
        float& sum = m_sums[static_cast<size_t>(slot)];
        sum += AmountFitting(AmountOfLine(line), {sum});
    }
}

float HistogramBuckets::at(int slot) const
{
    return slot >= 1 && slot <= 31 ? m_sums[static_cast<size_t>(slot)] : 0.0f;
}

float HistogramBuckets::largest() const
{
    return *std::max_element(m_sums.begin() + 1, m_sums.end());
}

float HistogramBuckets::scale() const
{
    const long double m = largest();
    return static_cast<float>(static_cast<long double>(H) / (m + m * 0.1L + 0.1L));
}

std::vector<QRect> BarRects(const HistogramBuckets& buckets, HistogramView view)
{
    const int n = Slots(view);
    const int inset = view == HistogramView::Year ? 4 : 1;
    const long double k = buckets.scale();
    std::vector<QRect> rects;
    rects.reserve(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i)
    {
        // Damaged totals (negative, huge) must not send the top outside the image.
        long double top = std::trunc(H - k * buckets.at(i));
        if (!std::isfinite(top) || top > H)
            top = H;
        if (top < 0)
            top = 0;
        const int left = (i - 1) * W / n + inset;
        const int right = i * W / n - inset;
        rects.push_back(QRect(QPoint(left, static_cast<int>(top)), QPoint(right - 1, H - 1)));
    }
    return rects;
}

HistogramColours BarColours(Direction direction)
{
    if (direction == Direction::DL)
        return {QColor(0x00, 0xCC, 0x00), QColor(0x00, 0x66, 0x00)};
    return {QColor(0x00, 0x00, 0xFF), QColor(0x00, 0x00, 0x80)};
}

QString ScaleLabel(const HistogramBuckets& buckets, int tick)
{
    const int p = H * tick / 10;
    return MegabyteText(p / static_cast<long double>(buckets.scale()));
}

HistogramImages RenderHistogram(const HistogramBuckets& buckets, const HistogramSelection& selection, const QFont& font,
                                qreal devicePixelRatio)
{
    // Drawn in logical pixels on images of the screen's own resolution, so lines and text stay sharp.
    const auto image = [devicePixelRatio](int width, int height) {
        QImage i(qRound(width * devicePixelRatio), qRound(height * devicePixelRatio), QImage::Format_RGB32);
        i.setDevicePixelRatio(devicePixelRatio);
        i.fill(Qt::white);
        return i;
    };
    HistogramImages images{image(kFrameWidth, kFrameHeight), image(W, H)};

    const HistogramColours colours = BarColours(selection.direction);
    {
        QPainter p(&images.bars);
        for (const QRect& r : BarRects(buckets, selection.view))
        {
            if (r.isEmpty())
                continue;
            p.fillRect(r, colours.fill);
            HorizontalLine(p, r.left(), r.right() + 1, r.top(), colours.outline);
            HorizontalLine(p, r.left(), r.right() + 1, r.bottom(), colours.outline);
            VerticalLine(p, r.left(), r.top(), r.bottom() + 1, colours.outline);
            VerticalLine(p, r.right(), r.top(), r.bottom() + 1, colours.outline);
        }
    }

    const QColor black(Qt::black);
    constexpr int ox = kOffsetX, oy = kOffsetY;
    QPainter painter(&images.frame);
    VerticalLine(painter, ox - 1, oy, oy + H, black);
    HorizontalLine(painter, ox - 1, ox - 1 + W, oy + H, black);
    painter.setFont(font);
    painter.setPen(black);
    const QFontMetrics metrics(font, &images.frame);
    const int halfHeight = metrics.height() / 2;
    for (int j = 1; j <= 10; ++j)
    {
        const int y = oy + H - H * j / 10;
        HorizontalLine(painter, ox - 1, ox - 4, y, black);
        const QString label = ScaleLabel(buckets, j);
        const int left = ox - 5 - metrics.horizontalAdvance(label);
        painter.drawText(left, y - halfHeight + metrics.ascent(), label);
    }
    const int n = Slots(selection.view);
    for (int i = 1; i <= n; ++i)
    {
        const int x = i * W / n + ox;
        VerticalLine(painter, x, oy + H, oy + H + 3, black);
        const QString label = QString::number(i);
        const int centre = x - W / (2 * n);
        painter.drawText(centre - metrics.horizontalAdvance(label) / 2, oy + H + 5 + metrics.ascent(), label);
    }
    return images;
}

int SlotAt(HistogramView view, int x)
{
    const int n = Slots(view);
    return std::clamp(x, 0, W - 1) * n / W + 1;
}

QString ReadOut(const HistogramBuckets& buckets, const HistogramSelection& selection, int x)
{
    const int slot = SlotAt(selection.view, x);
    QString text = QString::number(slot) + QLatin1Char('/');
    if (selection.view == HistogramView::Month)
    {
        // The month view keeps 31 slots; those past the month's end are no day at all.
        if (!QDate(selection.year, selection.month, slot).isValid())
            return QString();
        text += QString::number(selection.month) + QLatin1Char('/');
    }
    return text + QString::number(selection.year) + QStringLiteral(" : ") + MegabyteText(buckets.at(slot)) +
           QStringLiteral(" Mo");
}

ClickOutcome Click(const HistogramSelection& selection, const HistogramBuckets& buckets, Qt::MouseButton button, int x,
                   int lastPointerX)
{
    ClickOutcome out;
    out.selection = selection;
    if (selection.view == HistogramView::Month)
    {
        if (button == Qt::RightButton)
        {
            // Back to the year; one redraw is enough (each repeats the opening check's messages).
            out.selection.view = HistogramView::Year;
            out.action = ClickOutcome::Action::Redraw;
        }
        else if (button == Qt::LeftButton)
        {
            const int day = SlotAt(HistogramView::Month, lastPointerX);
            const QDate date(selection.year, selection.month, day);
            if (buckets.at(day) != 0.0f && date.isValid())
            {
                out.action = ClickOutcome::Action::OpenHistory;
                out.historyDate = date;
            }
        }
        return out;
    }
    if (button == Qt::LeftButton)
    {
        out.selection.month = SlotAt(HistogramView::Year, x);
        out.selection.view = HistogramView::Month;
    }
    out.action = ClickOutcome::Action::Redraw;
    return out;
}

HistogramBuckets LoadBuckets(const QString& dir, const HistogramSelection& selection)
{
    const DescriptorRead read = ReadDescriptor(dir);
    HistogramBuckets buckets;
    buckets.fill(read.contents ? read.contents->dataLines : QStringList(), selection);
    return buckets;
}
} // namespace reports
