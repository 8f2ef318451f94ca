// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/widgets/Dialogs.h"

#include <QColorDialog>
#include <QMessageBox>

std::optional<QColor> ColourDialog::getColour(const QColor& initial, QWidget* parent)
{
    if (m_scripted)
    {
        m_scripted = false;
        return std::exchange(m_next, std::nullopt);
    }
    const QColor colour = QColorDialog::getColor(initial, parent);
    if (!colour.isValid())
        return std::nullopt;
    return colour;
}

void ColourDialog::setNextColour(std::optional<QColor> colour)
{
    m_scripted = true;
    m_next = colour;
}
