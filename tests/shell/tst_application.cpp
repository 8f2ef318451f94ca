// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/widgets/ConfigWindow.h"
#include "graph/widgets/GraphWindow.h"
#include "meter/widgets/MeterWindow.h"
#include "meter/widgets/StopwatchWindow.h"
#include "reports/widgets/FolderChooser.h"
#include "reports/widgets/HistogramWindow.h"
#include "reports/widgets/TotalsWindow.h"
#include "shell/widgets/AboutBox.h"
#include "shell/widgets/Application.h"
#include "shell/widgets/SplashAndTray.h"
#include "store/RecordingService.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "support/Contrast.h"
#include "support/Files.h"

// The whole program in one process, on an exact interface table.
class TestApplication final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_storeDir;
    FixedTableSource* m_source = nullptr;
    std::optional<QString> m_defaultRoute;

    std::unique_ptr<Application> Start(const QStringList& arguments, bool recording = true,
                                       bool recordingElsewhere = false)
    {
        auto source = std::make_unique<FixedTableSource>();
        source->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}};
        m_source = source.get();
        AppEnvironment environment;
        environment.tableSource = std::move(source);
        environment.trayWaitMs = 0;
        environment.recordMessages = true;
        environment.recording = recording;
        environment.recordingElsewhere = recordingElsewhere;
        environment.defaultRoute = [this] { return m_defaultRoute; };
        return std::make_unique<Application>(ParseCommandLine(arguments), std::move(environment));
    }

    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

private slots:
    void init()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        m_storeDir = std::make_unique<QTemporaryDir>();
        qputenv("VORP_HOME", m_storeDir->path().toUtf8());
        QFile::remove(SettingsStore::DefaultPath());
        SettingsStore settings;
        WriteInterfaceMarks(settings, QStringLiteral("eth0"), InterfaceMarks{true, false, false});
        WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{false, true, false});
        QVERIFY(settings.sync());
    }

    void windowsShareOneSettingsModel()
    {
        auto app = Start({});
        Settings& settings = app->settings();
        QCOMPARE(settings.interfaceNames(), (QStringList{QStringLiteral("eth0"), QStringLiteral("lo")}));
        QVERIFY(settings.marks(0).statistics);
        QVERIFY(settings.marks(1).graph1);
        // The meter follows what the configuration window's box writes into the model.
        const auto* graphPanel = app->meter().findChild<QWidget*>(QStringLiteral("Shape2"));
        QVERIFY(graphPanel && graphPanel->isVisibleTo(&app->meter()));
        app->configuration().findChild<QCheckBox*>(QStringLiteral("cbGr"))->click();
        QVERIFY(!graphPanel->isVisibleTo(&app->meter()));
        for (QAction* item : app->shell().trayMenu()->actions())
            QVERIFY2(item->isEnabled(), qPrintable(item->text()));
        // The schedule runs in the service, not in a window.
        QVERIFY(app->recording() && app->recording()->scheduled());
        QCOMPARE(app->recording()->periodMs(), 300000);
        // Every window carries the program's icon.
        for (QWidget* window : std::initializer_list<QWidget*>{&app->shell(), &app->chooser(), &app->configuration(),
                                                               &app->graph(), &app->meter(), &app->about(),
                                                               &app->totals(), &app->stopwatch(), &app->histogram()})
            QVERIFY2(!window->windowIcon().availableSizes().isEmpty(), qPrintable(window->objectName()));
    }

    // A first run records and shows the interface of the default route; once a settings file exists,
    // the user's choice stands, even when it is nothing.
    void firstRunChecksTheDefaultRoute_data()
    {
        QTest::addColumn<bool>("settingsFile");
        QTest::addColumn<QString>("route");
        QTest::addColumn<bool>("eth0Marked");
        QTest::newRow("first run, route through eth0") << false << "eth0" << true;
        QTest::newRow("first run, route through an unlisted interface") << false << "wlan0" << false;
        QTest::newRow("first run, no default route") << false << QString() << false;
        QTest::newRow("settings saying nothing is checked") << true << "eth0" << false;
    }
    void firstRunChecksTheDefaultRoute()
    {
        QFETCH(bool, settingsFile);
        QFETCH(QString, route);
        QFETCH(bool, eth0Marked);
        QVERIFY(QFile::remove(SettingsStore::DefaultPath()));
        if (settingsFile)
        {
            SettingsStore store;
            store.writeString(QStringLiteral("lrec"), QStringLiteral("00FF00"));
            QVERIFY(store.sync());
        }
        m_defaultRoute = route.isEmpty() ? std::nullopt : std::optional<QString>(route);
        auto app = Start({});
        m_defaultRoute.reset();
        const InterfaceMarks eth0 = app->settings().marks(0);
        QCOMPARE(eth0.statistics, eth0Marked);
        QCOMPARE(eth0.graph1, eth0Marked);
        QVERIFY(!eth0.graph2);
        QVERIFY(!app->settings().marks(1).statistics && !app->settings().marks(1).graph1);
        // What the first run chose is what the recorder records.
        (*m_source->table)[0] = InterfaceRow{"eth0", 1100, 2010};
        app->closeChain();
        QCOMPARE(QDir(m_storeDir->filePath(QStringLiteral("eth0"))).exists(), eth0Marked);
    }

    // A new user starts the program from any folder, with no settings: the graph, the totals and the
    // histogram read the interface being recorded from the store root, with no box and no search by hand.
    void firstRunReadsTheRecordedInterface()
    {
        QVERIFY(QFile::remove(SettingsStore::DefaultPath()));
        const QDate today = QDate::currentDate();
        const QByteArray day = QByteArray::number(QDate(1899, 12, 30).daysTo(today));
        // Another interface's folder sorts first: the recorded one must be taken, not the first.
        for (const char* name : {"aaa", "eth0"})
        {
            const QString dir = m_storeDir->filePath(QString::fromLatin1(name));
            QVERIFY(QDir().mkpath(dir));
            Write(dir + QStringLiteral("/nic.inf"), "[VORP DB]\r\nifname=" + QByteArray(name) + "\r\n[data]\r\n" + day +
                                                        "D=3145728\r\n" + day + "U=1048576\r\n");
            Write(dir + QLatin1Char('/') + QString::fromLatin1(day) + QStringLiteral(".mdf"),
                  "00:05:003145728U1048576\r\n");
        }
        QTemporaryDir elsewhere;
        const QString started = QDir::currentPath();
        const auto back = qScopeGuard([&started] { QDir::setCurrent(started); });
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        m_defaultRoute = QStringLiteral("eth0");
        auto app = Start({});
        m_defaultRoute.reset();

        app->totals().refresh();
        QVERIFY(app->totals().ready());
        QCOMPARE(app->totals().findChild<QLabel*>(QStringLiteral("Label14"))->text(), QStringLiteral("eth0"));
        QCOMPARE(app->chooser().selectedDirectory(), m_storeDir->filePath(QStringLiteral("eth0")));
        QVERIFY(app->graph().draw());
        QVERIFY(app->graph().ready());
        QCOMPARE(app->graph().lastLoad().daysRead, QList<int>{day.toInt()});
        app->histogram().redraw();
        QVERIFY(app->histogram().buckets().largest() > 0);
        // No box but the notice that this desktop has no notification area.
        QStringList boxes = app->messages().shownTexts();
        boxes.removeIf(
            [](const QString& text) { return text.startsWith(QStringLiteral("Aucune zone de notification")); });
        QCOMPARE(boxes, QStringList());
        // What was taken is what the next start opens.
        QVERIFY(app->saveSettings(app->desktopErrors()));
        SettingsStore saved;
        QCOMPARE(saved.readString(QStringLiteral("Graphfile")), m_storeDir->filePath(QStringLiteral("eth0")));
    }

    // Under a dark palette every text of every window can be read: designed colours on the designed
    // backgrounds (the meter's, the chart's) stay dark, captions on the palette's background lighten.
    void everyWindowReadableOnADarkPalette()
    {
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        QApplication::setPalette(DarkPalette());
        auto app = Start({});
        // The meter's rate text comes with its first tick.
        const QLabel* rate = app->meter().findChild<QLabel*>(QStringLiteral("Label1"));
        QTRY_VERIFY(!rate->text().isEmpty());
        for (QWidget* window :
             std::initializer_list<QWidget*>{&app->chooser(), &app->configuration(), &app->graph(), &app->meter(),
                                             &app->about(), &app->totals(), &app->stopwatch(), &app->histogram()})
            QVERIFY2(UnreadableTexts(window).isEmpty(),
                     qPrintable(window->objectName() + QStringLiteral(": ") + UnreadableTexts(window).join(u' ')));
    }

    void withoutNotificationAreaTheMeterCarriesTheMenuAndASecondStartBringsItBack()
    {
        auto app = Start({}); // the offscreen platform has no notification area
        QVERIFY(app->meter().isVisible());
        QVERIFY(app->shell().findChild<QAction*>(QStringLiteral("Meter1"))->isChecked());
        QAction* quitItem = app->shell().findChild<QAction*>(QStringLiteral("Quitter1"));
        QVERIFY(app->meter().findChild<QMenu*>(QStringLiteral("PopupMenu1"))->actions().contains(quitItem));
        QCOMPARE(app->messages().shown().size(), size_t(1));

        app->meter().close();
        QVERIFY(!app->meter().isVisible());
        app->activate(std::nullopt);
        QVERIFY(app->meter().isVisible());
        QVERIFY(app->shell().findChild<QAction*>(QStringLiteral("Meter1"))->isChecked());

        // Minimised, it comes back whole.
        app->meter().showMinimized();
        app->activate(std::nullopt);
        QVERIFY(!app->meter().isMinimized());
    }

    void commandLineHandsTheBaseNameOverOnce_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("base");
        QTest::newRow("one argument") << QStringList{QStringLiteral("/x/38153.mdf")} << "/x/38153.mdf";
        QTest::newRow("two arguments") << QStringList{QStringLiteral("a"), QStringLiteral("b")} << QString();
    }
    void commandLineHandsTheBaseNameOverOnce()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, base);
        auto app = Start(arguments);
        app->shell().endSplash();
        QCOMPARE(app->graph().pictureBaseName(), base);
        QCOMPARE(app->graph().isVisible(), !base.isEmpty());
    }

    void aSecondStartsArgumentDrawsTheGraph()
    {
        auto app = Start({});
        app->shell().endSplash();
        QVERIFY(!app->graph().isVisible());
        app->activate(QStringLiteral("/x/38153.mdf"));
        QCOMPARE(app->graph().pictureBaseName(), QStringLiteral("/x/38153.mdf"));
        QVERIFY(app->graph().isVisible());
    }

    // The desktop entry's actions: the window an option names shows at a first start, and in the running
    // copy when a second start hands the option over; the meter stays as it was for the other windows.
    void windowOptionsShowTheirWindow_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("--meter") << QStringLiteral("--meter");
        QTest::newRow("--graph") << QStringLiteral("--graph");
        QTest::newRow("--totals") << QStringLiteral("--totals");
    }
    void windowOptionsShowTheirWindow()
    {
        QFETCH(QString, option);
        const auto window = [&option](Application& app) -> QWidget& {
            if (option == QLatin1String("--graph"))
                return app.graph();
            if (option == QLatin1String("--totals"))
                return app.totals();
            return app.meter();
        };
        {
            auto first = Start({option});
            QVERIFY(window(*first).isVisible());
            QVERIFY(first->graph().pictureBaseName().isEmpty());
            first->closeChain();
        }
        auto app = Start({});
        app->shell().endSplash();
        app->meter().hide();
        app->activate(option);
        QVERIFY(window(*app).isVisible());
        QCOMPARE(app->meter().isVisible(), option == QLatin1String("--meter"));
        QVERIFY(app->graph().pictureBaseName().isEmpty());
    }

    void quitRecordsALastSampleAndSaves()
    {
        auto app = Start({});
        (*m_source->table)[0] = InterfaceRow{"eth0", 1100, 2010};
        app->shell().findChild<QAction*>(QStringLiteral("Quitter1"))->trigger();
        QVERIFY(!app->recording()->scheduled());
        const QDir eth0(m_storeDir->filePath(QStringLiteral("eth0")));
        const QStringList days = eth0.entryList({QStringLiteral("*.mdf")});
        QCOMPARE(days.size(), 1);
        QVERIFY(ReadAll(eth0.filePath(days[0])).endsWith("100U10\r\n"));
        QVERIFY(SettingsStore().exists(QStringLiteral("lrec")));
        // A second way out runs nothing twice.
        app->closeChain();
        QCOMPARE(ReadAll(eth0.filePath(days[0])).count("\r\n"), 1);
    }

    void aCopyWithoutTheLockNeverRecords()
    {
        auto app = Start({}, false);
        QVERIFY(!app->recording());
        (*m_source->table)[0] = InterfaceRow{"eth0", 1100, 2010};
        app->closeChain();
        QVERIFY(!QDir(m_storeDir->filePath(QStringLiteral("eth0"))).exists());
        // It says so, without a modal box.
        QTRY_COMPARE(app->desktopErrors().shown().size(), qsizetype(1));
        QVERIFY(app->desktopErrors().shown().at(0).contains(QStringLiteral("n'enregistre pas")));
    }

    // While the recorder service holds the store, the desktop copy shows everything, records nothing and
    // says so only in its configuration window; when the service ends, this copy records.
    void besideTheRecorderServiceThenInItsPlace()
    {
        auto app = Start({}, false, true);
        QVERIFY(!app->recording());
        QVERIFY(app->configuration().recordingElsewhereShown());
        (*m_source->table)[0] = InterfaceRow{"eth0", 1100, 2010};
        app->meter().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app->meter()));

        app->startRecording();
        QVERIFY(app->recording() && app->recording()->scheduled());
        QVERIFY(!app->configuration().recordingElsewhereShown());
        (*m_source->table)[0] = InterfaceRow{"eth0", 1300, 2050};
        app->closeChain();
        const QDir eth0(m_storeDir->filePath(QStringLiteral("eth0")));
        const QStringList days = eth0.entryList({QStringLiteral("*.mdf")});
        QCOMPARE(days.size(), 1);
        // From the counters of the moment it took over.
        QVERIFY(ReadAll(eth0.filePath(days[0])).endsWith("200U40\r\n"));
        QVERIFY(app->desktopErrors().shown().isEmpty());
    }

    // While this copy does not record, whatever the reason, its tray hint says so under the rates; once it
    // records, the line goes.
    void theTrayHintSaysWhenThisCopyDoesNotRecord_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("line");
        QTest::newRow("the recorder service holds the store")
            << QStringLiteral("service") << QStringLiteral("N'enregistre pas : le service vorp-recorder enregistre");
        QTest::newRow("the lock cannot be taken")
            << QStringLiteral("lock") << QStringLiteral("N'enregistre pas : verrou des statistiques indisponible");
        QTest::newRow("the store cannot be written")
            << QStringLiteral("unwritable") << QStringLiteral("N'enregistre pas : statistiques impossibles à écrire");
        QTest::newRow("no checked interface is present")
            << QStringLiteral("absent") << QStringLiteral("N'enregistre pas : aucune interface cochée présente");
        QTest::newRow("recording paused from the meter")
            << QStringLiteral("paused") << QStringLiteral("N'enregistre pas : enregistrement suspendu");
        QTest::newRow("another copy took the lock")
            << QStringLiteral("taken") << QStringLiteral("N'enregistre pas : une autre copie enregistre");
    }
    void theTrayHintSaysWhenThisCopyDoesNotRecord()
    {
        QFETCH(QString, why);
        QFETCH(QString, line);
        QTemporaryDir blocked;
        if (why == QLatin1String("unwritable"))
        {
            QFile file(blocked.filePath(QStringLiteral("file")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            qputenv("VORP_HOME", (file.fileName() + QStringLiteral("/store")).toUtf8());
        }
        if (why == QLatin1String("absent"))
        {
            SettingsStore settings;
            WriteInterfaceMarks(settings, QStringLiteral("eth0"), InterfaceMarks{false, false, false});
            WriteInterfaceMarks(settings, QStringLiteral("wlan0"), InterfaceMarks{true, false, false});
            QVERIFY(settings.sync());
        }
        auto app =
            Start({}, why != QLatin1String("service") && why != QLatin1String("lock"), why == QLatin1String("service"));
        if (why == QLatin1String("unwritable"))
        {
            (*m_source->table)[0] = InterfaceRow{"eth0", 1100, 2010};
            app->recording()->recordNow();
        }
        else if (why == QLatin1String("paused"))
        {
            // The meter's own button, as a user in debug mode presses it.
            auto* button = app->meter().findChild<QPushButton*>(QStringLiteral("Button1"));
            QVERIFY(button);
            button->click();
            QVERIFY(!app->recording()->scheduled());
        }
        else if (why == QLatin1String("taken"))
            app->stopRecording(QStringLiteral("VORP n'enregistre plus."));
        QCOMPARE(app->recordingNote(), line);
        QTRY_VERIFY2(app->shell().trayHint().endsWith(QLatin1Char('\n') + line), qPrintable(app->shell().trayHint()));
        app->closeChain();
    }

    void aCopyThatRecordsSaysNothingMore()
    {
        auto app = Start({});
        QVERIFY(app->recordingNote().isEmpty());
        QTRY_VERIFY(!app->shell().trayHint().isEmpty());
        QVERIFY(!app->shell().trayHint().contains(QStringLiteral("enregistre")));
        app->closeChain();
    }

    void errorsAreShownWithoutAModalLoop()
    {
        auto app = Start({});
        app->desktopErrors().setRecordOnly(false);
        app->desktopErrors().showError(QStringLiteral("Impossible d'écrire dans /a"));
        QMessageBox* box = app->desktopErrors().box();
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::NonModal);
        QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
        // A second message reuses the open box rather than stacking another.
        app->desktopErrors().showError(QStringLiteral("Impossible d'écrire dans /b"));
        QCOMPARE(app->desktopErrors().box(), box);
        QCOMPARE(box->text(), QStringLiteral("Impossible d'écrire dans /b"));
    }
};

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
