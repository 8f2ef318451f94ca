// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/widgets/SaveFileDialog.h"

#include <QFileDialog>

std::optional<QString> SaveFileDialog::getSaveFileName(QWidget* parent, const QString& proposedPath)
{
    if (m_scripted)
    {
        m_proposed.append(proposedPath);
        return m_answer;
    }
    const QString chosen = QFileDialog::getSaveFileName(parent, QString(), proposedPath);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

void SaveFileDialog::setNextFileName(std::optional<QString> answer)
{
    m_scripted = true;
    m_answer = std::move(answer);
}
