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

    static void CheckStore(const QString& dir, bool allowTornTail)
    {
        const auto inf = ProfileFile::load(dir + QStringLiteral("/nic.inf"));
        QVERIFY(inf.has_value());
        QCOMPARE(inf->value(QStringLiteral("VORP DB"), QStringLiteral("ifname")), QStringLiteral("eth0"));
        static const QRegularExpression sample(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d1000U100$"));
        for (const QString& name : QDir(dir).entryList({QStringLiteral("*.mdf")}, QDir::Files))
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
            if (!allowTornTail)
                QVERIFY2(lines.last().isEmpty(), qPrintable(name + QStringLiteral(" ends with a torn line")));
            // Totals never exceed what the lines hold: a line is written before its totals.
            const QString day = name.chopped(4);
            const double lineCount = text.count("\r\n");
            QVERIFY(
                inf->value(QStringLiteral("data"), day + QLatin1Char('D')).value_or(QStringLiteral("0")).toDouble() <=
                lineCount * 1000);
        }
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
            CheckStore(root.filePath(QStringLiteral("eth0")), true);
        }
        // A clean run afterwards appends without gluing a line to a torn one.
        QProcess last;
        last.start(program, {root.path(), QString::number(second), QStringLiteral("20")});
        QVERIFY(last.waitForFinished());
        QCOMPARE(last.exitCode(), 0);
        CheckStore(root.filePath(QStringLiteral("eth0")), false);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
