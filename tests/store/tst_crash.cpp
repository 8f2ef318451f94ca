// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "TestData.h"

// A recorder killed with SIGKILL at random moments, many times, never leaves a damaged store.
class TestCrash final : public QObject
{
    Q_OBJECT

    // During the kills a torn last line may stay, and a day's totals may lag one line behind (the line is
    // written first); after a clean run neither: the run cut the torn line and raised the totals.
    static void CheckStore(const QString& dir, bool afterCleanRun)
    {
        const auto inf = ProfileFile::load(dir + QStringLiteral("/nic.inf"));
        QVERIFY(inf.has_value());
        QCOMPARE(inf->value(QStringLiteral("VORP DB"), QStringLiteral("ifname")), QStringLiteral("eth0"));
        static const QRegularExpression sample(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d1000U100$"));
        const QStringList days = QDir(dir).entryList({QStringLiteral("*.mdf")}, QDir::Files);
        for (const QString& name : days)
        {
            QFile f(dir + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray text = f.readAll();
            QVERIFY2(!text.isEmpty(), qPrintable(name));
            const QList<QByteArray> lines = text.split('\n');
            for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            {
                QVERIFY2(lines[i].endsWith('\r'), lines[i].constData());
                QVERIFY2(sample.match(QString::fromLatin1(lines[i].chopped(1))).hasMatch(), lines[i].constData());
            }
            if (afterCleanRun)
                QVERIFY2(lines.last().isEmpty(), qPrintable(name + QStringLiteral(" ends with a torn line")));
            const QString day = name.chopped(4);
            const double lineCount = static_cast<double>(text.count("\r\n"));
            const auto total = [&](QChar letter) {
                return inf->value(QStringLiteral("data"), day + letter).value_or(QStringLiteral("0")).toDouble();
            };
            // Totals never exceed what the lines hold: a line is written before its totals.
            QVERIFY2(total(QLatin1Char('D')) <= lineCount * 1000, qPrintable(name));
            QVERIFY2(total(QLatin1Char('U')) <= lineCount * 100, qPrintable(name));
            if (afterCleanRun)
            {
                QCOMPARE(total(QLatin1Char('D')), lineCount * 1000);
                QCOMPARE(total(QLatin1Char('U')), lineCount * 100);
            }
        }
        if (afterCleanRun) // no totals without their day file
            QCOMPARE(inf->entries(QStringLiteral("data")).size(), static_cast<size_t>(2 * days.size()));
    }

private slots:
    void killedInTheMiddleOfWrites()
    {
        QTemporaryDir root;
        const QString program = QStringLiteral(VORP_BINARY_DIR "/tests/store/recorder_loop");
        QRandomGenerator random(20041506);
        long long second = 0;
        for (int run = 0; run < 25; ++run)
        {
            QProcess child;
            child.start(program, {root.path(), QString::number(second), QStringLiteral("-1")});
            QVERIFY(child.waitForStarted());
            // Killed only once its first cycle has made the store, however busy the machine is.
            while (!child.canReadLine())
                QVERIFY(child.waitForReadyRead(60000));
            QTest::qWait(int(random.bounded(60)));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            second += 86400 / 3; // each run starts a third of a day later
            CheckStore(root.filePath(QStringLiteral("eth0")), false);
        }
        // A clean run afterwards appends without gluing a line to a torn one, and brings the totals in step.
        QProcess last;
        last.start(program, {root.path(), QString::number(second), QStringLiteral("20")});
        QVERIFY(last.waitForFinished());
        QCOMPARE(last.exitCode(), 0);
        CheckStore(root.filePath(QStringLiteral("eth0")), true);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
