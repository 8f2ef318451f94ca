// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Translation.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

// Qt's own texts come in French whatever the locale: the tests run under LANG=C as well.
class TestTranslation final : public QObject
{
    Q_OBJECT

private slots:
    void standardButtonsReadInFrench_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("Yes") << int(QMessageBox::Yes) << "&Oui";
        QTest::newRow("No") << int(QMessageBox::No) << "&Non";
        QTest::newRow("Retry") << int(QMessageBox::Retry) << "Réessayer";
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << "Annuler";
    }
    void standardButtonsReadInFrench()
    {
        QFETCH(int, button);
        QFETCH(QString, text);
        static const bool installed = InstallToolkitTranslation(*QCoreApplication::instance());
        QVERIFY2(installed, "qtbase_fr.qm is missing: install qt6-translations-l10n");
        QMessageBox box(QMessageBox::Question, QStringLiteral("VORP"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Retry | QMessageBox::Cancel);
        QCOMPARE(box.button(static_cast<QMessageBox::StandardButton>(button))->text(), text);
    }
};

int main(int argc, char** argv)
{
    // Whatever the user's locale says, the program speaks French.
    qputenv("LANG", "C");
    qputenv("LC_ALL", "C");
    qputenv("LANGUAGE", "en");
    QApplication app(argc, argv);
    TestTranslation test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translation.moc"
