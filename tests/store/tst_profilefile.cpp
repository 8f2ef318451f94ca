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
