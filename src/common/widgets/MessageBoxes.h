// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QWidget;

// Every window's message boxes go through here, so a test can answer each box without a modal loop.
// Each box opens over the window given when it is shown, else over the active one, and stays on top, so
// the stay-on-top meter never hides it.
class MessageBoxes final
{
public:
    struct Shown
    {
        QString caption;
        QString text;
        QMessageBox::StandardButtons buttons;
        QPointer<QWidget> over; // the window it opens over; none: the middle of the screen
    };

    // Plain message: information box with OK, captioned with the application's title.
    void information(QWidget* parent, const QString& text);
    // The same box without a modal loop: shown, and the caller goes on at once.
    void notify(QWidget* parent, const QString& text);
    // Box without icon (caption "VORP" where the chooser uses it); returns the button pressed.
    QMessageBox::StandardButton ask(QWidget* parent, const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons);

    // Test seam: from now on every box is recorded in shown() and answered with answer, not shown.
    void setNextAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    // Test seam for boxes that only inform: recorded, never shown.
    void setRecordOnly(bool recordOnly) { m_answer = recordOnly ? std::optional(QMessageBox::Ok) : std::nullopt; }
    void clearShown() { m_shown.clear(); }

private:
    std::optional<QMessageBox::StandardButton> m_answer;
    std::vector<Shown> m_shown;
};

inline const QString kApplicationTitle = QStringLiteral("VORP Beta4");

// A short text makes a narrow box whose title bar cuts the caption ("VOR… ta4"): the box is kept as wide as
// its caption and the window manager's buttons. Call once the caption is set.
void KeepCaptionWhole(QMessageBox& box);
