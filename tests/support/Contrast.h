// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/widgets/Readable.h"

#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QStringList>
#include <QWidget>

#include <algorithm>

// A dark palette like the desktops' dark themes.
inline QPalette DarkPalette()
{
    QPalette dark;
    const QColor window(0x2a, 0x2e, 0x32), base(0x1e, 0x20, 0x23), text(0xec, 0xec, 0xec);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    {
        dark.setColor(group, QPalette::Window, window);
        dark.setColor(group, QPalette::Button, window);
        dark.setColor(group, QPalette::Base, base);
        dark.setColor(group, QPalette::AlternateBase, window);
        dark.setColor(group, QPalette::WindowText, group == QPalette::Disabled ? QColor(0x80, 0x80, 0x80) : text);
        dark.setColor(group, QPalette::Text, group == QPalette::Disabled ? QColor(0x80, 0x80, 0x80) : text);
        dark.setColor(group, QPalette::ButtonText, text);
    }
    return dark;
}

// How much the text of a widget stands out, read from its pixels as drawn (palettes, style sheets and
// styles included): the contrast between the commonest pixel, the background, and the pixel that
// differs from it most, the core of a glyph.
inline double DrawnContrast(QWidget* widget)
{
    // Through its window when that is on screen, so that what lies behind a translucent widget counts.
    QWidget* top = widget->window();
    const QImage image = widget != top && top->isVisible() && widget->isVisibleTo(top)
                             ? top->grab(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size())).toImage()
                             : widget->grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
        {
            most = it.value();
            background = it.key();
        }
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, ContrastRatio(QColor(it.key()), QColor(background)));
    return best;
}

// The contrast text needs to be read: 3 for bold text, 4.5 for text of normal weight.
inline double NeededContrast(const QFont& font)
{
    return font.bold() ? 3.0 : 4.5;
}

// objectName (or text) of every label and group title under window whose text would not stand out
// from its background as drawn.
inline QStringList UnreadableTexts(QWidget* window)
{
    window->ensurePolished();
    QStringList unreadable;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (!label->text().isEmpty() && label->isEnabled() && DrawnContrast(label) < NeededContrast(label->font()))
            unreadable << (label->objectName().isEmpty() ? label->text() : label->objectName());
    for (QGroupBox* group : window->findChildren<QGroupBox*>())
    {
        // The title alone: a group box draws its frame and children too.
        const QString title = group->title();
        QGroupBox alone(title);
        alone.setPalette(group->palette());
        alone.setFont(group->font());
        alone.setStyleSheet(group->styleSheet());
        alone.resize(group->size().width(), alone.fontMetrics().height() + 4);
        if (!title.isEmpty() && DrawnContrast(&alone) < NeededContrast(group->font()))
            unreadable << group->objectName();
    }
    return unreadable;
}
