#include "FakeNavigator.h"

#include "common/Clock.h"
#include "reports/widgets/MessageBoxes.h"
#include "reports/widgets/FolderChooser.h"
#include "reports/widgets/TotalsWindow.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestTotaux final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QFile f(m_tmp.path() + QStringLiteral("/nic.inf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // 30 June 2003 (2 MiB received) and 1 July 2003 (3 MiB).
        f.write("[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=eth0\r\n[data]\r\n"
                "37802D=2097152\r\n37802U=1024\r\n37803D=3145728\r\n37803U=0\r\n");
    }

    void loadFillsTheWindow()
    {
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        chooser.setDirectory(m_tmp.path());
        TestClock clock(QDateTime(QDate(2003, 7, 1), QTime(12, 0)));
        TotalsWindow totals(chooser, clock);
        totals.show();
        QVERIFY(totals.Timer1->isActive());
        totals.Timer1Timer();
        QVERIFY(!totals.Timer1->isActive());
        QVERIFY(boxes.shown().empty());
        QVERIFY(totals.ready());

        QCOMPARE(totals.Label14->text(), QStringLiteral("eth0"));
        QCOMPARE(totals.AujD->text(), QStringLiteral("3Mo"));
        QCOMPARE(totals.pd->text(), QStringLiteral("93Mo"));
        QCOMPARE(totals.Label9->text(), QStringLiteral("5Mo"));
        QCOMPARE(totals.GroupBox2->title(), QStringLiteral("Transferts depuis le 30/6/2003"));
        QCOMPARE(totals.grid1->rowCount(), 3);
        QCOMPARE(totals.grid1->item(0, 0)->text(), QStringLiteral("Date"));
        QCOMPARE(totals.grid1->item(1, 0)->text(), QStringLiteral("30/06/2003"));
        QCOMPARE(totals.grid1->item(1, 2)->text(), QStringLiteral("0 Mo"));
        QCOMPARE(totals.grid2->rowCount(), 3);
        QCOMPARE(totals.grid2->item(2, 0)->text(), QStringLiteral("7/2003"));

        // A second load rebuilds the tables rather than adding to them.
        totals.Button1Click();
        QCOMPARE(totals.grid1->rowCount(), 3);
    }

    void rightClickOnADayOpensTheGraph()
    {
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        chooser.setDirectory(m_tmp.path());
        TestClock clock(QDateTime(QDate(2003, 7, 1), QTime(12, 0)));
        FakeNavigator navigator;
        TotalsWindow totals(chooser, clock);
        totals.setNavigator(&navigator);
        totals.Button1Click();
        totals.show();
        const QRect row1 = totals.grid1->visualItemRect(totals.grid1->item(1, 0));
        QTest::mouseRelease(totals.grid1->viewport(), Qt::LeftButton, {}, row1.center());
        QVERIFY(navigator.dates.isEmpty());
        QTest::mouseRelease(totals.grid1->viewport(), Qt::RightButton, {}, row1.center());
        QCOMPARE(navigator.dates, QList<QDate>{QDate(2003, 7, 1)});
        const QRect header = totals.grid1->visualItemRect(totals.grid1->item(0, 0));
        QTest::mouseRelease(totals.grid1->viewport(), Qt::RightButton, {}, header.center());
        QCOMPARE(navigator.dates.size(), 1);

        totals.BitBtn1->click();
        QCOMPARE(navigator.chooserOpened, 1);
    }

    void failedCheckLeavesTheWindowAsItWas()
    {
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        chooser.setDirectory(m_tmp.path() + QStringLiteral("/gone"));
        TestClock clock;
        TotalsWindow totals(chooser, clock);
        totals.Button1Click();
        QVERIFY(!totals.ready());
        QCOMPARE(boxes.shown().size(), size_t(1));
        QCOMPARE(boxes.shown()[0].text, QStringLiteral("Base inexistante"));
        QCOMPARE(totals.Label14->text(), QStringLiteral("Interface"));
        QCOMPARE(totals.AujD->text(), QStringLiteral("0K"));
    }
};

QTEST_MAIN(TestTotaux)
#include "tst_totalswindow.moc"
