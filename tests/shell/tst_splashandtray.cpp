// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/AboutBox.h"
#include "shell/widgets/SplashAndTray.h"

#include <QCursor>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace
{
template <typename T> T* Control(const QObject& window, const char* objectName)
{
    T* control = window.findChild<T*>(QLatin1String(objectName));
    if (!control)
        qFatal("%s has no control %s", qPrintable(window.objectName()), objectName);
    return control;
}

// Counts the timer events of timers with the given interval, whichever object holds them.
class TimerTicks final : public QObject
{
public:
    explicit TimerTicks(int interval) : m_interval(interval) {}
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            if (const auto* timer = qobject_cast<QTimer*>(watched); timer && timer->interval() == m_interval)
                ++count;
        return false;
    }

private:
    int m_interval;
};
} // namespace

class TestSplashAndTray final : public QObject
{
    Q_OBJECT

private slots:
    void menuInOrderWithItsCaptions()
    {
        SplashAndTray shell(std::nullopt);
        QStringList captions;
        for (QAction* a : shell.trayMenu()->actions())
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(
            captions,
            (QStringList{QStringLiteral("&Tachymetre"), QStringLiteral("&Graphique"), QStringLiteral("H&istogramme"),
                         QStringLiteral("Totau&x"), QStringLiteral("C&hronometre"), QStringLiteral("&Configuration"),
                         QStringLiteral("A &propos..."), QStringLiteral("-"), QStringLiteral("&Quitter")}));
        QCOMPARE(shell.trayMenu()->objectName(), QStringLiteral("PopupMenu2"));
        shell.setPeers(ShellPeers{});
        QVERIFY(!Control<QAction>(shell, "Graphique1")->isEnabled()); // windows that are not wired stay disabled
        QVERIFY(Control<QAction>(shell, "Quitter1")->isEnabled());
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
        auto* splashTimer = Control<QTimer>(shell, "Timer1");
        if (click)
            QTest::mouseClick(Control<QLabel>(shell, "Image1"), Qt::LeftButton);
        else
            splashTimer->setInterval(10);
        QTRY_COMPARE(ended.count(), 1);
        shell.endSplash(); // a late timer tick after a click changes nothing
        QCOMPARE(started, QStringList{QStringLiteral("base")});
        QCOMPARE(ended.count(), 1);
        QVERIFY(!shell.isVisible());
        QVERIFY(!splashTimer->isActive());
    }

    void noArgumentHandsNothingOver()
    {
        SplashAndTray shell(std::nullopt);
        int started = 0;
        ShellPeers peers;
        peers.startGraph = [&](const QString&) { ++started; };
        shell.setPeers(peers);
        shell.endSplash();
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
        auto* meterItem = Control<QAction>(shell, "Meter1");
        shell.toggleMeter(); // what a click on the icon does
        QVERIFY(visible);
        QVERIFY(meterItem->isChecked());
        meterItem->trigger();
        QVERIFY(!visible);
        QVERIFY(!meterItem->isChecked());
    }

    void topMostWatchRaisesOnlyACoveredTopMostMeter_data()
    {
        QTest::addColumn<bool>("staysOnTop");
        QTest::addColumn<bool>("meterChecked");
        QTest::addColumn<bool>("cursorOverMeter");
        QTest::addColumn<bool>("meterActive");
        QTest::addColumn<bool>("raised");
        QTest::newRow("on top, shown, cursor away, inactive: raised") << true << true << false << false << true;
        QTest::newRow("cursor over the meter: left alone") << true << true << true << false << false;
        QTest::newRow("meter active: left alone") << true << true << false << true << false;
        QTest::newRow("not on top: left alone") << false << true << false << false << false;
        QTest::newRow("meter item unchecked: left alone") << true << false << false << false << false;
    }
    void topMostWatchRaisesOnlyACoveredTopMostMeter()
    {
        QFETCH(bool, staysOnTop);
        QFETCH(bool, meterChecked);
        QFETCH(bool, cursorOverMeter);
        QFETCH(bool, meterActive);
        QFETCH(bool, raised);
        SplashAndTray shell(std::nullopt);
        int raises = 0;
        const QPoint cursor = QCursor::pos();
        const QRect frame = cursorOverMeter ? QRect(cursor - QPoint(5, 5), QSize(10, 10))
                                            : QRect(cursor + QPoint(100, 100), QSize(10, 10));
        ShellPeers peers;
        peers.meterStaysOnTop = [&] { return staysOnTop; };
        peers.meterFrame = [&] { return frame; };
        peers.meterActive = [&] { return meterActive; };
        peers.raiseTopMostWindows = [&] { ++raises; };
        shell.setPeers(peers);
        shell.setMeterChecked(meterChecked);

        auto* watch = Control<QTimer>(shell, "Timer2");
        TimerTicks ticks(watch->interval());
        watch->installEventFilter(&ticks);
        shell.startTopMostWatch();
        QTRY_VERIFY(ticks.count >= 1);
        QCOMPARE(raises, raised ? 1 : 0);
        // Once raised, the watch waits for the next activation; otherwise it keeps looking.
        QCOMPARE(watch->isActive(), !raised);
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
            Control<QAction>(shell, "Quitter1")->trigger();
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
        TimerTicks polls(5000);
        qApp->installEventFilter(&polls);
        shell.start(0); // the offscreen platform has no notification area
        QCOMPARE(handed, QList<QMenu*>{shell.trayMenu()});
        QVERIFY(!shell.hasTrayIcon());
        QVERIFY(!shell.showTrayMessage(QStringLiteral("VORP"), QStringLiteral("text")));

        // The watch goes on after the first wait, and the meter is not handed the menu again.
        QTRY_VERIFY_WITH_TIMEOUT(polls.count >= 1, 30000);
        QCOMPARE(handed, QList<QMenu*>{shell.trayMenu()});
        QVERIFY(!shell.hasTrayIcon());
    }

    // Every change of the icon is a message the panel acts on: the meter may set the hint and the image
    // at every tick, the icon takes them at once, then at most once per pace, the latest together, and
    // nothing when they are what it already shows.
    void theIconTakesTheHintAndImageAtMostOncePerPace()
    {
        SplashAndTray shell(std::nullopt);
        shell.setTrayHint(QStringLiteral("DL : 1kbps"));
        QCOMPARE(shell.shownTrayHint(), QStringLiteral("DL : 1kbps"));
        shell.setTrayHint(QStringLiteral("DL : 2kbps"));
        shell.setTrayImage(2);
        shell.setTrayHint(QStringLiteral("DL : 3kbps"));
        QCOMPARE(shell.shownTrayHint(), QStringLiteral("DL : 1kbps"));
        QCOMPARE(shell.shownTrayImage(), 0);
        QTRY_COMPARE(shell.shownTrayHint(), QStringLiteral("DL : 3kbps"));
        QCOMPARE(shell.shownTrayImage(), 2);
        // An image outside the four is the first one.
        shell.setTrayImage(9);
        QCOMPARE(shell.trayHint(), QStringLiteral("DL : 3kbps"));
        QTRY_COMPARE(shell.shownTrayImage(), 0);
    }

    void aboutBoxShowsTheSplashVersionAndClosesOnOk()
    {
        const SplashAndTray shell(std::nullopt);
        QCOMPARE(shell.versionText(), Control<QLabel>(shell, "Label1")->text());
        AboutBox about(shell.versionText());
        QCOMPARE(Control<QLabel>(about, "Label1")->text(), QStringLiteral("1.10.11.213"));
        about.show();
        QSignalSpy accepted(&about, &QDialog::accepted);
        Control<QPushButton>(about, "OKBtn")->click();
        QCOMPARE(accepted.count(), 1);
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(TestSplashAndTray)
#include "tst_splashandtray.moc"
