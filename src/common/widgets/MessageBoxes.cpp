// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/MessageBoxes.h"

#include <QApplication>
#include <QGridLayout>
#include <QSpacerItem>

namespace
{
// Every box has a parent, the window it is about or else the active one, so that it opens over that window
// and the window manager keeps it there; a hidden window cannot be the one (a box centred on it opens in a
// corner of the screen). It stays on top, so that the stay-on-top meter never covers it.
QWidget* Owner(QWidget* parent)
{
    if (parent && parent->window()->isVisible())
        return parent->window();
    QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() ? active : nullptr;
}

void Prepare(QMessageBox& box)
{
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    KeepCaptionWhole(box);
}
} // namespace

void KeepCaptionWhole(QMessageBox& box)
{
    // Room in a title bar for the window manager's icon and buttons beside the caption, which title bars
    // mostly draw in bold.
    constexpr int kTitleBarButtons = 128;
    QFont bold = box.font();
    bold.setBold(true);
    const int width = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + kTitleBarButtons;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

void MessageBoxes::information(QWidget* parent, const QString& text)
{
    if (m_answer)
    {
        m_shown.push_back({kApplicationTitle, text, QMessageBox::Ok, Owner(parent)});
        return;
    }
    QMessageBox box(QMessageBox::Information, kApplicationTitle, text, QMessageBox::Ok, Owner(parent));
    Prepare(box);
    box.exec();
}

void MessageBoxes::notify(QWidget* parent, const QString& text)
{
    if (m_answer)
    {
        m_shown.push_back({kApplicationTitle, text, QMessageBox::Ok, Owner(parent)});
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, kApplicationTitle, text, QMessageBox::Ok, Owner(parent));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    Prepare(*box);
    box->show();
    // It takes the keyboard, so that Escape or Enter closes it, even from a stay-on-top window that had it.
    box->raise();
    box->activateWindow();
}

QMessageBox::StandardButton MessageBoxes::ask(QWidget* parent, const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons)
{
    if (m_answer)
    {
        m_shown.push_back({caption, text, buttons, Owner(parent)});
        return *m_answer;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, buttons, Owner(parent));
    Prepare(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QStringList MessageBoxes::shownTexts() const
{
    QStringList texts;
    for (const Shown& s : m_shown)
        texts.append(s.text);
    return texts;
}
