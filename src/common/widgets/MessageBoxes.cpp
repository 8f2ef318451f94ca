#include "common/widgets/MessageBoxes.h"

void MessageBoxes::information(QWidget* parent, const QString& text)
{
    if (m_answer)
    {
        m_shown.push_back({kApplicationTitle, text, QMessageBox::Ok});
        return;
    }
    QMessageBox box(QMessageBox::Information, kApplicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void MessageBoxes::notify(QWidget* parent, const QString& text)
{
    if (m_answer)
    {
        m_shown.push_back({kApplicationTitle, text, QMessageBox::Ok});
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, kApplicationTitle, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // Above the stay-on-top meter it is about.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
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
    QMessageBox box(QMessageBox::NoIcon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QStringList MessageBoxes::shownTexts() const
{
    QStringList texts;
    for (const Shown& s : m_shown)
        texts.append(s.text);
    return texts;
}
