// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/MessageBoxes.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

// Boxes shown for real (no answer set).
class TestMessageBoxes final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(w))
                delete w;
    }

    // Each box opens over the window it serves when that window is shown, else over the active one, and
    // stays on top; it is as wide as its caption and the title bar's buttons need.
    void everyBoxOpensOverItsWindowAndStaysAbove_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("from"); // "shown", "hidden" or "none": the window handed to the box
        for (const char* kind : {"information", "ask", "notify"})
        {
            QTest::addRow("%s from its window", kind) << kind << "shown";
            QTest::addRow("%s from a hidden window: the active one", kind) << kind << "hidden";
            QTest::addRow("%s from no window: the active one", kind) << kind << "none";
        }
    }
    void everyBoxOpensOverItsWindowAndStaysAbove()
    {
        QFETCH(QString, kind);
        QFETCH(QString, from);
        QWidget active;
        active.setGeometry(40, 40, 200, 150);
        active.show();
        active.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&active));
        QWidget own;
        own.setGeometry(500, 300, 300, 200);
        if (from == QLatin1String("shown"))
            own.show();
        QWidget* const expected = from == QLatin1String("shown") ? &own : &active;

        MessageBoxes boxes;
        // The modal boxes live on the stack of the call: only what was seen of them remains.
        bool seen = false;
        QWidget* seenParent = nullptr;
        Qt::WindowFlags seenFlags;
        QRect seenGeometry;
        auto findBox = [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                {
                    seen = true;
                    seenParent = box->parentWidget();
                    seenFlags = box->windowFlags();
                    seenGeometry = box->geometry();
                    return box;
                }
            return static_cast<QMessageBox*>(nullptr);
        };
        // A modal box is looked at from inside its own loop, then answered.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (QMessageBox* box = findBox(); box && box->isModal())
                box->done(QMessageBox::Ok);
        });
        poll.start(10);
        QWidget* parent = from == QLatin1String("none") ? nullptr : &own;
        if (kind == QLatin1String("information"))
            boxes.information(parent, QStringLiteral("/tmp/"));
        else if (kind == QLatin1String("ask"))
            boxes.ask(parent, QStringLiteral("VORP"), QStringLiteral("?"), QMessageBox::Ok);
        else
        {
            boxes.notify(parent, QStringLiteral("/tmp/"));
            findBox();
        }
        QVERIFY(seen);
        QCOMPARE(seenParent, expected);
        QVERIFY(seenFlags & Qt::WindowStaysOnTopHint);
        QVERIFY(expected->geometry().contains(seenGeometry.center()));
        QFont bold = QApplication::font();
        bold.setBold(true);
        const QString caption = kind == QLatin1String("ask") ? QStringLiteral("VORP") : kApplicationTitle;
        QVERIFY(seenGeometry.width() >= QFontMetrics(bold).horizontalAdvance(caption) + 96);
    }

    // A notice takes the keyboard from the window that had it, a stay-on-top meter for one, so that Escape
    // closes it (on the private desktop too: desktop_messageboxes).
    void noticeTakesTheKeyboard()
    {
        QWidget meter(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
        meter.show();
        meter.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&meter));
        MessageBoxes boxes;
        boxes.notify(&meter, QStringLiteral("Aucune zone de notification n'a été trouvée."));
        QMessageBox* box = meter.findChild<QMessageBox*>();
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box, Qt::Key_Escape);
        QTRY_VERIFY(!meter.findChild<QMessageBox*>());
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
