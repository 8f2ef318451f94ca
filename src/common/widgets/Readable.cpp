// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/Readable.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace
{
// The contrast asked of bold captions and controls; every designed colour has it on the light grey
// background it was designed for. Text of normal weight, thinner, asks for more.
constexpr double kReadable = 3.0;
constexpr double kReadableThin = 4.5;

// Below this luminance a background is dark: text on it must be light.
constexpr double kDarkBackground = 0.18;

double Luminance(const QColor& c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

// Styles draw an unchecked box's outline a shade darker than the window colour, which on a dark base is
// the base itself: the items get the text colour as their window colour, so the outline is a mid grey.
class ReadableCheckDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (Luminance(option->palette.color(QPalette::Base)) < kDarkBackground)
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                option->palette.setColor(group, QPalette::Window, option->palette.color(group, QPalette::Text));
    }
};
} // namespace

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& designed, const QColor& background, double contrast)
{
    if (ContrastRatio(designed, background) >= contrast)
        return designed;
    // Towards white on a dark background, towards black on a light one, keeping the hue.
    const bool lighten = Luminance(background) < kDarkBackground;
    QColor c = designed.toHsl();
    float h = 0, s = 0, l = 0, a = 0;
    c.getHslF(&h, &s, &l, &a);
    for (int step = 1; step <= 20; ++step)
    {
        const float t = static_cast<float>(step) / 20.0f;
        const float lightness = lighten ? l + (1.0f - l) * t : l * (1.0f - t);
        const QColor candidate = QColor::fromHslF(h, s, lightness, a);
        if (ContrastRatio(candidate, background) >= contrast)
            return candidate.toRgb();
    }
    return lighten ? QColor(Qt::white) : QColor(Qt::black);
}

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

void SetDesignedTextColour(QWidget* widget, const QColor& designed)
{
    // On the light backgrounds they were chosen for, designed colours stay exactly as they are, even a
    // pale series colour the user picked.
    const QPalette palette = widget->palette();
    const QColor background = palette.color(QPalette::Window);
    if (Luminance(background) >= kDarkBackground)
    {
        SetTextColour(widget, designed);
        return;
    }
    // Designed black meant the plain text colour: the desktop's own stands for it (not the colour a
    // coloured parent passes down).
    if (designed.toHsl().hslSaturationF() == 0 && Luminance(designed) < kDarkBackground)
    {
        SetTextColour(widget, QApplication::palette(widget).color(QPalette::WindowText));
        return;
    }
    SetTextColour(widget, ReadableOn(designed, background, widget->font().bold() ? kReadable : kReadableThin));
}

void SetFixedColours(QWidget* widget, const QColor& background, const QColor& text)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    widget->setPalette(palette);
}

void KeepCheckIndicatorsReadable(QAbstractItemView* view)
{
    view->setItemDelegate(new ReadableCheckDelegate(view));
}
