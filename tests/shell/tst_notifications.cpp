// SPDX-License-Identifier: GPL-3.0-or-later
// Messages as desktop notifications on a private session bus (the test runs under dbus-run-session), with
// a notification service of the test's own on a second connection, or none.
#include "shell/widgets/Application.h"
#include "shell/widgets/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMessageBox>
#include <QTest>

namespace
{
// org.freedesktop.Notifications as a desktop runs it: it takes every message, or refuses them all.
class NotificationService final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Received
    {
        QString summary;
        QString body;
        int urgency = 0;
    };
    bool refuse = false;
    bool markup = false;
    QList<Received> received;

public slots:
    QStringList GetCapabilities()
    {
        return markup ? QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}
                      : QStringList{QStringLiteral("body")};
    }
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
                const QVariantMap& hints, int)
    {
        if (refuse)
        {
            sendErrorReply(QDBusError::Failed, QStringLiteral("no room on this screen"));
            return 0;
        }
        received.append({summary, body, hints.value(QStringLiteral("urgency")).toInt()});
        return uint(received.size());
    }
};

const QString kService = QLatin1String(DesktopNotifications::kService);
} // namespace

class TestNotifications final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: this test runs under dbus-run-session");
    }

    void aMessageIsNeverLost_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("urgency"); // 0: no notification taken
        QTest::addColumn<bool>("box");
        QTest::newRow("service, error: critical notification") << "accepts" << true << 2 << false;
        QTest::newRow("service, notice: normal notification") << "accepts" << false << 1 << false;
        QTest::newRow("no service on the bus: the box") << "none" << true << 0 << true;
        QTest::newRow("a service that refuses: the box") << "refuses" << true << 0 << true;
        QTest::newRow("a service that refuses a notice: the box") << "refuses" << false << 0 << true;
    }
    void aMessageIsNeverLost()
    {
        QFETCH(QString, service);
        QFETCH(bool, error);
        QFETCH(int, urgency);
        QFETCH(bool, box);
        NotificationService desktop;
        desktop.refuse = service == QLatin1String("refuses");
        QDBusConnection serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("svc"));
        const auto leave = qScopeGuard([&serviceBus] {
            serviceBus.unregisterService(kService);
            QDBusConnection::disconnectFromBus(QStringLiteral("svc"));
        });
        if (service != QLatin1String("none"))
        {
            QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &desktop,
                                              QDBusConnection::ExportAllSlots));
            QVERIFY(serviceBus.registerService(kService));
        }

        DesktopErrorReporter reporter([](const QString&, bool) { return false; });
        DesktopNotifications notifications(QDBusConnection::sessionBus());
        reporter.setNotifications(&notifications);
        const QString text = QStringLiteral("Impossible d'écrire dans /a");
        if (error)
            reporter.showError(text);
        else
            reporter.showInformation(text);

        QTRY_COMPARE(notifications.pending(), 0);
        if (box)
        {
            QTRY_VERIFY(reporter.box() && reporter.box()->isVisible());
            QCOMPARE(reporter.box()->text(), text);
            QCOMPARE(reporter.box()->icon(), error ? QMessageBox::Critical : QMessageBox::Information);
            QCOMPARE(reporter.box()->windowModality(), Qt::NonModal);
        }
        else
            QVERIFY(!reporter.box());
        QCOMPARE(desktop.received.size(), urgency ? 1 : 0);
        if (urgency)
        {
            QCOMPARE(desktop.received[0].summary, QStringLiteral("VORP Beta4"));
            QCOMPARE(desktop.received[0].body, text);
            QCOMPARE(desktop.received[0].urgency, urgency);
        }
    }

    // A service that reads markup gets the text escaped, so that it shows as written.
    void markupIsEscapedWhereTheServiceReadsIt()
    {
        NotificationService desktop;
        desktop.markup = true;
        QDBusConnection serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("md"));
        const auto leave = qScopeGuard([&serviceBus] {
            serviceBus.unregisterService(kService);
            QDBusConnection::disconnectFromBus(QStringLiteral("md"));
        });
        QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &desktop,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(serviceBus.registerService(kService));
        DesktopNotifications notifications(QDBusConnection::sessionBus());
        QTRY_VERIFY(notifications.readsMarkup());
        QVERIFY(notifications.send(QStringLiteral("VORP"), QStringLiteral("<b> & </b>"),
                                   DesktopNotifications::Urgency::Normal));
        QTRY_COMPARE(notifications.pending(), 0);
        QCOMPARE(desktop.received.size(), 1);
        QCOMPARE(desktop.received.last().body, QStringLiteral("&lt;b&gt; &amp; &lt;/b&gt;"));
    }
};

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
