// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include "common/widgets/MessageBoxes.h"

#include <optional>

class QWidget;

// The colour dialog behind a seam: a test scripts the next answer and no dialog is shown.
class ColourDialog final
{
public:
    // The chosen colour, or nothing when the user cancelled.
    std::optional<QColor> getColour(const QColor& initial, QWidget* parent);
    // Test seam: the next call returns this answer (nothing = cancelled) without showing a dialog.
    void setNextColour(std::optional<QColor> colour);

private:
    bool m_scripted = false;
    std::optional<QColor> m_next;
};
