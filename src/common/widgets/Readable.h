// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

class QAbstractItemView;
class QWidget;

// Text colours that stay readable under any palette. The windows were designed on a light grey
// background; under a dark palette their maroon, navy or black captions would vanish.

// WCAG contrast ratio of two colours, 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// designed when it stands out from background by contrast (3 for bold text and controls, 4.5 for text
// of normal weight); otherwise the same hue made lighter or darker until it does.
QColor ReadableOn(const QColor& designed, const QColor& background, double contrast = 3.0);

// Draws widget's text in colour, and every kind of text it may draw (labels, group titles, buttons).
void SetTextColour(QWidget* widget, const QColor& colour);

// Draws widget's text in designed, made readable on the window background of widget's palette when
// that background is dark (a light one is what the colours were designed for): a colour keeps its hue,
// black becomes the palette's text colour. Set the widget's font first: thin text needs more contrast.
void SetDesignedTextColour(QWidget* widget, const QColor& designed);

// Fixes both the background and the text of a widget whose background is part of its design, so
// that the palette cannot put light text on it.
void SetFixedColours(QWidget* widget, const QColor& background, const QColor& text);

// The check boxes of a check list stay visible under a dark palette: their outline, drawn from the window
// colour, is made from the text colour when the list's base is dark. Installs the view's item delegate.
void KeepCheckIndicatorsReadable(QAbstractItemView* view);
