// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

mode_t ModeAt(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}
} // namespace

class TestProfileFile final : public QObject
{
    Q_OBJECT

private slots:
    void namesCompareWithoutCase()
    {
        auto file = ProfileFile::parse("[VORP DB]\r\nIfName=eth0\r\n");
        QCOMPARE(file.value(QStringLiteral("vorp db"), QStringLiteral("ifname")), QStringLiteral("eth0"));
        QVERIFY(file.hasKey(QStringLiteral("VORP DB"), QStringLiteral("IFNAME")));
        QVERIFY(!file.hasKey(QStringLiteral("data"), QStringLiteral("ifname")));
    }

    void writesKeepPlacesAndAppend()
    {
        auto file = ProfileFile::parse("[a]\r\nx=1\r\ny=2\r\n\r\n[b]\r\nz=3\r\n");
        file.setValue(QStringLiteral("A"), QStringLiteral("X"), QStringLiteral("10"));
        file.setValue(QStringLiteral("a"), QStringLiteral("w"), QStringLiteral("4"));
        file.setValue(QStringLiteral("c"), QStringLiteral("k"), QStringLiteral("5"));
        QCOMPARE(file.toText(), QByteArray("[a]\r\nx=10\r\ny=2\r\nw=4\r\n[b]\r\nz=3\r\n[c]\r\nk=5\r\n"));
    }

    void toleratesDamage()
    {
        // LF-only lines, junk without "=", keys before any section, a header without "]".
        auto file = ProfileFile::parse("junk=1\n[data]\nnoequals\n38153D=5\n=7\n[broken\nk=v");
        QCOMPARE(file.entries(QStringLiteral("data")).size(), size_t(1));
        QCOMPARE(file.value(QStringLiteral("broken"), QStringLiteral("k")), QStringLiteral("v"));
        QVERIFY(file.entries(QStringLiteral("missing")).empty());
    }

    void writtenTextParsesBackTheSame()
    {
        // A key starting with a non-ASCII blank must not come back as a section header.
        // Nor one starting with a byte order mark, which a plain UTF-8 conversion would drop.
        const auto file = ProfileFile::parse("[a]\r\n\xC2\xA0[x=1\r\n k = v \r\n\xEF\xBB\xBF[y=2\r\n");
        const auto again = ProfileFile::parse(file.toText());
        QCOMPARE(again.sections().size(), size_t(1));
        QCOMPARE(again.entries(QStringLiteral("a")).size(), size_t(3));
        QCOMPARE(again.value(QStringLiteral("a"), QStringLiteral("k")), QStringLiteral("v"));
    }

    void foreignLineEndsAndByteOrderMark_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("CR only") << QByteArray("[VORP DB]\rifname=eth0\r[data]\r38153D=5\r38153U=6\r");
        QTest::newRow("LF only") << QByteArray("[VORP DB]\nifname=eth0\n[data]\n38153D=5\n38153U=6\n");
        QTest::newRow("byte order mark") << QByteArray(
            "\xEF\xBB\xBF[VORP DB]\r\nifname=eth0\r\n[data]\r\n38153D=5\r\n38153U=6\r\n");
    }
    void foreignLineEndsAndByteOrderMark()
    {
        // The recorder rewrites such a file: its header and totals must survive.
        QFETCH(QByteArray, text);
        auto file = ProfileFile::parse(text);
        file.setValue(QStringLiteral("data"), QStringLiteral("38153D"), QStringLiteral("7"));
        QCOMPARE(file.toText(), QByteArray("[VORP DB]\r\nifname=eth0\r\n[data]\r\n38153D=7\r\n38153U=6\r\n"));
    }

    // Keys compare as QString::compare without case compares them, in a small section searched key by key
    // and in a large one (years of day totals) searched through a table alike.
    void keysCompareWithoutCaseInAnySection_data()
    {
        QTest::addColumn<int>("fillers");      // keys before the row's own
        QTest::addColumn<QStringList>("keys"); // in file order, each valued with its place in this list
        QTest::addColumn<QString>("lookup");
        QTest::addColumn<QString>("found"); // the value found; empty for none
        for (const int fillers : {0, 200})
        {
            const char* section = fillers == 0 ? "small section" : "large section";
            QTest::addRow("%s: a day key of the other case", section)
                << fillers << QStringList{QStringLiteral("38153D")} << QStringLiteral("38153d") << QStringLiteral("0");
            QTest::addRow("%s: of two spellings, the first", section)
                << fillers << QStringList{QStringLiteral("Key"), QStringLiteral("KEY")} << QStringLiteral("kEy")
                << QStringLiteral("0");
            QTest::addRow("%s: the Kelvin sign is a k", section)
                << fillers << QStringList{QStringLiteral("\u212Aey")} << QStringLiteral("KEY") << QStringLiteral("0");
            QTest::addRow("%s: the long s is an s", section)
                << fillers << QStringList{QStringLiteral("\u017Fum")} << QStringLiteral("SUM") << QStringLiteral("0");
            QTest::addRow("%s: accented capitals", section) << fillers << QStringList{QStringLiteral("\u00C9T\u00C9")}
                                                            << QStringLiteral("\u00E9t\u00E9") << QStringLiteral("0");
            QTest::addRow("%s: final sigma", section)
                << fillers << QStringList{QStringLiteral("\u03A3")} << QStringLiteral("\u03C2") << QStringLiteral("0");
            QTest::addRow("%s: another day is another key", section)
                << fillers << QStringList{QStringLiteral("38153D")} << QStringLiteral("38152D") << QString();
            QTest::addRow("%s: a longer key is another key", section)
                << fillers << QStringList{QStringLiteral("38153D")} << QStringLiteral("38153DD") << QString();
        }
    }
    void keysCompareWithoutCaseInAnySection()
    {
        QFETCH(int, fillers);
        QFETCH(QStringList, keys);
        QFETCH(QString, lookup);
        QFETCH(QString, found);
        QByteArray text = "[VORP DB]\r\nifname=eth0\r\n[data]\r\n";
        for (int i = 0; i < fillers; ++i)
            text += QByteArray::number(40000 + i) + "D=1\r\n";
        for (qsizetype i = 0; i < keys.size(); ++i)
            text += keys[i].toUtf8() + '=' + QByteArray::number(i) + "\r\n";
        ProfileFile file = ProfileFile::parse(text);
        const QString data = QStringLiteral("DATA");
        QCOMPARE(file.value(data, lookup).value_or(QString()), found);

        // A key found changes where it stands; another goes at the end, and is found from then on.
        const size_t before = file.entries(data).size();
        file.setValue(data, lookup, QStringLiteral("new"));
        const auto& entries = file.entries(data);
        if (found.isEmpty())
        {
            QCOMPARE(entries.size(), before + 1);
            QCOMPARE(entries.back().key, lookup);
        }
        else
        {
            QCOMPARE(entries.size(), before);
            QCOMPARE(entries[static_cast<size_t>(fillers + found.toInt())].value, QStringLiteral("new"));
        }
        QCOMPARE(file.value(data, lookup), QStringLiteral("new"));
        QCOMPARE(ProfileFile::parse(file.toText()).value(data, lookup), QStringLiteral("new"));
    }

    // Entries read in place are those parse() gives: of the first section of the name, trimmed, decoded.
    void rawEntriesAsParsed_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("entries"); // key=value
        QTest::newRow("two sections of the name, another case")
            << QByteArray("k=0\r\n[Data]\r\n 38153D = 5 \r\nnoequals\r\n[x]\r\n1=2\r\n[data]\r\n38154D=6\r\n")
            << QStringList{QStringLiteral("38153D=5")};
        QTest::newRow("byte order marks, lone CR and LF")
            << QByteArray("\xEF\xBB\xBF[data]\r38153D=5\n\xEF\xBB\xBF"
                          "38153U=\xC3\xA9\r\n=7\r\n")
            << QStringList{QStringLiteral("38153D=5"), QStringLiteral("\uFEFF38153U=\u00E9")};
        QTest::newRow("no such section") << QByteArray("[VORP DB]\r\nifname=eth0\r\n") << QStringList();
    }
    void rawEntriesAsParsed()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, entries);
        const QString data = QStringLiteral("data");
        const ProfileFile file = ProfileFile::parse(text);
        QStringList parsed;
        for (const ProfileFile::Entry& e : file.entries(data))
            parsed << e.key + QLatin1Char('=') + e.value;
        QStringList raw;
        for (const ProfileFile::RawEntry& e : ProfileFile::rawEntries(text, data))
            raw << e.keyText() + QLatin1Char('=') + e.valueText();
        QCOMPARE(parsed, entries);
        QCOMPARE(raw, entries);
    }

    void savesAtomicallyAndLoads()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nic.inf"));
        QVERIFY(ProfileFile::load(path).has_value()); // a missing file reads as empty
        ProfileFile file;
        file.setValue(QStringLiteral("data"), QStringLiteral("1D"), QStringLiteral("2"));
        QVERIFY(file.save(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[data]\r\n1D=2\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary left behind
        QVERIFY(!ProfileFile(file).save(dir.filePath(QStringLiteral("missing/nic.inf"))));
    }

    void atomicWriteReplacesWhatStandsThere_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("a link to a file outside: the file stays as it was") << "link";
        QTest::newRow("a dangling link: nothing is made where it points") << "dangling";
        QTest::newRow("a FIFO: nothing waits for a reader") << "fifo";
        QTest::newRow("a private file stays private") << "private";
    }
    void atomicWriteReplacesWhatStandsThere()
    {
        QFETCH(QString, what);
        QTemporaryDir base;
        QVERIFY(QDir().mkdir(base.filePath(QStringLiteral("store"))));
        const QString path = base.filePath(QStringLiteral("store/nic.inf"));
        const QString outside = base.filePath(QStringLiteral("outside"));
        const QByteArray native = QFile::encodeName(path);
        if (what == QStringLiteral("link") || what == QStringLiteral("dangling"))
        {
            if (what == QStringLiteral("link"))
            {
                QFile f(outside);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("outside");
            }
            QVERIFY(::symlink(QFile::encodeName(outside).constData(), native.constData()) == 0);
            QVERIFY(!ProfileFile::load(path).has_value()); // never read through it either
        }
        else if (what == QStringLiteral("fifo"))
            QVERIFY(::mkfifo(native.constData(), 0644) == 0);
        else
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(::fchmod(f.handle(), 0600) == 0);
        }
        QVERIFY(WriteFileAtomically(path, "[data]\r\n1D=2\r\n"));
        QCOMPARE(ReadAll(path), QByteArray("[data]\r\n1D=2\r\n"));
        QVERIFY(S_ISREG(ModeAt(path)));
        if (what == QStringLiteral("private"))
            QCOMPARE(ModeAt(path) & 0777, mode_t(0600));
        QCOMPARE(ReadAll(outside), QByteArray(what == QStringLiteral("link") ? "outside" : "<missing>"));
        QCOMPARE(QDir(base.filePath(QStringLiteral("store")))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("nic.inf")});
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
