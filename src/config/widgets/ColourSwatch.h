// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFrame>

// A filled rectangle showing one graph colour; any mouse button pressed on it asks for a new colour.
class ColourSwatch final : public QFrame
{
    Q_OBJECT

public:
    explicit ColourSwatch(QWidget* parent = nullptr);

    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);

signals:
    void pressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QColor m_colour = Qt::black;
};
