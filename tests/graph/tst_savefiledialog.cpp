// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/widgets/SaveFileDialog.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

// The real dialog, answered from inside its own loop.
class TestSaveFileDialog final : public QObject
{
    Q_OBJECT

private slots:
    // Under any locale (LANG=C for one) the dialog's details are French: dates without English month
    // names, kinds of file in French; it proposes the name it was given.
    void detailsInFrenchWhateverTheLocale()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("eth0")));
        QFile picture(dir.filePath(QStringLiteral("2004-06-14 Journée.gif")));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        QCOMPARE(picture.write(QByteArray(1536, 'x')), 1536);
        QVERIFY(picture.flush());
        QVERIFY(picture.setFileTime(QDateTime(QDate(2004, 6, 14), QTime(14, 35)), QFileDevice::FileModificationTime));
        picture.close();

        QMap<QString, QStringList> rows; // name: size, kind, modification
        QString proposedName;
        SaveFileDialog dialog;
        dialog.setOnShowing([&](QFileDialog* shown) {
            auto* poll = new QTimer(shown);
            connect(poll, &QTimer::timeout, shown, [&rows, &proposedName, shown] {
                const auto* view = shown->findChild<QTreeView*>(QStringLiteral("treeView"));
                const QAbstractItemModel* model = view ? view->model() : nullptr;
                if (!model || model->rowCount(view->rootIndex()) < 2)
                    return;
                for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
                {
                    const auto cell = [&](int column) {
                        return model->index(row, column, view->rootIndex()).data().toString();
                    };
                    rows.insert(cell(0), {cell(1), cell(2), cell(3)});
                }
                proposedName = shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                shown->reject();
            });
            poll->start(20);
        });
        QCOMPARE(dialog.getSaveFileName(nullptr, dir.filePath(QStringLiteral("2004-06-15 Journée.gif"))),
                 std::optional<QString>());
        QCOMPARE(proposedName, QStringLiteral("2004-06-15 Journée.gif"));
        QCOMPARE(
            rows.value(QStringLiteral("2004-06-14 Journée.gif")),
            (QStringList{QStringLiteral("1,5 ko"), QStringLiteral("Fichier GIF"), QStringLiteral("14/06/2004 14:35")}));
        QCOMPARE(rows.value(QStringLiteral("eth0")).value(1), QStringLiteral("Dossier"));
    }
};

QTEST_MAIN(TestSaveFileDialog)
#include "tst_savefiledialog.moc"
