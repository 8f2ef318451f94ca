#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

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

// Information boxes captioned with the application title, behind a seam.
class MessageBoxes final
{
public:
    static QString applicationTitle() { return QStringLiteral("VORP Beta4"); }

    void information(QWidget* parent, const QString& text);
    // Test seam: boxes are recorded in shown() instead of being opened.
    void setRecordOnly(bool recordOnly) { m_recordOnly = recordOnly; }
    const QStringList& shown() const { return m_shown; }

private:
    bool m_recordOnly = false;
    QStringList m_shown;
};
