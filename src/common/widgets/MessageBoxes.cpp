// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/MessageBoxes.h"

#include <QApplication>

namespace
{
// Every box has a parent, the window it is about or else the active one, so that the window manager
// keeps it over that window; and it stays on top, so that the stay-on-top meter never covers it.
QWidget* Owner(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}

void KeepAbove(QMessageBox& box)
{
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
}
} // namespace

void MessageBoxes::information(QWidget* parent, const QString& text)
{
    if (m_answer)
    {
        m_shown.push_back({kApplicationTitle, text, QMessageBox::Ok});
        return;
    }
    QMessageBox box(QMessageBox::Information, kApplicationTitle, text, QMessageBox::Ok, Owner(parent));
    KeepAbove(box);
    box.exec();
}

void MessageBoxes::notify(QWidget* parent, const QString& text)
{
    if (m_answer)
    {
        m_shown.push_back({kApplicationTitle, text, QMessageBox::Ok});
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, kApplicationTitle, text, QMessageBox::Ok, Owner(parent));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    KeepAbove(*box);
    box->show();
}

QMessageBox::StandardButton MessageBoxes::ask(QWidget* parent, const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons)
{
    if (m_answer)
    {
        m_shown.push_back({caption, text, buttons});
        return *m_answer;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, buttons, Owner(parent));
    KeepAbove(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QStringList MessageBoxes::shownTexts() const
{
    QStringList texts;
    for (const Shown& s : m_shown)
        texts.append(s.text);
    return texts;
}
