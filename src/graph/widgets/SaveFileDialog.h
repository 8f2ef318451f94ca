// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

// The save-file dialog behind a seam: a test scripts the answer and no dialog is shown.
class SaveFileDialog final
{
public:
    // The path the user confirmed, or nothing when the dialog was cancelled. proposedPath names the
    // folder the dialog opens in and the file name it proposes.
    std::optional<QString> getSaveFileName(QWidget* parent, const QString& proposedPath);

    // Test seam: from now on every call is recorded in proposed() and answered with answer
    // (nothing = cancelled) without a dialog.
    void setNextFileName(std::optional<QString> answer);
    const QStringList& proposed() const { return m_proposed; }
    // Test seam for the real dialog: called with it just before it opens.
    void setOnShowing(std::function<void(QFileDialog*)> shown) { m_shown = std::move(shown); }

private:
    std::function<void(QFileDialog*)> m_shown;
    bool m_scripted = false;
    std::optional<QString> m_answer;
    QStringList m_proposed;
};
