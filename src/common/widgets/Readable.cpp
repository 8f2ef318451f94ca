// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/Readable.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace
{
// The contrast asked of bold captions and controls; every designed colour has it on the light grey
// background it was designed for.
constexpr double kReadable = 3.0;

// Below this luminance a background is dark: text on it must be light.
constexpr double kDarkBackground = 0.18;

double Luminance(const QColor& c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}
} // namespace

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& designed, const QColor& background)
{
    if (ContrastRatio(designed, background) >= kReadable)
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
        if (ContrastRatio(candidate, background) >= kReadable)
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
    const QColor background = widget->palette().color(QPalette::Window);
    SetTextColour(widget, Luminance(background) < kDarkBackground ? ReadableOn(designed, background) : designed);
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
