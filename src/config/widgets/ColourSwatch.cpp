// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/widgets/ColourSwatch.h"

#include <QMouseEvent>
#include <QPainter>

ColourSwatch::ColourSwatch(QWidget* parent) : QFrame(parent)
{
    setFixedSize(25, 21);
    setCursor(Qt::PointingHandCursor);
}

void ColourSwatch::setColour(const QColor& colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void ColourSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(m_colour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColourSwatch::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    emit pressed();
}
