// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/MessageBoxes.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

// Boxes shown for real (no answer set): each must have a parent and stay on top, or the stay-on-top
// meter can cover it.
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

    void everyBoxHasAParentAndStaysAbove_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("withParent");
        QTest::newRow("information from its window") << "information" << true;
        QTest::newRow("information from no window: the active one") << "information" << false;
        QTest::newRow("question from its window") << "ask" << true;
        QTest::newRow("question from no window: the active one") << "ask" << false;
        QTest::newRow("notice from its window") << "notify" << true;
        QTest::newRow("notice from no window: the active one") << "notify" << false;
    }
    void everyBoxHasAParentAndStaysAbove()
    {
        QFETCH(QString, kind);
        QFETCH(bool, withParent);
        QWidget active;
        active.show();
        active.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&active));
        QWidget own;

        MessageBoxes boxes;
        // The modal boxes live on the stack of the call: only what was seen of them remains.
        bool seen = false;
        QWidget* seenParent = nullptr;
        Qt::WindowFlags seenFlags;
        auto findBox = [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                {
                    seen = true;
                    seenParent = box->parentWidget();
                    seenFlags = box->windowFlags();
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
        QWidget* parent = withParent ? &own : nullptr;
        if (kind == QLatin1String("information"))
            boxes.information(parent, QStringLiteral("Base inexistante"));
        else if (kind == QLatin1String("ask"))
            boxes.ask(parent, QStringLiteral("VORP"), QStringLiteral("?"), QMessageBox::Ok);
        else
        {
            boxes.notify(parent, QStringLiteral("Aucune zone de notification"));
            findBox();
        }
        QVERIFY(seen);
        QCOMPARE(seenParent, withParent ? &own : &active);
        QVERIFY(seenFlags & Qt::WindowStaysOnTopHint);
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
