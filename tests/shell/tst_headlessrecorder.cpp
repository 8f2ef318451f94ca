// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "shell/HeadlessRecorder.h"
#include "shell/widgets/Application.h"
#include "store/RecordingService.h"
#include "store/StoreLock.h"

#include <QDir>
#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"

namespace
{
// Every file under root, by path relative to it, with its bytes.
QMap<QString, QByteArray> Files(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        if (!QFileInfo(path).fileName().startsWith(QLatin1Char('.'))) // locks
            files.insert(QDir(root).relativeFilePath(path), ReadAll(path));
    }
    return files;
}

class NullErrors final : public ErrorReporter
{
public:
    void showError(const QString& message) override { said << message; }
    QStringList said;
};
} // namespace

// The recorder without the desktop, on an exact interface table and clock.
class TestHeadlessRecorder final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    TestClock m_clock{QDateTime(QDate(2026, 3, 31), QTime(23, 50, 0))};

    std::unique_ptr<HeadlessRecorder> Recorder(const QString& storeRoot, FixedTableSource*& source, NullErrors& errors)
    {
        auto table = std::make_unique<FixedTableSource>();
        table->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}, {"wlan0", 70, 80}};
        source = table.get();
        HeadlessRecorder::Options options;
        options.storeRoot = storeRoot;
        options.settingsPath = SettingsStore::DefaultPath();
        options.tableSource = std::move(table);
        options.defaultRoute = [] { return std::optional<QString>(QStringLiteral("wlan0")); };
        return std::make_unique<HeadlessRecorder>(std::move(options), m_clock, errors);
    }

    static void Check(const QString& name, bool statistics)
    {
        SettingsStore settings;
        WriteInterfaceMarks(settings, name, InterfaceMarks{statistics, false, false});
        QVERIFY(settings.sync());
    }

private slots:
    void init()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        m_clock.set(QDateTime(QDate(2026, 3, 31), QTime(23, 50, 0)));
        QFile::remove(SettingsStore::DefaultPath());
        Check(QStringLiteral("eth0"), true);
    }

    // The same readings give the same files, byte for byte, whichever program records them: across
    // a month's end, a new folder, a day file and totals.
    void writesWhatTheDesktopWrites()
    {
        QTemporaryDir desktopStore, headlessStore;
        const auto readings = [this](FixedTableSource& source, RecordingService& service) {
            for (const auto& [in, out] : {std::pair{1500, 2600}, std::pair{90000, 4000}, std::pair{90001, 4002}})
            {
                m_clock.advanceSecs(5 * 60);
                (*source.table)[0] = InterfaceRow{"eth0", uint64_t(in), uint64_t(out)};
                service.recordNow();
            }
        };

        m_clock.set(QDateTime(QDate(2026, 3, 31), QTime(23, 50, 0)));
        {
            qputenv("VORP_HOME", desktopStore.path().toUtf8());
            auto source = std::make_unique<FixedTableSource>();
            source->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}, {"wlan0", 70, 80}};
            FixedTableSource* table = source.get();
            AppEnvironment environment;
            environment.tableSource = std::move(source);
            environment.trayWaitMs = 0;
            environment.recordMessages = true;
            environment.clock = &m_clock;
            Application app(ParseCommandLine({}), std::move(environment));
            QVERIFY(app.recording());
            readings(*table, *app.recording());
            app.recording()->setScheduled(false);
        }

        m_clock.set(QDateTime(QDate(2026, 3, 31), QTime(23, 50, 0)));
        {
            NullErrors errors;
            FixedTableSource* table = nullptr;
            auto recorder = Recorder(headlessStore.path(), table, errors);
            recorder->start();
            QVERIFY(recorder->recording());
            readings(*table, *recorder->service());
            // Only the line saying what is recorded where.
            QCOMPARE(errors.said,
                     QStringList{QStringLiteral("VORP enregistre eth0 dans %1.").arg(headlessStore.path())});
        }

        const auto desktop = Files(desktopStore.path());
        QCOMPARE(desktop.size(), 3); // nic.inf and the days of 31 March and 1 April
        QCOMPARE(Files(headlessStore.path()), desktop);
    }

    // Checks and unchecks in the settings file reach a running recorder: a newly checked interface
    // counts from the moment the file changed, an unchecked one stops.
    void followsTheSettingsFile()
    {
        QTemporaryDir store;
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        recorder->start();
        QVERIFY(recorder->recording());
        (*table->table)[1] = InterfaceRow{"lo", 1005, 2005}; // before lo is checked: not lo's to record

        QSignalSpy followed(recorder.get(), &HeadlessRecorder::settingsFollowed);
        SettingsStore settings;
        WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{true, false, false});
        WriteInterfaceMarks(settings, QStringLiteral("eth0"), InterfaceMarks{false, false, false});
        QVERIFY(settings.sync());
        // The recorder learns of the change from the event loop.
        QTRY_VERIFY(!followed.isEmpty());
        (*table->table)[0] = InterfaceRow{"eth0", 5000, 6000};
        (*table->table)[1] = InterfaceRow{"lo", 1105, 2205};
        recorder->service()->recordNow();

        const QString loDir = store.filePath(QStringLiteral("IF01_lo"));
        const QStringList days = QDir(loDir).entryList({QStringLiteral("*.mdf")});
        QCOMPARE(days.size(), 1);
        QCOMPARE(ReadAll(QDir(loDir).filePath(days[0])), QByteArray("23:50:00100U200\r\n"));
        QVERIFY(!QDir(store.filePath(QStringLiteral("eth0"))).exists());
    }

    // Without a settings file, the default route's interface is recorded, and the file is not made.
    void aFirstRunRecordsTheDefaultRoute()
    {
        QFile::remove(SettingsStore::DefaultPath());
        QTemporaryDir store;
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        recorder->start();
        (*table->table)[2] = InterfaceRow{"wlan0", 170, 280};
        recorder->service()->recordNow();
        QVERIFY(QFileInfo::exists(store.filePath(QStringLiteral("wlan0/nic.inf"))));
        QVERIFY(!QFileInfo::exists(SettingsStore::DefaultPath()));
    }

    // A store whose lock another copy holds is recorded as soon as that copy lets go, and not before.
    void waitsForTheStoreLock()
    {
        QTemporaryDir store;
        auto other = std::make_unique<StoreLock>(store.path());
        QCOMPARE(other->tryAcquire(), StoreLock::Result::Acquired);
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        recorder->start();
        QVERIFY(!recorder->recording());
        QCOMPARE(errors.said.size(), qsizetype(1)); // who holds the store
        QVERIFY2(errors.said[0].contains(QString::number(QCoreApplication::applicationPid())),
                 qPrintable(errors.said[0]));
        other.reset();
        QTRY_VERIFY(recorder->recording());
        recorder->stop();
    }
};

QTEST_MAIN(TestHeadlessRecorder)
#include "tst_headlessrecorder.moc"
