// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/Autostart.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QRect>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SettingsStore::FileState)

namespace
{
using Stored = QList<QPair<QString, QString>>;

// What stands at a path, without following a link.
struct Entry
{
    mode_t mode = 0;
    ino_t inode = 0;
    off_t size = 0;
    bool operator==(const Entry&) const = default;
};

Entry EntryAt(const QString& path)
{
    struct stat st
    {
    };
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_mode, st.st_ino, st.st_size};
}

void Write(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(text), text.size());
}

// A settings file of exactly size bytes whose only value is lrec, padded with a comment.
QByteArray PaddedSettings(qsizetype size)
{
    QByteArray text("[General]\nlrec=00CC00\n;");
    text += QByteArray(size - text.size() - 1, 'x') + '\n';
    return text;
}

class Environment final
{
public:
    Environment(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~Environment()
    {
        if (m_old.isNull())
            qunsetenv(m_name);
        else
            qputenv(m_name, m_old);
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
};
} // namespace

class TestSettingsStore final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("VORP/VORP.conf")); }
    QString folder() const { return m_dir.filePath(QStringLiteral("VORP")); }

private slots:
    void init()
    {
        const QFileInfo at(path());
        if (at.isDir() && !at.isSymLink())
            QDir(path()).removeRecursively();
        else
            QFile::remove(path());
    }

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

    // Files written by QSettings, as older versions wrote them, read the same through the store, and the
    // store's files read the same through QSettings.
    void sameFileAsQSettings_data()
    {
        QTest::addColumn<QString>("name"); // a name that is its own key: folded, without '%' or '/'
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<QVariant>("readAs"); // invalid: not a string

        const auto same = [](const char* tag, const QString& name, const QString& value) {
            QTest::newRow(tag) << name << QVariant(value) << QVariant(value);
        };
        const QString x = QStringLiteral("x");
        same("plain", QStringLiteral("lrec"), QStringLiteral("00CC00"));
        same("path with blanks", QStringLiteral("graphfile"), QStringLiteral("/home/a b/Mes images"));
        same("leading and trailing blanks", x, QStringLiteral("  lo\t "));
        same("comma, semicolon and equals", x, QStringLiteral("a, b; c = d"));
        same("quotes and backslashes", x, QStringLiteral("\"C:\\temp\\\" \\\\"));
        same("control characters before hexadecimal digits", x,
             QString(QChar(1)) + QStringLiteral("a\t\n\r") + QChar(0) + QStringLiteral("7b") + QChar(0x1f) +
                 QChar(0x7f));
        same("accents and a character beyond 16 bits", x, QStringLiteral("Carte réseau Ünïcode \U0001F600"));
        same("at sign first", x, QStringLiteral("@Rect(1 2 3 4)"));
        same("two at signs first", x, QStringLiteral("@@x"));
        same("empty", x, QString());
        same("key with blanks and accents", QStringLiteral("type moyenne réseau ✓"), QStringLiteral("2"));
        QTest::newRow("number") << x << QVariant(9) << QVariant(QStringLiteral("9"));
        QTest::newRow("list") << x << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")}) << QVariant();
        QTest::newRow("rectangle") << x << QVariant(QRect(1, 2, 3, 4)) << QVariant();
        QTest::newRow("byte array") << x << QVariant(QByteArray("ab")) << QVariant();
        QTest::newRow("no value") << x << QVariant() << QVariant();
    }

    void sameFileAsQSettings()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, written);
        QFETCH(QVariant, readAs);
        // QSettings keeps what it read of a file by its name: each row has files of its own.
        const QString row = QString::number(qHash(QString::fromUtf8(QTest::currentDataTag())));
        const QString byQt = m_dir.filePath(QStringLiteral("qt-%1.conf").arg(row));
        {
            QSettings qt(byQt, QSettings::IniFormat);
            qt.setValue(name, written);
            qt.sync();
            QCOMPARE(qt.status(), QSettings::NoError);
        }
        const SettingsStore store(byQt, SettingsStore::Access::ReadOnly);
        QCOMPARE(store.fileState(), SettingsStore::FileState::Read);
        QVERIFY(store.exists(name));
        const std::optional<QString> expected =
            readAs.isValid() ? std::optional<QString>(readAs.toString()) : std::nullopt;
        QCOMPARE(store.readString(name), expected);

        if (written.typeId() != QMetaType::QString)
            return;
        const QString byStore = m_dir.filePath(QStringLiteral("store-%1.conf").arg(row));
        {
            SettingsStore writer(byStore);
            writer.writeString(name, written.toString());
            QVERIFY(writer.sync());
        }
        const QSettings qt(byStore, QSettings::IniFormat);
        QCOMPARE(qt.status(), QSettings::NoError);
        QCOMPARE(qt.allKeys(), QStringList{name});
        QCOMPARE(qt.value(name), written);
    }

    // A sync rewrites the lines of the values it changes, and keeps every other byte: comments, other
    // sections, blank lines, the file's line breaks.
    void syncKeepsTheRestOfTheFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("comments, other section, CR LF")
            << QByteArray("\xef\xbb\xbf; réglages\r\n[General]\r\nlrec=00CC00\r\n"
                          "Gradu2=9 ; à la main\r\nold=1\r\n\r\n[Plans]\r\n"
                          "eth0\\quota=50\r\n")
            << QByteArray("\xef\xbb\xbf; réglages\r\n[General]\r\nlrec=FF0000\r\n"
                          "gradu2=4\r\nnew=1\r\n\r\n[Plans]\r\n"
                          "eth0\\quota=50\r\n");
        QTest::newRow("no [General] part")
            << QByteArray("[Plans]\neth0=1\n")
            << QByteArray("[General]\nlrec=FF0000\ngradu2=4\nnew=1\n\n[Plans]\neth0=1\n");
        QTest::newRow("last line without a break")
            << QByteArray("[General]\nkeep=1") << QByteArray("[General]\nkeep=1\nlrec=FF0000\ngradu2=4\nnew=1\n");
        QTest::newRow("value written twice: the last one is read")
            << QByteArray("[General]\nlrec=1\nkeep=1\nlrec=2\n")
            << QByteArray("[General]\nkeep=1\nlrec=FF0000\ngradu2=4\nnew=1\n");
        QTest::newRow("no file") << QByteArray() << QByteArray("[General]\nlrec=FF0000\ngradu2=4\nnew=1\n");
    }

    void syncKeepsTheRestOfTheFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QDir().mkpath(folder());
        if (!before.isEmpty())
            Write(path(), before);
        SettingsStore store(path());
        store.writeString(QStringLiteral("lrec"), QStringLiteral("FF0000"));
        store.writeInt(QStringLiteral("Gradu2"), 4);
        store.remove(QStringLiteral("old"));
        store.writeBool(QStringLiteral("new"), true);
        QVERIFY(store.sync());
        QCOMPARE(ReadAll(path()), after);
    }

    // The file is read in place: only a regular file (a link to one is followed), and only up to a size no
    // settings file reaches. What cannot be read reads as the defaults, is said, and is never replaced.
    void fileThatCannotBeRead_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<SettingsStore::FileState>("state");
        QTest::addColumn<QString>("problem");
        using S = SettingsStore::FileState;
        QTest::newRow("regular file at the size limit") << QStringLiteral("limit") << S::Read << QString();
        QTest::newRow("missing") << QStringLiteral("missing") << S::Missing << QString();
        QTest::newRow("symbolic link to a sound file (a dotfile manager's)")
            << QStringLiteral("link") << S::Read << QString();
        QTest::newRow("folder") << QStringLiteral("folder") << S::Unreadable << QStringLiteral("c'est un dossier");
        QTest::newRow("FIFO") << QStringLiteral("fifo") << S::Unreadable
                              << QStringLiteral("ce n'est pas un fichier ordinaire");
        QTest::newRow("one byte above the size limit") << QStringLiteral("large") << S::Unreadable
                                                       << QStringLiteral("trop grand : %1 octets, au plus %2 attendus")
                                                              .arg(SettingsStore::kSizeLimit + 1)
                                                              .arg(SettingsStore::kSizeLimit);
        QTest::newRow("in a folder that is a file")
            << QStringLiteral("notdir") << S::Unreadable << qt_error_string(ENOTDIR);
    }

    void fileThatCannotBeRead()
    {
        QFETCH(QString, what);
        QFETCH(SettingsStore::FileState, state);
        QFETCH(QString, problem);
        QDir().mkpath(folder());
        const QString sound = m_dir.filePath(QStringLiteral("sound.conf"));
        Write(sound, "[General]\nlrec=00CC00\n");
        QString at = path();
        if (what == QLatin1String("limit"))
            Write(at, PaddedSettings(SettingsStore::kSizeLimit));
        else if (what == QLatin1String("large"))
            Write(at, PaddedSettings(SettingsStore::kSizeLimit + 1));
        else if (what == QLatin1String("link"))
            QVERIFY(QFile::link(sound, at));
        else if (what == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(at));
        else if (what == QLatin1String("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(at).constData(), 0600), 0);
        else if (what == QLatin1String("notdir"))
            at = sound + QStringLiteral("/VORP.conf");
        const Entry before = EntryAt(at);

        for (const auto access : {SettingsStore::Access::ReadOnly, SettingsStore::Access::ReadWrite})
        {
            SettingsStore store(at, access);
            QCOMPARE(store.fileState(), state);
            QCOMPARE(store.problem(), problem);
            QCOMPARE(store.readString(QStringLiteral("lrec")), state == SettingsStore::FileState::Read
                                                                   ? std::optional<QString>(QStringLiteral("00CC00"))
                                                                   : std::nullopt);
            if (access == SettingsStore::Access::ReadOnly)
                continue;
            store.writeString(QStringLiteral("lrec"), QStringLiteral("FF0000"));
            QCOMPARE(store.sync(), state != SettingsStore::FileState::Unreadable);
            if (state == SettingsStore::FileState::Unreadable)
                QCOMPARE(EntryAt(at), before); // the link, the folder... stand as they were
            else
                QCOMPARE(SettingsStore(at).readString(QStringLiteral("lrec")), QStringLiteral("FF0000"));
        }
        // A link stays a link, and what it leads to takes the change.
        if (what == QLatin1String("link"))
        {
            QVERIFY(QFileInfo(at).isSymLink());
            QCOMPARE(SettingsStore(sound).readString(QStringLiteral("lrec")), QStringLiteral("FF0000"));
        }
        // No work file is left behind.
        QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 what == QLatin1String("notdir") ? QStringList() : QStringList{QStringLiteral("VORP.conf")});
    }

    // A file the store could not read again is never written.
    void syncNeverWritesAFileAboveTheSizeLimit()
    {
        QDir().mkpath(folder());
        const QByteArray full = PaddedSettings(SettingsStore::kSizeLimit - 4);
        Write(path(), full);
        SettingsStore store(path());
        store.writeInt(QStringLiteral("x"), 1); // "x=1\n": exactly the limit
        QVERIFY(store.sync());
        store.writeInt(QStringLiteral("y"), 1);
        QVERIFY(!store.sync());
        QCOMPARE(ReadAll(path()).size(), SettingsStore::kSizeLimit);
        QCOMPARE(SettingsStore(path()).readInt(QStringLiteral("x")), 1);
    }

    // Neither store needs the temporary folder.
    void noTemporaryFolderNeeded()
    {
        const Environment tmp("TMPDIR", m_dir.filePath(QStringLiteral("missing")).toUtf8());
        {
            SettingsStore store(path());
            store.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
            QVERIFY(store.sync());
            store.writeInt(QStringLiteral("Gradu2"), 7);
            QVERIFY(store.sync());
        }
        const SettingsStore reader(path(), SettingsStore::Access::ReadOnly);
        QCOMPARE(reader.fileState(), SettingsStore::FileState::Read);
        QCOMPARE(reader.readString(QStringLiteral("lrec")), QStringLiteral("00CC00"));
        QCOMPARE(reader.readInt(QStringLiteral("gradu2")), 7);
    }

    // The work file of a process killed during a sync is removed by the next store opened on the file once
    // that process is gone; a live process's work file is left alone.
    void workFilesOfDeadProcessesAreSwept()
    {
        QDir().mkpath(folder());
        const pid_t dead = fork();
        if (dead == 0)
            _exit(0);
        QVERIFY(dead > 0);
        QCOMPARE(waitpid(dead, nullptr, 0), dead);
        const QString ofDead = folder() + QStringLiteral("/.VORP.conf.%1-0.tmp").arg(dead);
        const QString ofLive = folder() + QStringLiteral("/.VORP.conf.1-0.tmp"); // process 1 runs as long as the system
        const QString notOurs = folder() + QStringLiteral("/.other.conf.%1-0.tmp").arg(dead);
        for (const QString& file : {ofDead, ofLive, notOurs})
            Write(file, "[General]\nlrec=00");

        // Only a store that writes sweeps.
        const SettingsStore reader(path(), SettingsStore::Access::ReadOnly);
        QVERIFY(QFileInfo::exists(ofDead));

        SettingsStore store(path());
        QVERIFY(!QFileInfo::exists(ofDead));
        QVERIFY(QFileInfo::exists(ofLive));
        QVERIFY(QFileInfo::exists(notOurs));
        store.writeInt(QStringLiteral("x"), 1);
        QVERIFY(store.sync());
        QFile::remove(ofLive);
        QFile::remove(notOurs);
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
