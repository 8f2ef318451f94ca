// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/DayNumber.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/SettingsTable.h"
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

#include <sys/stat.h>

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

// The one day file of an interface folder of the store.
QByteArray DayFile(const QString& storeRoot, const QString& folder)
{
    const QDir dir(QDir(storeRoot).filePath(folder));
    const QStringList days = dir.entryList({QStringLiteral("*.mdf")});
    return days.size() == 1 ? ReadAll(dir.filePath(days[0]))
                            : QByteArray("<%1 day files>").replace("%1", QByteArray::number(days.size()));
}

// Replaces path at once by a file holding text, as a save would.
void Replace(const QString& path, const QByteArray& text)
{
    const QString next = path + QStringLiteral(".next");
    QFile f(next);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(text), text.size());
    f.close();
    QCOMPARE(::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()), 0);
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

    std::unique_ptr<HeadlessRecorder> Recorder(const QString& storeRoot, FixedTableSource*& source, NullErrors& errors,
                                               const std::optional<QString>& textfile = std::nullopt)
    {
        auto table = std::make_unique<FixedTableSource>();
        table->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}, {"wlan0", 70, 80}};
        source = table.get();
        HeadlessRecorder::Options options;
        options.storeRoot = storeRoot;
        options.settingsPath = SettingsStore::DefaultPath();
        options.tableSource = std::move(table);
        options.defaultRoute = [] { return std::optional<QString>(QStringLiteral("wlan0")); };
        options.textfile = textfile;
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
        // Whatever a test left at the settings path.
        QFile::remove(SettingsStore::DefaultPath());
        QDir().rmdir(SettingsStore::DefaultPath());
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

    // Checks and unchecks in the settings file reach a running recorder, whether the file is replaced or
    // edited in place: a newly checked interface counts from the moment the file changed, an unchecked one
    // stops.
    void followsTheSettingsFile_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("replaced as a whole") << false;
        QTest::newRow("edited in place") << true;
    }

    void followsTheSettingsFile()
    {
        QFETCH(bool, inPlace);
        QTemporaryDir store;
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        recorder->start();
        QVERIFY(recorder->recording());
        (*table->table)[1] = InterfaceRow{"lo", 1005, 2005}; // before lo is checked: not lo's to record

        QSignalSpy followed(recorder.get(), &HeadlessRecorder::settingsFollowed);
        const QString path = SettingsStore::DefaultPath();
        const QString edited = inPlace ? store.filePath(QStringLiteral("edited.conf")) : path;
        if (inPlace)
            QVERIFY(QFile::copy(path, edited));
        SettingsStore settings(edited);
        WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{true, false, false});
        WriteInterfaceMarks(settings, QStringLiteral("eth0"), InterfaceMarks{false, false, false});
        QVERIFY(settings.sync());
        if (inPlace)
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
            const QByteArray text = ReadAll(edited);
            QCOMPARE(file.write(text), text.size());
        }
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

    // Until a settings file is read, the default route's interface is recorded, and the file is not made;
    // one that cannot be read is said.
    void aFirstRunRecordsTheDefaultRoute_data()
    {
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("no settings file") << false;
        QTest::newRow("settings file unreadable") << true;
    }

    void aFirstRunRecordsTheDefaultRoute()
    {
        QFETCH(bool, unreadable);
        const QString path = SettingsStore::DefaultPath();
        QFile::remove(path);
        if (unreadable)
            QVERIFY(QDir().mkdir(path));
        QTemporaryDir store;
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        recorder->start();
        m_clock.advanceSecs(5 * 60);
        (*table->table)[2] = InterfaceRow{"wlan0", 170, 280};
        recorder->service()->recordNow();
        QCOMPARE(DayFile(store.path(), QStringLiteral("wlan0")), QByteArray("23:55:00100U200\r\n"));
        QStringList said{QStringLiteral("VORP enregistre wlan0 dans %1.").arg(store.path())};
        if (unreadable)
            said.prepend(QStringLiteral("VORP : impossible de lire le fichier de réglages %1 (c'est un dossier) ; "
                                        "l'interface de la route par défaut est enregistrée en attendant.")
                             .arg(path));
        QCOMPARE(errors.said, said);
        QCOMPARE(QFileInfo(path).isDir(), unreadable);
        QVERIFY(!QFileInfo(path).isFile());
    }

    // The settings file gone, or made unreadable, while recording: the interfaces read last go on being
    // recorded from their baselines, one message says why, and the file read again later loses no interval.
    void keepsRecordingWhileTheSettingsCannotBeRead_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::newRow("deleted") << QStringLiteral("delete") << QStringLiteral("a disparu");
        QTest::newRow("replaced by a dangling link") << QStringLiteral("link") << QStringLiteral("a disparu");
        QTest::newRow("replaced by a folder") << QStringLiteral("folder") << QStringLiteral("(c'est un dossier)");
        QTest::newRow("replaced by a FIFO")
            << QStringLiteral("fifo") << QStringLiteral("(ce n'est pas un fichier ordinaire)");
        QTest::newRow("too large") << QStringLiteral("large") << QStringLiteral("(trop grand : ");
        QTest::newRow("damaged") << QStringLiteral("damaged") << QStringLiteral("(contenu endommagé)");
    }

    void keepsRecordingWhileTheSettingsCannotBeRead()
    {
        QFETCH(QString, how);
        QFETCH(QString, why);
        const QString path = SettingsStore::DefaultPath();
        m_clock.set(QDateTime(QDate(2026, 3, 31), QTime(12, 0, 0)));
        QTemporaryDir store;
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        recorder->start(); // eth0 from 1000 and 2000
        QCOMPARE(errors.said.size(), qsizetype(1));

        (*table->table)[0] = InterfaceRow{"eth0", 1500, 2600};
        const QByteArray unchecked = "[General]\neth0=0\n"; // read, it would stop eth0
        if (how == QLatin1String("delete"))
            QVERIFY(QFile::remove(path));
        else if (how == QLatin1String("link"))
        {
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::link(path + QStringLiteral(".nowhere"), path));
        }
        else if (how == QLatin1String("folder"))
        {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkdir(path));
        }
        else if (how == QLatin1String("fifo"))
        {
            QVERIFY(QFile::remove(path));
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        else if (how == QLatin1String("large"))
            Replace(path, unchecked + ';' + QByteArray(SettingsStore::kSizeLimit, 'x') + '\n');
        else if (how == QLatin1String("damaged"))
            Replace(path, unchecked + "[[[\n");
        QTRY_COMPARE(errors.said.size(), qsizetype(2));
        QVERIFY2(errors.said[1].startsWith(QStringLiteral("VORP : ")) && errors.said[1].contains(path) &&
                     errors.said[1].contains(why) &&
                     errors.said[1].endsWith(QStringLiteral("les interfaces cochées jusqu'ici restent enregistrées.")),
                 qPrintable(errors.said[1]));

        m_clock.advanceSecs(5 * 60);
        (*table->table)[0] = InterfaceRow{"eth0", 1600, 2800};
        recorder->service()->recordNow();
        m_clock.advanceSecs(5 * 60);
        (*table->table)[0] = InterfaceRow{"eth0", 1700, 2900};
        recorder->service()->recordNow();
        QCOMPARE(errors.said.size(), qsizetype(2)); // said once

        // Back, with lo newly checked: eth0 keeps its baseline of the last cycle, lo starts from now.
        (*table->table)[0] = InterfaceRow{"eth0", 1750, 2950};
        (*table->table)[1] = InterfaceRow{"lo", 1005, 2005};
        QSignalSpy followed(recorder.get(), &HeadlessRecorder::settingsFollowed);
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            QVERIFY(QDir().rmdir(path));
        else
            QFile::remove(path);
        {
            SettingsStore settings;
            WriteInterfaceMarks(settings, QStringLiteral("eth0"), InterfaceMarks{true, false, false});
            WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{true, false, false});
            QVERIFY(settings.sync());
        }
        QTRY_VERIFY(!followed.isEmpty());
        m_clock.advanceSecs(5 * 60);
        (*table->table)[0] = InterfaceRow{"eth0", 1800, 3100};
        (*table->table)[1] = InterfaceRow{"lo", 1105, 2205};
        recorder->service()->recordNow();

        QCOMPARE(DayFile(store.path(), QStringLiteral("eth0")),
                 QByteArray("12:05:00600U800\r\n12:10:00100U100\r\n12:15:00100U200\r\n"));
        QCOMPARE(DayFile(store.path(), QStringLiteral("IF01_lo")), QByteArray("12:15:00100U200\r\n"));
        // The file's trouble was said once; lo, newly followed, once.
        QCOMPARE(errors.said.mid(2), QStringList{QStringLiteral("VORP enregistre aussi lo.")});
    }

    // Nothing of the settings goes through the temporary folder.
    void recordsWithoutATemporaryFolder()
    {
        const QByteArray tmp = qgetenv("TMPDIR");
        QTemporaryDir store;
        qputenv("TMPDIR", store.filePath(QStringLiteral("missing")).toUtf8());
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        recorder->start();
        m_clock.advanceSecs(5 * 60);
        (*table->table)[0] = InterfaceRow{"eth0", 1500, 2600};
        recorder->service()->recordNow();
        if (tmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmp);
        QCOMPARE(DayFile(store.path(), QStringLiteral("eth0")), QByteArray("23:55:00500U600\r\n"));
        QCOMPARE(errors.said, QStringList{QStringLiteral("VORP enregistre eth0 dans %1.").arg(store.path())});
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

    // The textfile says whether this machine records from its first second to after its stop: while it
    // waits for the store, with the store's figures once it records, with what stays pending and the
    // failed writes when a file is refused, and the time of the last sample actually stored.
    void textfileTellsWhetherItRecords()
    {
        QTemporaryDir store, metrics;
        const QString textfile = metrics.filePath(QStringLiteral("vorp.prom"));
        const int day = DayNumber(m_clock.now().date());
        QVERIFY(QDir().mkpath(store.filePath(QStringLiteral("eth0"))));
        {
            QFile inf(store.filePath(QStringLiteral("eth0/nic.inf")));
            QVERIFY(inf.open(QIODevice::WriteOnly));
            inf.write("[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n" +
                      QByteArray::number(day) + "D=7000\r\n" + QByteArray::number(day) + "U=9000\r\n");
        }
        auto other = std::make_unique<StoreLock>(store.path());
        QCOMPARE(other->tryAcquire(), StoreLock::Result::Acquired);
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors, textfile);
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
        const QByteArray user = "user=\"" + LoginName().toUtf8() + '"';
        const auto says = [&](const QByteArray& line) { return ReadAll(textfile).contains(line + '\n'); };

        recorder->start();
        QVERIFY2(says("vorp_recording{" + user + "} 0"), ReadAll(textfile).constData());
        QVERIFY(says("vorp_build_info{version=\"1.2.3\"," + user + "} 1"));
        QVERIFY(!ReadAll(textfile).contains("vorp_last_sample_timestamp_seconds{"));

        other.reset();
        QTRY_VERIFY(recorder->recording());
        QVERIFY(says("vorp_recording{" + user + "} 1"));
        // Listed from the start, with the figures already in the store.
        QVERIFY2(says("vorp_today_received_bytes{interface=\"eth0\"," + user + "} 7000"),
                 ReadAll(textfile).constData());
        QVERIFY(says("vorp_pending_samples{interface=\"eth0\"," + user + "} 0"));

        m_clock.advanceSecs(5 * 60); // 23:55
        (*table->table)[0] = InterfaceRow{"eth0", 1500, 2600};
        recorder->service()->recordNow();
        const qint64 stored = m_clock.now().toSecsSinceEpoch();
        QVERIFY(says("vorp_received_bytes_total{interface=\"eth0\"," + user + "} 500"));
        QVERIFY(says("vorp_today_received_bytes{interface=\"eth0\"," + user + "} 7500"));
        QVERIFY(says("vorp_last_sample_timestamp_seconds{" + user + "} " + QByteArray::number(stored)));
        QVERIFY(says("vorp_write_errors_total{" + user + "} 0"));

        // Today's file refused: the sample waits for its line, is counted as pending and as a failed write, and
        // the last stored sample stays the one before.
        const QString dayFile = store.filePath(QStringLiteral("eth0/%1.mdf").arg(day));
        QVERIFY(QFile::remove(dayFile));
        QCOMPARE(::mkfifo(QFile::encodeName(dayFile).constData(), 0644), 0);
        m_clock.advanceSecs(60);
        (*table->table)[0] = InterfaceRow{"eth0", 1600, 2700};
        recorder->service()->recordNow();
        QVERIFY(says("vorp_pending_samples{interface=\"eth0\"," + user + "} 1"));
        QVERIFY(says("vorp_write_errors_total{" + user + "} 1"));
        QVERIFY(says("vorp_last_sample_timestamp_seconds{" + user + "} " + QByteArray::number(stored)));

        recorder->stop();
        QVERIFY(says("vorp_recording{" + user + "} 0"));
    }

    // A plan in the settings file gives its series in the textfile.
    void textfileCarriesThePlan()
    {
        {
            QFile settings(SettingsStore::DefaultPath());
            QVERIFY(settings.open(QIODevice::Append));
            settings.write("\n[Plans]\neth0\\cycle=month:1\neth0\\allowance=1000000\n");
        }
        QTemporaryDir store, metrics;
        const QString textfile = metrics.filePath(QStringLiteral("vorp.prom"));
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors, textfile);
        recorder->start();
        m_clock.advanceSecs(5 * 60);
        (*table->table)[0] = InterfaceRow{"eth0", 1500, 2600};
        recorder->service()->recordNow();
        const QByteArray labels = "{interface=\"eth0\",user=\"" + LoginName().toUtf8() + "\"} ";
        const QByteArray text = ReadAll(textfile);
        QVERIFY2(text.contains("vorp_plan_allowance_bytes" + labels + "1000000\n"), text.constData());
        QVERIFY2(text.contains("vorp_plan_used_bytes" + labels + "1100\n"), text.constData());
        recorder->stop();
    }

    // Interfaces sharing a display name share a folder: one series, their figures summed.
    void interfacesSharingAFolderGiveOneSeries()
    {
        QTemporaryDir store, metrics;
        const QString textfile = metrics.filePath(QStringLiteral("vorp.prom"));
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors, textfile);
        table->table = InterfaceTable{{"eth0", 1000, 2000}, {"eth0", 10, 20}};
        recorder->start();
        QVERIFY(recorder->recording());
        m_clock.advanceSecs(5 * 60);
        table->table = InterfaceTable{{"eth0", 1500, 2600}, {"eth0", 40, 70}};
        recorder->service()->recordNow();
        const QByteArray text = ReadAll(textfile);
        QCOMPARE(text.count("vorp_received_bytes_total{"), qsizetype(1));
        QVERIFY2(
            text.contains("vorp_received_bytes_total{interface=\"eth0\",user=\"" + LoginName().toUtf8() + "\"} 530\n"),
            text.constData());
        recorder->stop();
    }

    // What the journal says: a checked interface that is absent is named as such; one followed or left is
    // said once.
    void saysWhatItFollows()
    {
        QTemporaryDir store;
        // wlan0 was recorded here before and is still checked, but is not in the system now.
        QVERIFY(QDir().mkpath(store.filePath(QStringLiteral("wlan0"))));
        {
            QFile inf(store.filePath(QStringLiteral("wlan0/nic.inf")));
            QVERIFY(inf.open(QIODevice::WriteOnly));
            inf.write("[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=wlan0\r\n");
        }
        Check(QStringLiteral("eth0"), false);
        Check(QStringLiteral("wlan0"), true);
        NullErrors errors;
        FixedTableSource* table = nullptr;
        auto recorder = Recorder(store.path(), table, errors);
        table->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}};
        recorder->start();
        QCOMPARE(errors.said, QStringList{QStringLiteral("VORP : aucune interface cochée n'est présente, rien n'est "
                                                         "enregistré pour l'instant ; cochée(s) mais absente(s) pour "
                                                         "l'instant : wlan0, enregistrée(s) dès leur retour.")});
        errors.said.clear();
        table->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}, {"wlan0", 70, 80}};
        recorder->service()->recordNow();
        table->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}};
        recorder->service()->recordNow();
        recorder->service()->recordNow();
        QCOMPARE(errors.said, (QStringList{QStringLiteral("VORP enregistre de nouveau wlan0."),
                                           QStringLiteral("VORP n'enregistre plus wlan0 pour l'instant : elle est "
                                                          "absente du système.")}));
        recorder->stop();
    }

    // Under a service manager: ready once it has said what it does, a status line for what is recorded or
    // why nothing is, each line to the reporter of its weight, and the stop announced.
    void tellsTheServiceManager()
    {
        QTemporaryDir store;
        auto other = std::make_unique<StoreLock>(store.path());
        QCOMPARE(other->tryAcquire(), StoreLock::Result::Acquired);
        NullErrors errors, warnings, notices;
        QByteArrayList told;
        auto table = std::make_unique<FixedTableSource>();
        table->table = InterfaceTable{{"eth0", 1000, 2000}};
        HeadlessRecorder::Options options;
        options.storeRoot = store.path();
        options.settingsPath = SettingsStore::DefaultPath();
        options.tableSource = std::move(table);
        options.notices = &notices;
        options.warnings = &warnings;
        options.notify = [&told](const QByteArray& state) { told.append(state); };
        HeadlessRecorder recorder(std::move(options), m_clock, errors);

        recorder.start();
        const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
        QCOMPARE(told, (QByteArrayList{"STATUS=N'enregistre pas : une autre copie (processus " + pid +
                                           ") enregistre ; reprise dès que le verrou sera libre",
                                       "READY=1"}));
        QCOMPARE(warnings.said.size(), qsizetype(1));
        other.reset();
        QTRY_VERIFY(recorder.recording());
        QCOMPARE(told.last(), "STATUS=Enregistre eth0 dans " + QFile::encodeName(store.path()));
        QCOMPARE(notices.said, QStringList{QStringLiteral("VORP enregistre eth0 dans %1.").arg(store.path())});
        recorder.stop();
        QCOMPARE(told.last(), QByteArray("STOPPING=1"));
        QCOMPARE(told.count("READY=1"), qsizetype(1));
        QVERIFY(errors.said.isEmpty());
    }
};

QTEST_MAIN(TestHeadlessRecorder)
#include "tst_headlessrecorder.moc"
