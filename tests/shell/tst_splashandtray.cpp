#include "shell/widgets/SplashAndTray.h"

#include <QSignalSpy>
#include <QTest>

class TestGenmain final : public QObject
{
    Q_OBJECT

private slots:
    void menuInOrderWithItsCaptions()
    {
        SplashAndTray shell(std::nullopt);
        QStringList captions;
        for (QAction* a : shell.PopupMenu2->actions())
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(captions, (QStringList{QStringLiteral("&Tachymetre"), QStringLiteral("&Graphique"),
                                        QStringLiteral("H&istogramme"), QStringLiteral("Totau&x"),
                                        QStringLiteral("C&hronometre"), QStringLiteral("&Configuration"),
                                        QStringLiteral("A &propos..."), QStringLiteral("-"), QStringLiteral("&Quitter")}));
        shell.setPeers(ShellPeers{});
        QVERIFY(!shell.Graphique1->isEnabled());  // windows that are not wired stay disabled
        QVERIFY(shell.Quitter1->isEnabled());
    }

    void splashEndsOnceByTimerOrClick_data()
    {
        QTest::addColumn<bool>("click");
        QTest::newRow("timer") << false;
        QTest::newRow("click") << true;
    }
    void splashEndsOnceByTimerOrClick()
    {
        QFETCH(bool, click);
        SplashAndTray shell(QStringLiteral("base"));
        QStringList started;
        ShellPeers peers;
        peers.startGraph = [&](const QString& base) { started << base; };
        shell.setPeers(peers);
        QSignalSpy ended(&shell, &SplashAndTray::splashEnded);
        shell.start(0);
        QVERIFY(shell.isVisible());
        QCOMPARE(shell.size(), QSize(286, 169));
        if (click)
            QTest::mouseClick(shell.Image1, Qt::LeftButton);
        else
            shell.Timer1->setInterval(10);
        QTRY_COMPARE(ended.count(), 1);
        shell.Timer1Timer();  // a late timer tick after a click changes nothing
        QCOMPARE(started, QStringList{QStringLiteral("base")});
        QCOMPARE(ended.count(), 1);
        QVERIFY(!shell.isVisible());
        QVERIFY(!shell.Timer1->isActive());
    }

    void noArgumentHandsNothingOver()
    {
        SplashAndTray shell(std::nullopt);
        int started = 0;
        ShellPeers peers;
        peers.startGraph = [&](const QString&) { ++started; };
        shell.setPeers(peers);
        shell.Timer1Timer();
        QCOMPARE(started, 0);
    }

    void trayClickTogglesTheMeterWithTheCheckMark()
    {
        SplashAndTray shell(std::nullopt);
        bool visible = false;
        ShellPeers peers;
        peers.meterVisible = [&] { return visible; };
        peers.setMeterVisible = [&](bool v) { visible = v; };
        shell.setPeers(peers);
        shell.TrayIcon1Click();
        QVERIFY(visible);
        QVERIFY(shell.Meter1->isChecked());
        shell.Meter1->trigger();
        QVERIFY(!visible);
        QVERIFY(!shell.Meter1->isChecked());
    }

    void quitRunsTheCloseQueryOnce()
    {
        SplashAndTray shell(std::nullopt);
        int saved = 0;
        ShellPeers peers;
        peers.saveSettings = [&] { ++saved; };
        shell.setPeers(peers);
        shell.Quitter1->trigger();
        QCOMPARE(saved, 1);
    }

    void withoutNotificationAreaTheMenuGoesToTheMeter()
    {
        SplashAndTray shell(std::nullopt);
        QMenu* handed = nullptr;
        ShellPeers peers;
        peers.noNotificationArea = [&](QMenu* m) { handed = m; };
        shell.setPeers(peers);
        shell.start(0);  // the offscreen platform has no notification area
        QCOMPARE(handed, shell.PopupMenu2);
        QVERIFY(shell.TrayIcon1 == nullptr);
    }
};

QTEST_MAIN(TestGenmain)
#include "tst_splashandtray.moc"
