// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/HistoryLoader.h"
#include "store/StoreFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace graph;

// Day files damaged by crashes, full disks, editors and stray writes: the graph keeps every good
// line and skips the rest.
namespace
{
// 15 June 2004 is day 38153; every load looks back from 18:00 that day, 300 s per column, so a
// sample at hh:00 lands in column (18 − hh) × 12.
const QDate kSelected(2004, 6, 15);
constexpr int kSelectedDay = 38153;

const QByteArray kAt12 = "12:00:00100U7\r\n";   // column 72
const QByteArray kAt13 = "13:00:002000U30\r\n"; // column 60
const QByteArray kAt14 = "14:00:00345U67\r\n";  // column 48

QString DayPath(const QString& dir, int day)
{
    return dir + QLatin1Char('/') + QString::number(day) + QStringLiteral(".mdf");
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool WriteDay(const QString& dir, const QByteArray& bytes)
{
    return WriteFile(DayPath(dir, kSelectedDay), bytes);
}

// Puts at path what kind names: a link to target, a folder, a FIFO, or bytes in a regular file that is
// then stretched (sparse, zeros) to one byte over the limit ("over"), to the limit ("limit") or not at all.
bool MakeStoreFile(const QString& kind, const QString& path, const QByteArray& bytes, const QString& target,
                   int64_t limit)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("link"))
        return ::symlink(QFile::encodeName(target).constData(), name.constData()) == 0;
    if (kind == QLatin1String("folder"))
        return ::mkdir(name.constData(), 0700) == 0;
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(name.constData(), 0600) == 0;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    const int64_t size = kind == QLatin1String("over") ? limit + 1 : kind == QLatin1String("limit") ? limit : 0;
    return size == 0 || ::ftruncate(file.handle(), static_cast<off_t>(size)) == 0;
}

LoadRequest Request(const QString& dir)
{
    LoadRequest r;
    r.directory = dir;
    r.date = kSelected;
    r.timeOfDay = QTime(18, 0);
    r.secondsPerColumn = 300;
    r.direction = Direction::LeftToRight;
    r.width = 600;
    return r;
}

// "column:sumIn/sumOut" for every column that holds anything.
QString Columns(const ColumnBuffer& columns)
{
    QStringList parts;
    for (int c = 0; c < kColumnCount; ++c)
    {
        const Column& col = columns[static_cast<size_t>(c)];
        if (col.sumIn != 0 || col.sumOut != 0)
            parts << QStringLiteral("%1:%2/%3")
                         .arg(c)
                         .arg(QString::number(double(col.sumIn), 'f', 0), QString::number(double(col.sumOut), 'f', 0));
    }
    return parts.join(QLatin1Char(' '));
}

struct Loaded
{
    QString columns; // "column:sumIn/sumOut" for every column that holds anything
    int skippedLines = -1;
    int skippedFiles = -1;
};

Loaded Load(const QByteArray& bytes)
{
    QTemporaryDir dir;
    if (!WriteDay(dir.path(), bytes))
        return {};
    HistoryLoader loader;
    const auto result = loader.load(Request(dir.path()));
    if (!result)
        return {};
    return {Columns(loader.columns()), result->skippedLines, result->skippedFiles};
}

QByteArray Garbage(qsizetype size)
{
    // Fixed seed; no CR or LF, so the block is exactly one damaged line once a line end follows it.
    QRandomGenerator random(20040615);
    QByteArray bytes(size, '\0');
    for (char& b : bytes)
    {
        do
            b = static_cast<char>(random.bounded(256));
        while (b == '\r' || b == '\n');
    }
    return bytes;
}
} // namespace

class TestDamagedStore final : public QObject
{
    Q_OBJECT

private slots:
    void damagedDayFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<int>("skippedLines");
        QTest::addColumn<int>("skippedFiles");

        QTest::newRow("empty file") << QByteArray() << QString() << 0 << 1;
        QTest::newRow("torn last line") << kAt12 + kAt13 + "14:00:00345U6"
                                        << "60:2000/30 72:100/7" << 0 << 0;
        QTest::newRow("NUL inside a line, between lines, and a line of NULs")
            << QByteArray("12:00:00\0"
                          "10\0"
                          "0U7\r\n\0\0",
                          19) +
                   kAt13 + QByteArray("\0\0\r\n", 4) + kAt14
            << "48:345/67 60:2000/30 72:100/7" << 1 << 0;
        QTest::newRow("CR without LF") << QByteArray("12:00:00100U7\r13:00:002000U30\r") + kAt14
                                       << "48:345/67 60:2000/30 72:100/7" << 0 << 0;
        QTest::newRow("LF without CR") << QByteArray("12:00:00100U7\n13:00:002000U30\n14:00:00345U6")
                                       << "60:2000/30 72:100/7" << 0 << 0;
        QTest::newRow("a line without end filling the file up to the limit")
            << kAt12 + kAt13 + QByteArray(store::kDayFileLimit - kAt12.size() - kAt13.size(), '7')
            << "60:2000/30 72:100/7" << 0 << 0;
        QTest::newRow("100 KB line between good lines") << kAt12 + "12:30:00" + QByteArray(100 * 1024, '9') + "U1\r\n" +
                                                               QByteArray(100 * 1024, 'x') + "\r\n" + kAt13
                                                        << "60:2000/30 72:100/7" << 2 << 0;
        // 2^63 − 1 is the largest amount; as a float it is 2^63. A sent amount that does not fit counts as 0.
        QTest::newRow("numbers above 2^63 and 2^64")
            << kAt12 + "13:00:009223372036854775808U1\r\n" + "14:00:0018446744073709551617U1\r\n" +
                   "15:00:009223372036854775807U1\r\n" + "16:00:005U18446744073709551617\r\n"
            << "24:5/0 36:9223372036854775808/1 72:100/7" << 2 << 0;
        QTest::newRow("times out of range")
            << QByteArray("24:00:001U1\r\n12:60:001U1\r\n99:99:991U1\r\n12:00:601U1\r\n") + kAt13 << "60:2000/30" << 4
            << 0;
        QTest::newRow("garbage bytes between good lines")
            << kAt12 + Garbage(4096) + "\r\n" + kAt13 << "60:2000/30 72:100/7" << 1 << 0;
    }

    void damagedDayFile()
    {
        QFETCH(QByteArray, bytes);
        const Loaded loaded = Load(bytes);
        QTEST(loaded.columns, "columns");
        QTEST(loaded.skippedLines, "skippedLines");
        QTEST(loaded.skippedFiles, "skippedFiles");
    }

    // A crash may cut the last line anywhere: the lines before it are all kept, and the cut line
    // only once its CR is written.
    void lineCutAtEveryByte()
    {
        const qsizetype crAt = kAt14.indexOf('\r');
        for (qsizetype cut = 0; cut <= kAt14.size(); ++cut)
        {
            const QByteArray bytes = kAt12 + kAt13 + kAt14.left(cut);
            const QString expected =
                cut > crAt ? QStringLiteral("48:345/67 60:2000/30 72:100/7") : QStringLiteral("60:2000/30 72:100/7");
            const Loaded loaded = Load(bytes);
            QVERIFY2(loaded.columns == expected,
                     qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(loaded.columns)));
            QCOMPARE(loaded.skippedLines, 0);

            const Loaded alone = Load(kAt14.left(cut));
            QCOMPARE(alone.columns, cut > crAt ? QStringLiteral("48:345/67") : QString());
            QCOMPARE(alone.skippedFiles, cut > crAt ? 0 : 1);
        }
    }

    // A day file as large as read (1 MiB) of blocks: a good line, a line with a bad time and an empty
    // line (a lone LF), then a torn line of 10 bytes.
    void aMegabyteOfMixedLines()
    {
        const QByteArray block = "12:00:001U2\r\n"
                                 "99:99:991U2\r\n"
                                 "\n";             // 27 bytes
        const int count = (1024 * 1024 - 10) / 27; // 38835 blocks
        const Loaded loaded = Load(block.repeated(count) + "12:00:001U");
        QCOMPARE(count, 38835);
        // Both sums stay below 2^24, so single precision holds them exactly.
        QCOMPARE(loaded.columns, QStringLiteral("72:38835/77670"));
        QCOMPARE(loaded.skippedLines, 2 * 38835);
    }

    // What is found under a day file's name but is no day file is not read: the draw goes on with the
    // other days and names the file. A FIFO must not block the draw: nothing writes to it here.
    void oddDayFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("message"); // %1: the day file's path
        const QString yesterdayOnly = QStringLiteral("360:100/7");
        const QString both = QStringLiteral("60:2000/30 360:100/7");
        const QString notRegular = QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire");
        QTest::newRow("link to a good day file outside the store") << "link" << yesterdayOnly << notRegular;
        QTest::newRow("folder") << "folder" << yesterdayOnly << notRegular;
        QTest::newRow("FIFO without a writer") << "fifo" << yesterdayOnly << notRegular;
        QTest::newRow("one byte over 1 MiB")
            << "over" << yesterdayOnly
            << QStringLiteral("Fichier ignoré : %1 est trop grand (1048577 octets, au plus 1048576 attendus)");
        QTest::newRow("exactly 1 MiB") << "limit" << both << QString();
        QTest::newRow("good file") << "good" << both << QString();
    }
    void oddDayFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QTemporaryDir outside;
        const QString path = DayPath(dir.path(), kSelectedDay);
        QVERIFY(WriteFile(DayPath(dir.path(), kSelectedDay - 1), kAt12));
        const QString outsideFile = outside.path() + QStringLiteral("/38153.mdf");
        QVERIFY(WriteFile(outsideFile, kAt13));
        QVERIFY(MakeStoreFile(kind, path, kAt13, outsideFile, store::kDayFileLimit));

        HistoryLoader loader;
        const auto result = loader.load(Request(dir.path()));
        QVERIFY(result);
        QTEST(Columns(loader.columns()), "columns");
        QCOMPARE(result->ignoredFiles, message.isEmpty() ? QStringList() : QStringList{message.arg(path)});
        QCOMPARE(result->daysRead, (QList<int>{kSelectedDay, kSelectedDay - 1}));
        QCOMPARE(result->skippedLines, 0);
        QFile kept(outsideFile);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), kAt13);
    }
};

QTEST_GUILESS_MAIN(TestDamagedStore)
#include "tst_damagedstore.moc"
