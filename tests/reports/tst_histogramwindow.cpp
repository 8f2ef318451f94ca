// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeNavigator.h"
#include "support/Contrast.h"

#include "common/widgets/MessageBoxes.h"
#include "reports/widgets/FolderChooser.h"
#include "reports/widgets/HistogramWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace
{
// Controls are reached by their objectName, as the window map names them.
template <typename T> T* Control(const QWidget& window, const char* objectName)
{
    T* control = window.findChild<T*>(QLatin1String(objectName));
    if (!control)
        qFatal("%s has no control %s", qPrintable(window.objectName()), objectName);
    return control;
}

// A release sent on its own: QTest would move the pointer to pos first.
void Release(QWidget* target, Qt::MouseButton button, const QPoint& pos)
{
    QMouseEvent release(QEvent::MouseButtonRelease, pos, target->mapToGlobal(pos), button, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}
} // namespace

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
        const QLineEdit* year = Control<QLineEdit>(histo, "Edit1");
        const QLineEdit* month = Control<QLineEdit>(histo, "Edit2");
        const QComboBox* view = Control<QComboBox>(histo, "cbMode");
        QLabel* bars = Control<QLabel>(histo, "imG");
        const QLabel* readOut = Control<QLabel>(histo, "Label1");
        QCOMPARE(year->text(), QStringLiteral("2003"));
        QCOMPARE(month->text(), QStringLiteral("7"));
        QCOMPARE(view->currentText(), QStringLiteral("Année"));
        QVERIFY(Control<QRadioButton>(histo, "rbDL")->isChecked());
        QVERIFY(!year->isEnabled());

        histo.show(); // draws
        QVERIFY(boxes.shown().empty());
        QCOMPARE(histo.buckets().at(7), 1293942784.0f + 13107200.0f);
        // July's bar, green for DL, reaches down to the bottom of the bar image.
        QCOMPARE(bars->pixmap().toImage().pixelColor(340, 200), QColor(0x00, 0xCC, 0x00));

        QTest::mouseMove(bars, QPoint(330, 100));
        QCOMPARE(readOut->text(), QStringLiteral("7/2003 : 1246 Mo"));

        // A left click on July's twelfth opens July by day.
        QTest::mouseClick(bars, Qt::LeftButton, {}, QPoint(330, 100));
        QCOMPARE(view->currentIndex(), 1);
        QCOMPARE(month->text(), QStringLiteral("7"));
        QCOMPARE(histo.buckets().at(15), 13107200.0f);

        // In the month view the click uses the last pointer position.
        QTest::mouseMove(bars, QPoint(290, 100));
        QCOMPARE(readOut->text(), QStringLiteral("15/7/2003 : 12 Mo"));
        Release(bars, Qt::LeftButton, QPoint(5, 100));
        QCOMPARE(navigator.dates, QList<QDate>{QDate(2003, 7, 15)});

        Release(bars, Qt::RightButton, QPoint(5, 100));
        QCOMPARE(view->currentIndex(), 0);
    }

    // The read-out is sized to its text and restated for every new view; a slot that is no day of
    // the month reads as nothing.
    void readOutFitsAndFollowsTheView()
    {
        QTemporaryDir store;
        QFile f(store.path() + QStringLiteral("/nic.inf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // 31 December 2026: 140000 MiB received.
        f.write("[VORP DB]\r\nifname=eth0\r\n[data]\r\n46387D=146800640000\r\n46387U=0\r\n");
        f.close();
        MessageBoxes boxes;
        FolderChooser chooser(boxes, store.path() + QStringLiteral("/"));
        chooser.setDirectory(store.path());
        HistogramWindow histo(chooser, QDate(2026, 12, 20));
        histo.show();
        QLabel* bars = Control<QLabel>(histo, "imG");
        const QLabel* readOut = Control<QLabel>(histo, "Label1");
        QVERIFY(readOut->text().isEmpty());
        QTest::mouseClick(bars, Qt::LeftButton, {}, QPoint(620, 100)); // December by day
        QTest::mouseMove(bars, QPoint(620, 100));
        QCOMPARE(readOut->text(), QStringLiteral("31/12/2026 : 140000 Mo"));
        QVERIFY(readOut->width() >= readOut->sizeHint().width());
        QVERIFY(readOut->geometry().right() < 8 + 713);
        // It stands on the chart's white: dark text whatever the palette.
        QApplication::setPalette(DarkPalette());
        QVERIFY(ContrastRatio(readOut->palette().color(QPalette::WindowText), Qt::white) >= 3.0);
        QApplication::setPalette(QPalette());

        Control<QPushButton>(histo, "bmm")->click(); // November has no 31st
        QCOMPARE(readOut->text(), QString());
        Control<QPushButton>(histo, "bpm")->click();
        QCOMPARE(readOut->text(), QStringLiteral("31/12/2026 : 140000 Mo"));
        Control<QComboBox>(histo, "cbMode")->setCurrentIndex(0);
        Control<QRadioButton>(histo, "rbUL")->click();
        QCOMPARE(readOut->text(), QStringLiteral("12/2026 : 0 Mo"));
        QVERIFY(boxes.shown().empty());
    }

    void buttonsWrapAndRedraw()
    {
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        chooser.setDirectory(m_tmp.path());
        HistogramWindow histo(chooser, QDate(2003, 12, 5));
        const QLineEdit* year = Control<QLineEdit>(histo, "Edit1");
        const QLineEdit* month = Control<QLineEdit>(histo, "Edit2");
        Control<QPushButton>(histo, "bpm")->click();
        QCOMPARE(month->text(), QStringLiteral("1"));
        QCOMPARE(year->text(), QStringLiteral("2004"));
        Control<QPushButton>(histo, "bmm")->click();
        QCOMPARE(month->text(), QStringLiteral("12"));
        QCOMPARE(year->text(), QStringLiteral("2003"));
        Control<QPushButton>(histo, "bma")->click();
        QCOMPARE(year->text(), QStringLiteral("2002"));
        Control<QPushButton>(histo, "bpa")->click();
        Control<QRadioButton>(histo, "rbUL")->click();
        // July 2003 by month, UL: 1 MiB + 1 byte.
        QCOMPARE(histo.buckets().at(7), 1048577.0f);
    }

    // A nic.inf that is a FIFO is not read (nor waited on): its reason, then the invalid file, once per
    // draw; the chart is drawn empty.
    void fifoDescriptorIsNamedOncePerDraw()
    {
        QTemporaryDir store;
        const QString path = store.path() + QStringLiteral("/nic.inf");
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, store.path() + QStringLiteral("/"));
        chooser.setDirectory(store.path());
        HistogramWindow histo(chooser, QDate(2003, 7, 20));
        const QStringList once{QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire").arg(path),
                               QStringLiteral("Fichier Statistiques invalide ou incompatible")};
        histo.redraw();
        QCOMPARE(boxes.shownTexts(), once);
        QVERIFY(!Control<QLabel>(histo, "imL")->pixmap().isNull());
        QCOMPARE(histo.buckets().largest(), 0.0f);
        histo.redraw();
        QCOMPARE(boxes.shownTexts(), once + once);
    }

    void missingDescriptorStillDraws()
    {
        QTemporaryDir empty;
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, empty.path() + QStringLiteral("/other/"));
        chooser.setDirectory(empty.path());
        HistogramWindow histo(chooser, QDate(2003, 7, 20));
        histo.redraw();
        QCOMPARE(boxes.shown().size(), size_t(2)); // path message and question
        QVERIFY(!Control<QLabel>(histo, "imL")->pixmap().isNull());
        QCOMPARE(histo.buckets().largest(), 0.0f);
    }
};

QTEST_MAIN(TestHistogramme)
#include "tst_histogramwindow.moc"
