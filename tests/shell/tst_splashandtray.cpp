#include "shell/widgets/SplashAndTray.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace
{
// Counts the timer events of 5-second timers, whichever object holds them.
class LatePolls final : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            if (const auto* timer = qobject_cast<QTimer*>(watched); timer && timer->interval() == 5000)
                ++count;
        return false;
    }
};
} // namespace

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
        QCOMPARE(
            captions,
            (QStringList{QStringLiteral("&Tachymetre"), QStringLiteral("&Graphique"), QStringLiteral("H&istogramme"),
                         QStringLiteral("Totau&x"), QStringLiteral("C&hronometre"), QStringLiteral("&Configuration"),
                         QStringLiteral("A &propos..."), QStringLiteral("-"), QStringLiteral("&Quitter")}));
        shell.setPeers(ShellPeers{});
        QVERIFY(!shell.Graphique1->isEnabled()); // windows that are not wired stay disabled
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
        shell.Timer1Timer(); // a late timer tick after a click changes nothing
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

    void quitAndClosingTheSplashRunTheCloseChainOnce_data()
    {
        QTest::addColumn<bool>("closeSplash");
        QTest::newRow("&Quitter") << false;
        QTest::newRow("closing the splash window, twice") << true;
    }
    void quitAndClosingTheSplashRunTheCloseChainOnce()
    {
        QFETCH(bool, closeSplash);
        SplashAndTray shell(std::nullopt);
        int quits = 0;
        ShellPeers peers;
        peers.quit = [&] { ++quits; };
        shell.setPeers(peers);
        shell.show();
        if (closeSplash)
        {
            QVERIFY(shell.close());
            QVERIFY(!shell.isVisible());
            QVERIFY(shell.close()); // closed again: still one close chain
        }
        else
        {
            shell.Quitter1->trigger();
        }
        QCOMPARE(quits, 1);
    }

    void withoutNotificationAreaTheMenuGoesToTheMeterOnce()
    {
        SplashAndTray shell(std::nullopt);
        QList<QMenu*> handed;
        ShellPeers peers;
        peers.noNotificationArea = [&](QMenu* m) { handed.append(m); };
        shell.setPeers(peers);
        // Ticks of the slow watch for a late notification area: the only 5-second timer here.
        LatePolls polls;
        qApp->installEventFilter(&polls);
        shell.start(0); // the offscreen platform has no notification area
        QCOMPARE(handed, QList<QMenu*>{shell.PopupMenu2});
        QVERIFY(!shell.hasTrayIcon());
        QVERIFY(!shell.showTrayMessage(QStringLiteral("VORP"), QStringLiteral("text")));

        // The watch goes on after the first wait, and the meter is not handed the menu again.
        QTRY_VERIFY_WITH_TIMEOUT(polls.count >= 1, 30000);
        QCOMPARE(handed, QList<QMenu*>{shell.PopupMenu2});
        QVERIFY(!shell.hasTrayIcon());
    }
};

QTEST_MAIN(TestGenmain)
#include "tst_splashandtray.moc"
