// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeNavigator.h"
#include "support/Contrast.h"

#include "common/Clock.h"
#include "common/widgets/MessageBoxes.h"
#include "reports/widgets/FolderChooser.h"
#include "reports/widgets/TotalsWindow.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
} // namespace

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
        const QTimer* loadTimer = Control<QTimer>(totals, "Timer1");
        QVERIFY(loadTimer->isActive());
        // Loading at once drops the load pending from showing.
        totals.refresh();
        QVERIFY(!loadTimer->isActive());
        QVERIFY(boxes.shown().empty());
        QVERIFY(totals.ready());

        QCOMPARE(Control<QLabel>(totals, "Label14")->text(), QStringLiteral("eth0"));
        QCOMPARE(Control<QLabel>(totals, "AujD")->text(), QStringLiteral("3Mo"));
        QCOMPARE(Control<QLabel>(totals, "pd")->text(), QStringLiteral("93Mo"));
        QCOMPARE(Control<QLabel>(totals, "Label9")->text(), QStringLiteral("5Mo"));
        QCOMPARE(Control<QGroupBox>(totals, "GroupBox2")->title(), QStringLiteral("Transferts depuis le 30/6/2003"));
        // The header row is the grid's fixed header, not a row that scrolls away with the days.
        const QTableWidget* daily = Control<QTableWidget>(totals, "grid1");
        const QTableWidget* monthly = Control<QTableWidget>(totals, "grid2");
        for (const QTableWidget* grid : {daily, monthly})
        {
            QVERIFY(!grid->horizontalHeader()->isHidden());
            QStringList header;
            for (int c = 0; c < grid->columnCount(); ++c)
                header << grid->horizontalHeaderItem(c)->text();
            QCOMPARE(header, (QStringList{QStringLiteral("Date"), QStringLiteral("DL"), QStringLiteral("UL"),
                                          QStringLiteral("Total")}));
            // Figures of the designed width leave nothing to scroll sideways.
            QTRY_COMPARE(grid->horizontalScrollBar()->maximum(), 0);
        }
        QCOMPARE(daily->rowCount(), 2);
        QCOMPARE(daily->item(0, 0)->text(), QStringLiteral("30/06/2003"));
        QCOMPARE(daily->item(0, 2)->text(), QStringLiteral("0 Mo"));
        QCOMPARE(monthly->rowCount(), 2);
        QCOMPARE(monthly->item(1, 0)->text(), QStringLiteral("7/2003"));

        // A second load rebuilds the tables rather than adding to them.
        totals.refresh();
        QCOMPARE(daily->rowCount(), 2);
    }

    // Damaged totals and the largest a day can carry: a damaged total is shown as such, never as a figure
    // (negative, infinite, in exponent form), the sums leave it out and say so, and no figure is cut.
    void damagedAndHugeTotalsAreWholeAndNeverFigures()
    {
        QTemporaryDir store;
        QFile f(store.path() + QStringLiteral("/nic.inf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray text = "[VORP DB]\r\nifname=eth0\r\n[data]\r\n37800D=-5000\r\n37800U=1e39\r\n"
                          "37801D=5.77e38\r\n37801U=1048576\r\n";
        // 1 July 2003 carries the most a day can forty times over: a wide figure of its own.
        for (int k = 0; k < 40; ++k)
            text += "37803D=1152921504606846976\r\n37803U=12345678901234567890\r\n";
        f.write(text);
        f.close();
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, store.path() + QStringLiteral("/"));
        chooser.setDirectory(store.path());
        TestClock clock(QDateTime(QDate(2003, 7, 1), QTime(12, 0)));
        TotalsWindow totals(chooser, clock);
        totals.show();
        QVERIFY(QTest::qWaitForWindowExposed(&totals));
        totals.refresh();
        QVERIFY(totals.ready());
        QCOMPARE(Control<QLabel>(totals, "Label14")->text(), QStringLiteral("eth0 : 43 totaux endommagés, comptés 0"));

        const auto isFigureOfNothing = [](const QString& cell) {
            return cell.startsWith(QLatin1Char('-')) || cell.contains(QLatin1String("inf")) ||
                   cell.contains(QLatin1String("nan")) || cell.contains(QLatin1String("e+"));
        };
        const QTableWidget* daily = Control<QTableWidget>(totals, "grid1");
        QCOMPARE(daily->item(0, 1)->text(), QStringLiteral("endommagé"));
        QCOMPARE(daily->item(0, 3)->text(), QStringLiteral("endommagé"));
        QCOMPARE(daily->item(1, 1)->text(), QStringLiteral("endommagé"));
        QCOMPARE(daily->item(2, 1)->text(), QStringLiteral("42949672960 Go"));
        for (const char* name : {"grid1", "grid2"})
        {
            const QTableWidget* grid = Control<QTableWidget>(totals, name);
            for (int r = 0; r < grid->rowCount(); ++r)
                for (int c = 0; c < grid->columnCount(); ++c)
                {
                    const QString cell = grid->item(r, c)->text();
                    QVERIFY2(!isFigureOfNothing(cell), qPrintable(cell));
                    QVERIFY2(grid->fontMetrics().horizontalAdvance(cell) + 6 <= grid->columnWidth(c), qPrintable(cell));
                }
        }
        for (const char* name : {"AujD", "AujU", "AujB", "pd", "pu", "pdu", "Label7", "Label8", "Label9"})
        {
            const QLabel* value = Control<QLabel>(totals, name);
            QVERIFY2(!isFigureOfNothing(value->text()), qPrintable(value->text()));
            QVERIFY2(QFontMetrics(value->font()).horizontalAdvance(value->text()) <= value->width(),
                     qPrintable(value->text()));
            QVERIFY(value->geometry().right() < value->parentWidget()->width());
        }
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
        totals.refresh();
        totals.show();
        const QTableWidget* daily = Control<QTableWidget>(totals, "grid1");
        const QRect row1 = daily->visualItemRect(daily->item(0, 0));
        QTest::mouseRelease(daily->viewport(), Qt::LeftButton, {}, row1.center());
        QVERIFY(navigator.dates.isEmpty());
        QTest::mouseRelease(daily->viewport(), Qt::RightButton, {}, row1.center());
        QCOMPARE(navigator.dates, QList<QDate>{QDate(2003, 7, 1)});
        // Below the last row there is no day.
        QTest::mouseRelease(daily->viewport(), Qt::RightButton, {}, row1.center() + QPoint(0, 100));
        QCOMPARE(navigator.dates.size(), 1);

        Control<QPushButton>(totals, "BitBtn1")->click();
        QCOMPARE(navigator.chooserOpened, 1);
    }

    // A nic.inf that is a link is not read: its reason, then the invalid file, once per load.
    void linkedDescriptorIsNamedOncePerLoad()
    {
        QTemporaryDir store;
        const QString path = store.path() + QStringLiteral("/nic.inf");
        QVERIFY(QFile::link(m_tmp.path() + QStringLiteral("/nic.inf"), path));
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, store.path() + QStringLiteral("/"));
        chooser.setDirectory(store.path());
        TestClock clock(QDateTime(QDate(2003, 7, 1), QTime(12, 0)));
        TotalsWindow totals(chooser, clock);
        const QStringList once{QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire").arg(path),
                               QStringLiteral("Fichier Statistiques invalide ou incompatible")};
        totals.refresh();
        QCOMPARE(boxes.shownTexts(), once);
        QVERIFY(!totals.ready());
        QCOMPARE(Control<QLabel>(totals, "Label14")->text(), QStringLiteral("Interface"));
        totals.refresh();
        QCOMPARE(boxes.shownTexts(), once + once);
    }

    // The designed colours stay under a light palette and every text stays readable under a dark one.
    void textsStayReadable_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light palette") << false;
        QTest::newRow("dark palette") << true;
    }
    void textsStayReadable()
    {
        QFETCH(bool, dark);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        if (dark)
            QApplication::setPalette(DarkPalette());
        MessageBoxes boxes;
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        TestClock clock;
        TotalsWindow totals(chooser, clock);
        QCOMPARE(UnreadableTexts(&totals), QStringList());
        const QColor green = Control<QLabel>(totals, "AujD")->palette().color(QPalette::WindowText);
        QCOMPARE(green == QColor(0x00, 0x80, 0x00), !dark);
        QCOMPARE(green.hslHue(), QColor(0x00, 0x80, 0x00).hslHue());
    }

    void failedCheckLeavesTheWindowAsItWas()
    {
        MessageBoxes boxes;
        boxes.setNextAnswer(QMessageBox::Cancel);
        FolderChooser chooser(boxes, m_tmp.path() + QStringLiteral("/"));
        chooser.setDirectory(m_tmp.path() + QStringLiteral("/gone"));
        TestClock clock;
        TotalsWindow totals(chooser, clock);
        totals.refresh();
        QVERIFY(!totals.ready());
        QCOMPARE(boxes.shown().size(), size_t(1));
        QCOMPARE(boxes.shown()[0].text, QStringLiteral("Base inexistante"));
        QCOMPARE(Control<QLabel>(totals, "Label14")->text(), QStringLiteral("Interface"));
        QCOMPARE(Control<QLabel>(totals, "AujD")->text(), QStringLiteral("0K"));
    }
};

QTEST_MAIN(TestTotaux)
#include "tst_totalswindow.moc"
