#include "FakeNavigator.h"

#include "reports/widgets/HistogramWindow.h"
#include "reports/widgets/MessageBoxes.h"
#include "reports/widgets/FolderChooser.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

class TestHistogramme final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        QFile f(m_tmp.path() + QStringLiteral("/nic.inf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // 1 July 2003: 1234 MiB received, 1 MiB sent; 15 July 2003: 12.5 MiB received.
        f.write("[VORP DB]\r\nifname=eth0\r\n[data]\r\n37803D=1293942784\r\n37803U=1048576\r\n"
                "37817D=13107200\r\n37817U=1\r\n");
    }

    void drawsReadsOutAndNavigates()
    {
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        chooser.setDirectory(m_tmp.path());
        FakeNavigator navigator;
        HistogramWindow histo(chooser, QDate(2003, 7, 20));
        histo.setNavigator(&navigator);
        QCOMPARE(histo.objectName(), QStringLiteral("histo"));
        QCOMPARE(histo.Edit1->text(), QStringLiteral("2003"));
        QCOMPARE(histo.Edit2->text(), QStringLiteral("7"));
        QCOMPARE(histo.cbMode->currentText(), QStringLiteral("Année"));
        QVERIFY(histo.rbDL->isChecked());
        QVERIFY(!histo.Edit1->isEnabled());

        histo.show(); // draws
        QVERIFY(boxes.shown().empty());
        QCOMPARE(histo.buckets().at(7), 1293942784.0f + 13107200.0f);
        // July's bar, green for DL, reaches down to the bottom of the bar image.
        const QImage bars = histo.imG->pixmap().toImage();
        QCOMPARE(bars.pixelColor(340, 200), QColor(0x00, 0xCC, 0x00));

        QTest::mouseMove(histo.imG, QPoint(330, 100));
        QCOMPARE(histo.Label1->text(), QStringLiteral("7/2003 : 1246 Mo"));

        // A left click on July's twelfth opens July by day.
        QTest::mouseClick(histo.imG, Qt::LeftButton, {}, QPoint(330, 100));
        QCOMPARE(histo.cbMode->currentIndex(), 1);
        QCOMPARE(histo.Edit2->text(), QStringLiteral("7"));
        QCOMPARE(histo.buckets().at(15), 13107200.0f);

        // In the month view the click uses the last pointer position.
        QTest::mouseMove(histo.imG, QPoint(290, 100));
        QCOMPARE(histo.Label1->text(), QStringLiteral("15/7/2003 : 12 Mo"));
        histo.imGMouseUp(Qt::LeftButton, 5);
        QCOMPARE(navigator.dates, QList<QDate>{QDate(2003, 7, 15)});

        histo.imGMouseUp(Qt::RightButton, 5);
        QCOMPARE(histo.cbMode->currentIndex(), 0);
    }

    void buttonsWrapAndRedraw()
    {
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        chooser.setDirectory(m_tmp.path());
        HistogramWindow histo(chooser, QDate(2003, 12, 5));
        histo.bpm->click();
        QCOMPARE(histo.Edit2->text(), QStringLiteral("1"));
        QCOMPARE(histo.Edit1->text(), QStringLiteral("2004"));
        histo.bmm->click();
        QCOMPARE(histo.Edit2->text(), QStringLiteral("12"));
        QCOMPARE(histo.Edit1->text(), QStringLiteral("2003"));
        histo.bma->click();
        QCOMPARE(histo.Edit1->text(), QStringLiteral("2002"));
        histo.bpa->click();
        histo.rbUL->click();
        // July 2003 by month, UL: 1 MiB + 1 byte.
        QCOMPARE(histo.buckets().at(7), 1048577.0f);
    }

    void missingDescriptorStillDraws()
    {
        QTemporaryDir empty;
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, empty.path() + QStringLiteral("/other/"));
        chooser.setDirectory(empty.path());
        HistogramWindow histo(chooser, QDate(2003, 7, 20));
        histo.btDesClick();
        QCOMPARE(boxes.shown().size(), size_t(2)); // path message and question
        QVERIFY(!histo.imL->pixmap().isNull());
        QCOMPARE(histo.buckets().largest(), 0.0f);
    }
};

QTEST_MAIN(TestHistogramme)
#include "tst_histogramwindow.moc"
