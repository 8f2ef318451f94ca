// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/OpeningCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace reports;

namespace
{
void WriteFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(text), text.size());
}
} // namespace

class TestOpeningCheck final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_root;      // the store root, as StoreRoot gives it: with a trailing "/"
    QString m_valid;     // nic.inf with "ifname"
    QString m_invalid;   // nic.inf without "ifname"
    QString m_emptyName; // "ifname=" with no value, no "data", upper-case key, lower-case section
    QString m_bare;      // no nic.inf

    QString dir(const QString& name) const { return m_tmp.path() + QLatin1Char('/') + name; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_root = m_tmp.path() + QLatin1Char('/');
        m_valid = dir(QStringLiteral("LAN adapter 10100 port 1"));
        m_invalid = dir(QStringLiteral("Invalid"));
        m_emptyName = dir(QStringLiteral("EmptyName"));
        m_bare = dir(QStringLiteral("Bare"));
        for (const QString& d : {m_valid, m_invalid, m_emptyName, m_bare})
            QVERIFY(QDir().mkpath(d));
        WriteFile(m_valid + QStringLiteral("/nic.inf"),
                  "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=LAN adapter 10100 port 1\r\n"
                  "[data]\r\n38153D=123456\r\n38153U=7890\r\n");
        WriteFile(m_invalid + QStringLiteral("/nic.inf"),
                  "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\n[data]\r\n38153D=1\r\n38153U=1\r\n"
                  "[other]\r\nifname=not here\r\n");
        WriteFile(m_emptyName + QStringLiteral("/nic.inf"), "[vorp db]\r\nIFNAME=\r\n");
    }

    void okButtonOnStatisticsDirectories_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("valid: opening message, chooser closes")
            << "valid" << QStringList{QStringLiteral("Ouverture de l'interface :\nLAN adapter 10100 port 1")} << true
            << true;
        QTest::newRow("empty ifname, no data section: accepted")
            << "emptyName" << QStringList{QStringLiteral("Ouverture de l'interface :\n")} << true << true;
        QTest::newRow("ifname only in another section: invalid, chooser stays")
            << "invalid" << QStringList{QStringLiteral("Fichier Statistiques invalide ou incompatible")} << false
            << false;
    }
    void okButtonOnStatisticsDirectories()
    {
        QFETCH(QString, which);
        QFETCH(QStringList, messages);
        QFETCH(bool, closes);
        QFETCH(bool, accepted);
        const QString selected = which == QLatin1String("valid")       ? m_valid
                                 : which == QLatin1String("emptyName") ? m_emptyName
                                                                       : m_invalid;
        for (bool checked : {true, false})
        {
            const CheckOutcome out = EvaluateOkBtnClick(CheckSender::OkButton, selected, m_root, checked);
            QVERIFY(out.enableGraph);
            QCOMPARE(out.messages, messages);
            QCOMPARE(out.closeChooser, closes);
            QCOMPARE(out.accepted(), accepted);
            QVERIFY(out.question.isEmpty());
            QVERIFY(!out.chooseInterfacesNotice);
        }
    }

    void readerIsAcceptedSilently()
    {
        const CheckOutcome out = EvaluateOpeningCheck(m_valid, m_root, false);
        QVERIFY(out.enableGraph);
        QVERIFY(out.messages.isEmpty());
        QVERIFY(!out.closeChooser);
        QVERIFY(out.accepted());

        const CheckOutcome bad = EvaluateOpeningCheck(m_invalid, m_root, true);
        QCOMPARE(bad.messages, QStringList{QStringLiteral("Fichier Statistiques invalide ou incompatible")});
        QVERIFY(!bad.accepted());
        QVERIFY(!bad.closeChooser);
    }

    void readerOnMissingDirectory_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::newRow("empty path") << QString();
        QTest::newRow("gone") << QStringLiteral("/nonexistent/vorp/statistics");
    }
    void readerOnMissingDirectory()
    {
        QFETCH(QString, selected);
        const CheckOutcome out = EvaluateOpeningCheck(selected, m_root, true);
        QCOMPARE(out.messages, QStringList{QStringLiteral("Base inexistante")});
        QVERIFY(!out.accepted());
        // The chooser's check is not run, so the graph window is not enabled either.
        QVERIFY(!out.enableGraph);
        QVERIFY(out.question.isEmpty());
    }

    // The case table for a missing nic.inf, for either sender.
    void missingDescriptor_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("pathMessage");
        QTest::addColumn<bool>("notice");
        QTest::addColumn<QString>("question");
        const QString d = QStringLiteral("Le fichier Statistiques de l'interface est inexistant ou invalide. "
                                         "Voulez-vous le rechercher manuellement ?");
        const QString e =
            QStringLiteral("Vous devez d'abord sélectionner l'interface dont vous voulez consulter les statistiques.");
        QTest::newRow("empty, interfaces checked: question E") << "empty" << true << false << false << e;
        QTest::newRow("empty, none checked: notice F only") << "empty" << false << false << true << QString();
        QTest::newRow("program folder, checked: path, E") << "root" << true << true << false << e;
        QTest::newRow("program folder, none: path, F") << "root" << false << true << true << QString();
        QTest::newRow("program folder spelt with ./ and slash: path, E") << "rootSpelt" << true << true << false << e;
        QTest::newRow("other directory, checked: path, D") << "other" << true << true << false << d;
        QTest::newRow("other directory, none checked: path, D") << "other" << false << true << false << d;
        QTest::newRow("program folder in another case is another folder") << "rootUpper" << false << true << false << d;
    }
    void missingDescriptor()
    {
        QFETCH(QString, where);
        QFETCH(bool, checked);
        QFETCH(bool, pathMessage);
        QFETCH(bool, notice);
        QFETCH(QString, question);

        const QString rootNoSlash = m_tmp.path();
        QString selected;
        if (where == QLatin1String("root"))
            selected = rootNoSlash;
        else if (where == QLatin1String("rootSpelt"))
            selected = rootNoSlash + QStringLiteral("/./Bare/..");
        else if (where == QLatin1String("rootUpper"))
        {
            // Only a real second folder shows that case is kept: make it.
            const QString parent = rootNoSlash + QStringLiteral("/case");
            QVERIFY(QDir().mkpath(parent + QStringLiteral("/store")));
            QVERIFY(QDir().mkpath(parent + QStringLiteral("/STORE")));
            selected = parent + QStringLiteral("/STORE");
        }
        else if (where == QLatin1String("other"))
            selected = m_bare;
        const QString root =
            where == QLatin1String("rootUpper") ? rootNoSlash + QStringLiteral("/case/store/") : m_root;

        QStringList messages;
        if (pathMessage) // where nic.inf was looked for, once, and said as such
            messages << QStringLiteral("Aucun fichier Statistiques (nic.inf) dans ") + selected + QLatin1Char('/');
        for (CheckSender sender : {CheckSender::OkButton, CheckSender::Reader})
        {
            const CheckOutcome out = EvaluateOkBtnClick(sender, selected, root, checked);
            QVERIFY(out.enableGraph);
            QCOMPARE(out.messages, messages);
            QCOMPARE(out.chooseInterfacesNotice, notice);
            QCOMPARE(out.question, question);
            QVERIFY(out.clearReady);
            QVERIFY(!out.closeChooser);
        }
    }

    void checkMonitoredInterfaces()
    {
        QVERIFY(!CheckMonitoredInterfaces({}));
        QVERIFY(!CheckMonitoredInterfaces({false, false}));
        QVERIFY(CheckMonitoredInterfaces({false, true}));
    }
};

QTEST_GUILESS_MAIN(TestOpeningCheck)
#include "tst_openingcheck.moc"
