#include "config/SettingsStore.h"
#include "config/SettingsTable.h"
#include "config/widgets/ConfigWindow.h"
#include "graph/widgets/GraphWindow.h"
#include "meter/widgets/MeterWindow.h"
#include "shell/widgets/SplashAndTray.h"
#include "shell/widgets/Application.h"

#include <QCheckBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"

// The whole program in one process, on an exact interface table.
class TestVorpApp final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config, m_store;
    FixedTableSource* m_source = nullptr;

    std::unique_ptr<Application> Start(const QStringList& arguments)
    {
        auto source = std::make_unique<FixedTableSource>();
        source->table = InterfaceTable{{"eth0", 1000, 2000}, {"lo", 5, 5}};
        m_source = source.get();
        return std::make_unique<Application>(ParseCommandLine(arguments),
                                         AppEnvironment{QString(), std::move(source), 0, true});
    }

private slots:
    void init()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("VORP_HOME", m_store.path().toUtf8());
        QFile::remove(SettingsStore::DefaultPath());
        SettingsStore settings;
        WriteInterfaceMarks(settings, QStringLiteral("eth0"), InterfaceMarks{true, false, false});
        WriteInterfaceMarks(settings, QStringLiteral("lo"), InterfaceMarks{false, true, false});
        QVERIFY(settings.sync());
    }

    void windowsCreatedInOrderReadEachOther()
    {
        auto app = Start({});
        ConfigWindow& config = app->configuration();
        QCOMPARE(config.interfaceNames(), (QStringList{QStringLiteral("eth0"), QStringLiteral("lo")}));
        QVERIFY(config.statisticsChecked(0));
        QVERIFY(config.graph1Checked(1));
        // The meter, created after the configuration window, is driven by it.
        QVERIFY(app->meter().Shape2->isVisibleTo(&app->meter()));
        config.cbGr->click();
        QVERIFY(!app->meter().Shape2->isVisibleTo(&app->meter()));
        for (QAction* item : app->shell().PopupMenu2->actions())
            QVERIFY2(item->isEnabled(), qPrintable(item->text()));
    }

    void withoutNotificationAreaTheMeterCarriesTheMenu()
    {
        auto app = Start({});  // the offscreen platform has no notification area
        QVERIFY(app->meter().isVisible());
        QVERIFY(app->shell().Meter1->isChecked());
        QVERIFY(app->meter().PopupMenu1->actions().contains(app->shell().Quitter1));
        QCOMPARE(app->messages().shown().size(), size_t(1));
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
        app->shell().Timer1Timer();
        QCOMPARE(app->graph().pictureBaseName(), base);
        QCOMPARE(app->graph().isVisible(), !base.isEmpty());
    }

    void quitRecordsALastSampleAndSaves()
    {
        auto app = Start({});
        (*m_source->table)[0] = InterfaceRow{"eth0", 1100, 2010};
        app->shell().Quitter1->trigger();
        const QDir eth0(m_store.filePath(QStringLiteral("eth0")));
        const QStringList days = eth0.entryList({QStringLiteral("*.mdf")});
        QCOMPARE(days.size(), 1);
        QVERIFY(ReadAll(eth0.filePath(days[0])).endsWith("100U10\r\n"));
        QVERIFY(SettingsStore().exists(QStringLiteral("lrec")));
    }
};

QTEST_MAIN(TestVorpApp)
#include "tst_application.moc"
