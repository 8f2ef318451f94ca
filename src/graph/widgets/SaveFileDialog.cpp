// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/widgets/SaveFileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace
{
// The dialog's file details in French: its model writes dates and kinds in the system's locale, English
// month names under LANG=C.
class FrenchFileDetails final : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole || index.column() < kSize || index.column() > kModified)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale french(QLocale::French, QLocale::France);
        if (index.column() == kModified)
            return french.toString(files->lastModified(source), QStringLiteral("dd/MM/yyyy HH:mm"));
        if (index.column() == kSize)
            return files->isDir(source)
                       ? QString()
                       : french.formattedDataSize(files->size(source), 1, QLocale::DataSizeTraditionalFormat);
        if (files->isDir(source))
            return QStringLiteral("Dossier");
        const QString suffix = files->fileInfo(source).suffix();
        return suffix.isEmpty() ? QStringLiteral("Fichier") : QStringLiteral("Fichier %1").arg(suffix.toUpper());
    }

private:
    static constexpr int kSize = 1;
    static constexpr int kKind = 2;
    static constexpr int kModified = 3;
};
} // namespace

std::optional<QString> SaveFileDialog::getSaveFileName(QWidget* parent, const QString& proposedPath)
{
    if (m_scripted)
    {
        m_proposed.append(proposedPath);
        return m_answer;
    }
    // The toolkit's own dialog, in French whatever the locale: a desktop's dialog speaks the locale's language
    // beside the program's French.
    QFileDialog dialog(parent, QString(), proposedPath);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setProxyModel(new FrenchFileDetails(&dialog));
    if (m_shown)
        m_shown(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void SaveFileDialog::setNextFileName(std::optional<QString> answer)
{
    m_scripted = true;
    m_answer = std::move(answer);
}
