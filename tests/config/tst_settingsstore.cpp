// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/Autostart.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"

#include <csignal>
#include <sys/resource.h>

namespace
{
using Stored = QList<QPair<QString, QString>>;
} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("VORP/VORP.conf")); }

private slots:
    void init() { QFile::remove(path()); }

    void defaultPathsFollowXdgConfigHome()
    {
        const QByteArray old = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", "/tmp/xdg-test");
        QCOMPARE(SettingsStore::DefaultPath(), QStringLiteral("/tmp/xdg-test/VORP/VORP.conf"));
        QCOMPARE(AutostartEntry::DefaultPath(), QStringLiteral("/tmp/xdg-test/autostart/vorp.desktop"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(SettingsStore::DefaultPath(), QDir::homePath() + QStringLiteral("/.config/VORP/VORP.conf"));
        // A relative base folder is ignored, as the base-directory rules say.
        qputenv("XDG_CONFIG_HOME", "relative/config");
        QCOMPARE(SettingsStore::DefaultPath(), QDir::homePath() + QStringLiteral("/.config/VORP/VORP.conf"));
        QCOMPARE(AutostartEntry::DefaultPath(), QDir::homePath() + QStringLiteral("/.config/autostart/vorp.desktop"));
        qputenv("XDG_CONFIG_HOME", old);
        if (old.isNull())
            qunsetenv("XDG_CONFIG_HOME");
    }

    void damagedFileIsKeptAsideAndDefaultsUsed()
    {
        QDir().mkpath(QFileInfo(path()).absolutePath());
        const QByteArray damaged("[General]\nlrec=00CC00\n\xff\xfe\x00garbage\n[[[\n", 36);
        {
            QFile f(path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(damaged);
        }
        SettingsStore store(path());
        QCOMPARE(store.keptAside(), path() + QStringLiteral(".endommage"));
        QVERIFY(!store.exists(QStringLiteral("lrec")));
        QFile aside(store.keptAside());
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), damaged);
        store.writeString(QStringLiteral("lrec"), QStringLiteral("00FF00"));
        QVERIFY(store.sync());
        QCOMPARE(SettingsStore(path()).readString(QStringLiteral("lrec")), QStringLiteral("00FF00"));
        QFile::remove(store.keptAside());
    }

    void namesCompareWithoutCase()
    {
        {
            SettingsStore store(path());
            store.writeString(QStringLiteral("Graphfile"), QStringLiteral("/home/a"));
            QVERIFY(store.exists(QStringLiteral("graphfile")));
            QCOMPARE(store.readString(QStringLiteral("GRAPHFILE")), QStringLiteral("/home/a"));
            store.writeString(QStringLiteral("graphFILE"), QStringLiteral("/home/b"));
            QVERIFY(store.sync());
        }
        SettingsStore reopened(path());
        QCOMPARE(reopened.readString(QStringLiteral("GraphFile")), QStringLiteral("/home/b"));
        // One value, one spelling in the file.
        QCOMPARE(ReadAll(path()).toLower().count("graphfile"), 1);
        reopened.remove(QStringLiteral("GRAPHfile"));
        QVERIFY(!reopened.exists(QStringLiteral("Graphfile")));
    }

    void keyWrittenByHandIsFoundWhateverItsCase()
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("VORP")));
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[General]\nGradu2=9\nType%20Moyenne=2\n");
        f.close();
        SettingsStore store(path());
        QCOMPARE(store.readInt(QStringLiteral("gradu2")), 9);
        QCOMPARE(store.readInt(QStringLiteral("Type moyenne")), 2);
        store.writeInt(QStringLiteral("GRADU2"), 5);
        QVERIFY(store.sync());
        QCOMPARE(ReadAll(path()).toLower().count("gradu2"), 1);
        QCOMPARE(SettingsStore(path()).readInt(QStringLiteral("Gradu2")), 5);
    }

    void displayNamesRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("eth0");
        QTest::newRow("spaces") << QStringLiteral("Realtek PCIe GbE Family Controller");
        QTest::newRow("quote and equals") << QStringLiteral("a \"quoted\" = name");
        QTest::newRow("INI comment and section marks") << QStringLiteral("; #x [General]");
        QTest::newRow("percent and slash") << QStringLiteral("100%/2F");
        QTest::newRow("backslash") << QStringLiteral("a\\b");
        QTest::newRow("leading and trailing blanks") << QStringLiteral("  lo  ");
        QTest::newRow("accents") << QStringLiteral("Carte réseau Ünïcode");
        QTest::newRow("at sign first") << QStringLiteral("@Variant(x)");
        QTest::newRow("empty") << QString();
    }

    void displayNamesRoundTrip()
    {
        QFETCH(QString, name);
        {
            SettingsStore store(path());
            store.writeBool(name, true);
            store.writeBool(name + QLatin1Char('1'), false);
            store.writeBool(name + QLatin1Char('2'), true);
            QVERIFY(store.sync());
        }
        SettingsStore store(path());
        QCOMPARE(store.readBool(name), true);
        QCOMPARE(store.readBool(name + QLatin1Char('1')), false);
        QCOMPARE(store.readBool(name + QLatin1Char('2')), true);
        QVERIFY(!store.exists(name + QLatin1Char('3')));
    }

    void escapedNamesDoNotCollide()
    {
        const QStringList names{QStringLiteral("a/b"),
                                QStringLiteral("a%2Fb"),
                                QStringLiteral("a%2fb"),
                                QStringLiteral("a\\b"),
                                QStringLiteral("ab"),
                                QStringLiteral("%"),
                                QString()};
        {
            SettingsStore store(path());
            for (int i = 0; i < names.size(); ++i)
                store.writeInt(names[i], i);
            QVERIFY(store.sync());
        }
        SettingsStore store(path());
        // "a%2Fb" and "a%2fb" differ only in case, so they are one value: the later write.
        const QList<int> expected{0, 2, 2, 3, 4, 5, 6};
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(store.readInt(names[i]), expected[i]);
    }

    void typedValues()
    {
        SettingsStore store(path());
        store.writeInt(QStringLiteral("seven"), 7);
        store.writeInt(QStringLiteral("negative"), -5);
        store.writeInt(QStringLiteral("max"), INT32_MAX);
        store.writeBool(QStringLiteral("off"), false);
        store.writeString(QStringLiteral("text"), QStringLiteral("abc, def"));
        store.writeString(QStringLiteral("big"), QStringLiteral("2147483648"));
        QVERIFY(store.sync());

        SettingsStore reopened(path());
        QCOMPARE(reopened.readBool(QStringLiteral("seven")), true); // any non-zero integer is true
        QCOMPARE(reopened.readInt(QStringLiteral("negative")), -5);
        QCOMPARE(reopened.readInt(QStringLiteral("max")), INT32_MAX);
        QCOMPARE(reopened.readInt(QStringLiteral("off")), 0);
        QCOMPARE(reopened.readString(QStringLiteral("text")), QStringLiteral("abc, def"));
        QCOMPARE(reopened.readInt(QStringLiteral("text")), std::nullopt);
        QCOMPARE(reopened.readBool(QStringLiteral("text")), std::nullopt);
        QCOMPARE(reopened.readInt(QStringLiteral("big")), std::nullopt); // beyond 32 bits
        QCOMPARE(reopened.readInt(QStringLiteral("missing")), std::nullopt);
        QCOMPARE(ReadAll(path()).contains("off=0"), true);
    }

    void guardedReads_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");

        const QPair<QString, QString> lrec{QStringLiteral("lrec"), QStringLiteral("00CC00")};
        QTest::newRow("group present: stored value") << Stored{lrec, {QStringLiteral("Gradu2"), QStringLiteral("9")}}
                                                     << QStringLiteral("Gradu2") << QStringLiteral("9");
        QTest::newRow("guard missing: default") << Stored{{QStringLiteral("Gradu2"), QStringLiteral("9")}}
                                                << QStringLiteral("Gradu2") << QStringLiteral("4");
        QTest::newRow("wrong type: default") << Stored{lrec, {QStringLiteral("Gradu2"), QStringLiteral("abc")}}
                                             << QStringLiteral("Gradu2") << QStringLiteral("4");
        QTest::newRow("missing in its group: default")
            << Stored{lrec} << QStringLiteral("tracegraph") << QStringLiteral("1");
        QTest::newRow("out of range: default") << Stored{lrec,
                                                         {QStringLiteral("Transp"), QStringLiteral("1")},
                                                         {QStringLiteral("TranspVal"), QStringLiteral("300")}}
                                               << QStringLiteral("TranspVal") << QStringLiteral("255");
        QTest::newRow("level without Transp: default")
            << Stored{lrec, {QStringLiteral("TranspVal"), QStringLiteral("40")}} << QStringLiteral("TranspVal")
            << QStringLiteral("255");
        QTest::newRow("level with Transp") << Stored{lrec,
                                                     {QStringLiteral("Transp"), QStringLiteral("0")},
                                                     {QStringLiteral("TranspVal"), QStringLiteral("40")}}
                                           << QStringLiteral("TranspVal") << QStringLiteral("40");
        QTest::newRow("boolean from any non-zero") << Stored{lrec, {QStringLiteral("aot"), QStringLiteral("-3")}}
                                                   << QStringLiteral("aot") << QStringLiteral("1");
        QTest::newRow("colour without lrec: default") << Stored{{QStringLiteral("lenv"), QStringLiteral("123456")}}
                                                      << QStringLiteral("lenv") << QStringLiteral("FF0000");
        QTest::newRow("Legende group needs Graphfile")
            << Stored{{QStringLiteral("Legende"), QStringLiteral("1")}, {QStringLiteral("Tous"), QStringLiteral("1")}}
            << QStringLiteral("Tous") << QStringLiteral("0");
        QTest::newRow("Legende group with Graphfile") << Stored{{QStringLiteral("Graphfile"), QString()},
                                                                {QStringLiteral("Legende"), QStringLiteral("0")},
                                                                {QStringLiteral("Tous"), QStringLiteral("1")}}
                                                      << QStringLiteral("Tous") << QStringLiteral("1");
        QTest::newRow("no scale item selected") << Stored{lrec} << QStringLiteral("Echelle2") << QStringLiteral("-1");
    }

    void guardedReads()
    {
        QFETCH(Stored, stored);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        SettingsStore store(path());
        for (const auto& [key, value] : stored)
            store.writeString(key, value);
        const SettingSpec* spec = FindSetting(name);
        QVERIFY(spec);
        const SettingValue value = ReadSetting(store, *spec);
        QString text;
        if (const bool* b = std::get_if<bool>(&value))
            text = *b ? QStringLiteral("1") : QStringLiteral("0");
        else if (const int32_t* i = std::get_if<int32_t>(&value))
            text = QString::number(*i);
        else
            text = std::get<QString>(value);
        QCOMPARE(text, expected);
    }

    void tableFollowsTheWriteOrder()
    {
        QStringList names;
        for (const SettingSpec& spec : SettingsTable())
            names.append(QString::fromLatin1(spec.name));
        QCOMPARE(names.first(), QStringLiteral("Graphfile"));
        QCOMPARE(names.indexOf(QStringLiteral("Transp")) + 1, names.indexOf(QStringLiteral("TranspVal")));
        QCOMPARE(names.mid(names.indexOf(QStringLiteral("lrec")), 5),
                 (QStringList{QStringLiteral("lrec"), QStringLiteral("lenv"), QStringLiteral("lrep"),
                              QStringLiteral("lenp"), QStringLiteral("lint")}));
        QCOMPARE(names.last(), QStringLiteral("Type moyenne"));
        QCOMPARE(names.size(), 30);
    }

    void syncReportsAFileThatCannotBeWritten()
    {
        // The settings folder's place is taken by a plain file.
        QFile blocker(m_dir.filePath(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SettingsStore store(m_dir.filePath(QStringLiteral("blocked/VORP.conf")));
        store.writeInt(QStringLiteral("x"), 1);
        QVERIFY(!store.sync());
    }

    void syncReportsAFullDisk()
    {
        {
            SettingsStore store(path());
            store.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
            QVERIFY(store.sync());
        }
        const QByteArray before = ReadAll(path());
        SettingsStore store(path());
        store.writeString(QStringLiteral("long"), QString(4096, QLatin1Char('x')));
        {
            FileSizeLimit limit(1024);
            QVERIFY(!store.sync());
        }
        // What was stored before is still there.
        QCOMPARE(ReadAll(path()), before);
        QCOMPARE(SettingsStore(path()).readString(QStringLiteral("lrec")), QStringLiteral("00CC00"));
        // The change is kept and goes out at the next sync that can write.
        QVERIFY(store.sync());
        SettingsStore reopened(path());
        QCOMPARE(reopened.readString(QStringLiteral("long"))->size(), 4096);
        QCOMPARE(reopened.readString(QStringLiteral("lrec")), QStringLiteral("00CC00"));
    }

    void twoStoresOnOneFileKeepEachOthersValues()
    {
        SettingsStore meter(path());
        SettingsStore configuration(path());
        meter.writeInt(QStringLiteral("width"), 500);
        QVERIFY(meter.sync());
        configuration.writeInt(QStringLiteral("Gradu2"), 7);
        configuration.remove(QStringLiteral("nothing"));
        QVERIFY(configuration.sync());
        QCOMPARE(configuration.readInt(QStringLiteral("width")), 500);
        SettingsStore reopened(path());
        QCOMPARE(reopened.readInt(QStringLiteral("width")), 500);
        QCOMPARE(reopened.readInt(QStringLiteral("Gradu2")), 7);
    }

    void autostartEntry()
    {
        AutostartEntry entry(m_dir.filePath(QStringLiteral("autostart/vorp.desktop")));
        QVERIFY(!entry.exists());
        QVERIFY(entry.enable(QStringLiteral("/opt/vorp/bin/vorp")));
        QVERIFY(entry.exists());
        const QByteArray text = ReadAll(entry.path());
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nType=Application\n"));
        QVERIFY(text.contains("\nExec=/opt/vorp/bin/vorp\n"));
        QVERIFY(text.contains("\nX-GNOME-Autostart-Delay=5\n") && text.contains("\nX-KDE-autostart-after=panel\n"));
        QVERIFY(entry.enabled());
        QVERIFY(entry.disable());
        QVERIFY(!entry.exists());
        QVERIFY(entry.disable()); // nothing to remove is not a failure
    }

    void autostartTurnedOffByTheDesktop_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("Hidden=true") << QByteArray("Hidden=true") << false;
        QTest::newRow("GNOME switch off") << QByteArray("X-GNOME-Autostart-enabled=false") << false;
        QTest::newRow("Hidden=false") << QByteArray("Hidden=false") << true;
        QTest::newRow("in another group") << QByteArray("[Desktop Action x]\nHidden=true") << true;
    }
    void autostartTurnedOffByTheDesktop()
    {
        AutostartEntry entry(m_dir.filePath(QStringLiteral("autostart/vorp.desktop")));
        QVERIFY(entry.enable(QStringLiteral("/usr/bin/vorp")));
        QFETCH(QByteArray, line);
        QFETCH(bool, enabled);
        // The desktop's own settings rewrite the file with its switch in it.
        QByteArray text = ReadAll(entry.path()).replace("X-GNOME-Autostart-enabled=true\n", "");
        QFile f(entry.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text + line + '\n');
        f.close();
        QVERIFY(entry.exists());
        QCOMPARE(entry.enabled(), enabled);
        QVERIFY(entry.disable());
    }

    void autostartExecValue_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain path") << QStringLiteral("/usr/bin/vorp") << QStringLiteral("/usr/bin/vorp");
        QTest::newRow("space is quoted") << QStringLiteral("/home/a b/vorp") << QStringLiteral("\"/home/a b/vorp\"");
        QTest::newRow("percent doubled") << QStringLiteral("/opt/100%/vorp") << QStringLiteral("/opt/100%%/vorp");
        // Quoted, '$' and '"' take a backslash, and each backslash is then written as two.
        QTest::newRow("dollar and quote") << QStringLiteral("/x/$a\"b") << QStringLiteral("\"/x/\\\\$a\\\\\"b\"");
    }

    void autostartExecValue()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QCOMPARE(DesktopExecValue(path), exec);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
