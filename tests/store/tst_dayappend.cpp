// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/HistoryLoader.h"
#include "store/DayFile.h"
#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "FaultyFileOps.h"
#include "support/Files.h"

#include <limits>

// An append keeps every line the day-file reader reads, whatever the file holds, and adds one.
namespace
{
const QByteArray kLine = "12:34:56123U45\r\n";

void WriteAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

QList<QByteArray> ReaderLines(const QByteArray& data)
{
    QList<QByteArray> lines;
    graph::SampleLineReader reader(data);
    while (const auto line = reader.next())
        lines.append(line->toByteArray());
    return lines;
}

// The sums of what the history reader parses, saturated like the store's.
store::DaySums ReaderSums(const QByteArray& data)
{
    const auto add = [](uint64_t a, uint64_t b) {
        return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
    };
    store::DaySums sums;
    graph::SampleLineReader reader(data);
    while (const auto line = reader.next())
        if (const auto sample = graph::ParseSampleLine(*line))
        {
            sums.in = add(sums.in, static_cast<uint64_t>(sample->in));
            sums.out = add(sums.out, static_cast<uint64_t>(sample->out));
        }
    return sums;
}

QByteArray Digits(QRandomGenerator& random, int count)
{
    QByteArray digits;
    for (int i = 0; i < count; ++i)
        digits += char('0' + random.bounded(10));
    return digits;
}

// A day file as crashes, full disks, converted line ends and stray bytes leave them.
QByteArray RandomDayFile(QRandomGenerator& random)
{
    static const QByteArray kEnds[] = {"\r\n", "\n", "\r", ""};
    static const QByteArray kJunk = QByteArray("0123456789:U DF/x\t\xff", 20) + QByteArray(1, '\0');
    QByteArray data;
    const int pieces = random.bounded(12);
    for (int p = 0; p < pieces; ++p)
    {
        const int kind = random.bounded(10);
        QByteArray piece;
        if (kind < 6)
        {
            // Mostly sane, sometimes an hour past 23, an amount past int64 or no "U".
            piece = Digits(random, 2) + ':' + Digits(random, 2) + ':' + Digits(random, 2) +
                    Digits(random, 1 + random.bounded(kind == 5 ? 21 : 12));
            if (random.bounded(8) != 0)
                piece += 'U' + Digits(random, random.bounded(kind == 5 ? 21 : 12));
        }
        else if (kind < 9)
        {
            for (int n = random.bounded(24); n > 0; --n)
                piece += kJunk[random.bounded(kJunk.size())];
        }
        data += piece + kEnds[random.bounded(4)];
    }
    return data;
}
} // namespace

Q_DECLARE_METATYPE(FaultyFileOps::Fault)

class TestDayAppend final : public QObject
{
    Q_OBJECT

private slots:
    void append_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("a missing file is created") << false << QByteArray() << kLine;
        QTest::newRow("an empty file") << true << QByteArray() << kLine;
        QTest::newRow("CR LF") << true << QByteArray("10:00:001U1\r\n") << "10:00:001U1\r\n" + kLine;
        QTest::newRow("a lone LF ends a line") << true << QByteArray("10:00:001U1\n") << "10:00:001U1\n" + kLine;
        QTest::newRow("a lone CR ends a line") << true << QByteArray("10:00:001U1\r") << "10:00:001U1\r" + kLine;
        QTest::newRow("a torn line is cut") << true << QByteArray("10:00:001U1\r\n10:0") << "10:00:001U1\r\n" + kLine;
        QTest::newRow("a torn line after a lone CR")
            << true << QByteArray("10:00:001U1\r10:05:002U") << "10:00:001U1\r" + kLine;
        QTest::newRow("a torn line alone") << true << QByteArray("10:00:001U1") << kLine;
        QTest::newRow("empty lines are lines") << true << QByteArray("\r\n\n\r") << "\r\n\n\r" + kLine;
        QTest::newRow("NUL bytes end no line")
            << true << QByteArray("10:00:001U1\r\n\0\0", 15) << "10:00:001U1\r\n" + kLine;
    }
    void append()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("38153.mdf"));
        if (exists)
            WriteAll(path, before);
        QCOMPARE(store::AppendDayLine(path, kLine).status, store::DayAppend::Status::Appended);
        QCOMPARE(ReadAll(path), after);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("38153.mdf")});
    }

    void appendKeepsEveryLineTheReaderReads()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("38153.mdf"));
        QRandomGenerator random(20040615);
        for (int i = 0; i < 3000; ++i)
        {
            const QByteArray before = RandomDayFile(random);
            const QByteArray line = "23:59:59" + Digits(random, 1 + random.bounded(12)) + 'U' +
                                    Digits(random, 1 + random.bounded(12)) + "\r\n";
            const QByteArray shown = "case " + QByteArray::number(i) + ": " + before.toPercentEncoding();
            const store::DaySums sums = store::SumDayLines(before);
            const store::DaySums expected = ReaderSums(before);
            QVERIFY2(sums.in == expected.in && sums.out == expected.out, shown.constData());
            WriteAll(path, before);
            QVERIFY2(store::AppendDayLine(path, line).status == store::DayAppend::Status::Appended, shown.constData());
            const QByteArray after = ReadAll(path);
            QVERIFY2(ReaderLines(after) == ReaderLines(before) + QList<QByteArray>{line.chopped(2)}, shown.constData());
            // Only the bytes past the last line end went, the torn line.
            const qsizetype complete = std::max(before.lastIndexOf('\r'), before.lastIndexOf('\n')) + 1;
            QVERIFY2(after == before.first(complete) + line, shown.constData());
        }
    }

    void failedAppendLeavesTheFileAsItWas_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("a missing file stays missing") << false << QByteArray() << QByteArray("<missing>");
        QTest::newRow("an empty file stays empty") << true << QByteArray() << QByteArray();
        QTest::newRow("a torn line alone stays") << true << QByteArray("10:0") << QByteArray("10:0");
        QTest::newRow("lines stay") << true << QByteArray("10:00:001U1\r\n") << QByteArray("10:00:001U1\r\n");
        QTest::newRow("only a torn line goes")
            << true << QByteArray("10:00:001U1\r\n10:0") << QByteArray("10:00:001U1\r\n");
    }
    void failedAppendLeavesTheFileAsItWas()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("38153.mdf"));
        if (exists)
            WriteAll(path, before);
        FaultyFileOps ops;
        ops.arm(FaultyFileOps::Fault::ShortWrite, 1);
        const store::DayAppend result = store::AppendDayLine(path, kLine, ops);
        QVERIFY(ops.hit());
        QCOMPARE(result.status, store::DayAppend::Status::Failed);
        QCOMPARE(result.mayRemainAt, int64_t(-1));
        QCOMPARE(ReadAll(path), after);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 exists ? QStringList{QStringLiteral("38153.mdf")} : QStringList{});
    }

    void retryAfterAnyFailureWritesTheLineOnce_data()
    {
        QTest::addColumn<FaultyFileOps::Fault>("fault");
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("EIO from there on, lines before")
            << FaultyFileOps::Fault::IoError << QByteArray("10:00:001U1\r\n");
        QTest::newRow("EIO from there on, a torn line before")
            << FaultyFileOps::Fault::IoError << QByteArray("10:00:001U1\r10:0");
        QTest::newRow("EIO from there on, no file") << FaultyFileOps::Fault::IoError << QByteArray("<missing>");
        QTest::newRow("a short write, lines before") << FaultyFileOps::Fault::ShortWrite << QByteArray("10:00:001U1\n");
    }
    void retryAfterAnyFailureWritesTheLineOnce()
    {
        // Every call from the nth on fails, so the undo fails too: the retry must find what was left.
        QFETCH(FaultyFileOps::Fault, fault);
        QFETCH(QByteArray, before);
        for (int nth = 1;; ++nth)
        {
            QVERIFY(nth < 100);
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("38153.mdf"));
            if (before != "<missing>")
                WriteAll(path, before);
            const QList<QByteArray> expected =
                ReaderLines(before == "<missing>" ? QByteArray() : before) + QList<QByteArray>{kLine.chopped(2)};
            FaultyFileOps ops;
            ops.arm(fault, nth, true);
            store::DayAppend result = store::AppendDayLine(path, kLine, ops);
            const bool hit = ops.hit();
            ops.disarm();
            if (result.status != store::DayAppend::Status::Appended)
                result = store::AppendDayLine(path, kLine, ops, result.mayRemainAt);
            QCOMPARE(result.status, store::DayAppend::Status::Appended);
            QVERIFY2(ReaderLines(ReadAll(path)) == expected,
                     (QByteArray::number(nth) + ": " + ReadAll(path)).constData());
            QVERIFY(ReadAll(path).endsWith(kLine));
            if (!hit)
                break;
        }
    }
};

QTEST_GUILESS_MAIN(TestDayAppend)
#include "tst_dayappend.moc"
