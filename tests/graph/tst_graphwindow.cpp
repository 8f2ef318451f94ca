// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Clock.h"
#include "common/DayNumber.h"
#include "common/ErrorReporter.h"
#include "common/widgets/MessageBoxes.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "graph/widgets/GraphWindow.h"
#include "graph/widgets/SaveFileDialog.h"
#include "reports/widgets/FolderChooser.h"
#include "support/Contrast.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gif_lib.h>
#include <sys/stat.h>

#include <memory>

namespace
{
const QDate kSelected(2004, 6, 15); // day 38153
constexpr int kSelectedDay = 38153;
constexpr int kDaysStored = 60;
// Series colours of the model, none of them a default, so that the window cannot get them elsewhere:
// receive, send, receive peak, send peak as texts and as read (0xBBGGRR).
const char* const kColourTexts[4] = {"0080FF", "FF8000", "004080", "800080"};
const QRgb kColours[4] = {qRgb(0xFF, 0x80, 0x00), qRgb(0x00, 0x80, 0xFF), qRgb(0x80, 0x40, 0x00),
                          qRgb(0x80, 0x00, 0x80)};
const QRgb kReceive = kColours[0];
const QRgb kBackground = qRgb(0xF5, 0xF5, 0xF5);

QByteArray Line(const char* time, qint64 in, qint64 out)
{
    return QByteArray(time) + QByteArray::number(in) + 'U' + QByteArray::number(out) + "\r\n";
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The first image of a GIF file, decoded by giflib; null when the file is not a GIF.
QImage DecodeGif(const QString& path)
{
    int error = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!gif)
        return {};
    QImage image;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0)
    {
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
        image = QImage(gif->SWidth, gif->SHeight, QImage::Format_RGB32);
        for (int y = 0; y < frame.ImageDesc.Height; ++y)
            for (int x = 0; x < frame.ImageDesc.Width; ++x)
            {
                const GifColorType c = map->Colors[frame.RasterBits[y * frame.ImageDesc.Width + x]];
                image.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
            }
    }
    DGifCloseFile(gif, &error);
    return image;
}

// Controls are reached by their objectName, as the window map names them.
template <typename T> T* Control(const QWidget& window, const char* objectName)
{
    T* control = window.findChild<T*>(QLatin1String(objectName));
    if (!control)
        qFatal("%s has no control %s", qPrintable(window.objectName()), objectName);
    return control;
}
} // namespace

class TestGraphWindow final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_root;     // the store root, with its trailing "/"
    QString m_statsDir; // a statistics directory with sixty days of samples
    QString m_selected; // what the chooser reports
    bool m_checkAnswer = true;
    int m_checks = 0;
    int m_chooserShown = 0;
    QStringList m_chooserPointedAt;
    MessageBoxes m_boxes;
    CollectingErrorReporter m_errors;
    SaveFileDialog m_saveDialog;
    TestClock m_clock{QDateTime(kSelected, QTime(18, 0))};
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<Settings> m_settings;

    GraphPeers peers()
    {
        GraphPeers p;
        p.selectedDirectory = [this] { return m_selected; };
        p.setChooserDirectory = [this](const QString& dir) { m_chooserPointedAt.append(dir); };
        p.checkDirectory = [this] {
            ++m_checks;
            return m_checkAnswer;
        };
        p.showChooser = [this] { ++m_chooserShown; };
        return p;
    }

    std::unique_ptr<GraphWindow> window()
    {
        return std::make_unique<GraphWindow>(*m_settings, m_boxes, m_errors, m_saveDialog, m_clock, m_root, peers());
    }

    // Where a picture shows plot pixel (x, y): the drawing area moves to the top of the picture.
    static QPoint PicturePoint(const GraphWindow& w, int x, int y)
    {
        const QLabel* plot = Control<QLabel>(w, "im2");
        return QPoint(plot->x() + x, 1 + (plot->y() - Control<QLabel>(w, "shape")->y()) + y);
    }

    // The legend captions "Actuel In :" to "Max Out :".
    static QList<QRgb> CaptionColours(const GraphWindow& w)
    {
        QList<QRgb> colours;
        for (const char* caption : {"Label12", "Label13", "Label14", "Label15"})
            colours.append(Control<QLabel>(w, caption)->palette().color(QPalette::WindowText).rgb());
        return colours;
    }

    static void VerifyLayoutRestored(const GraphWindow& w)
    {
        QCOMPARE(Control<QLabel>(w, "shape")->geometry(), QRect(8, 120, 700, 235));
        QCOMPARE(Control<QLabel>(w, "im1")->geometry(), QRect(8, 120, 700, 235));
        QCOMPARE(Control<QLabel>(w, "im2")->geometry(), QRect(98, 132, 600, 200));
        QCOMPARE(Control<QGroupBox>(w, "GroupBox1")->pos(), QPoint(488, 0));
        QCOMPARE(w.size(), QSize(716, 355));
        QVERIFY(!w.saving());
        for (const char* control : {"cb", "Button2", "datep", "GroupBox1", "legd", "Panel2"})
            QVERIFY2(!Control<QWidget>(w, control)->isHidden(), control);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        m_root = m_tmp.path() + QStringLiteral("/Store/");
        m_statsDir = m_root + QStringLiteral("LAN Adapter");
        QVERIFY(QDir().mkpath(m_statsDir));
        QVERIFY(WriteFile(m_statsDir + QStringLiteral("/nic.inf"),
                          "[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=LAN Adapter\r\n"));
        // One sample at noon on each of sixty days; on the selected day also one five minutes before
        // the clock's 18:00, twice as large.
        for (int day = kSelectedDay - kDaysStored + 1; day <= kSelectedDay; ++day)
        {
            QByteArray bytes = Line("12:00:00", 300000, 30000);
            if (day == kSelectedDay)
                bytes += Line("17:55:00", 600000, 60000);
            QVERIFY(WriteFile(m_statsDir + QLatin1Char('/') + QString::number(day) + QStringLiteral(".mdf"), bytes));
        }
        QCOMPARE(DayNumber(kSelected), kSelectedDay);
    }

    void init()
    {
        m_selected = m_statsDir;
        m_checkAnswer = true;
        m_checks = m_chooserShown = 0;
        m_chooserPointedAt.clear();
        m_boxes = MessageBoxes();
        m_boxes.setNextAnswer(QMessageBox::Ok);
        m_errors.messages.clear();
        m_saveDialog = SaveFileDialog();
        m_saveDialog.setNextFileName(std::nullopt);
        QFile::remove(m_tmp.path() + QStringLiteral("/VORP.conf"));
        m_store = std::make_unique<SettingsStore>(m_tmp.path() + QStringLiteral("/VORP.conf"));
        m_settings = std::make_unique<Settings>();
        for (size_t i = 0; i < 4; ++i)
            m_settings->set(settings::Colours[i], QString::fromLatin1(kColourTexts[i]));
    }

    void controlsAndDefaults()
    {
        const auto w = window();
        QCOMPARE(w->objectName(), QStringLiteral("Form2"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Module Graphique"));
        // The design's 725 × 393 is the outer size; the client area it leaves holds the designed drawing area.
        QCOMPARE(w->size(), QSize(716, 355));
        QCOMPARE(w->minimumSize(), QSize(350, 250));
        QCOMPARE(w->maximumWidth(), 1122);

        const QStringList scale{QStringLiteral("64kbps (RTC, RNIS)"),
                                QStringLiteral("128kbps (RNIS double)"),
                                QStringLiteral("512kbps (ADSL, cable)"),
                                QStringLiteral("1024kbps (ADSL, cable)"),
                                QStringLiteral("10mbps (Ethernet)"),
                                QStringLiteral("100mbps (Fast Ethernet)"),
                                QStringLiteral("1gbps (Gigabit Ethernet)"),
                                QStringLiteral("Automatique"),
                                QStringLiteral("Manuel")};
        const QComboBox* scaleCombo = Control<QComboBox>(*w, "cb");
        QCOMPARE(scaleCombo->count(), scale.size());
        for (int i = 0; i < scale.size(); ++i)
            QCOMPARE(scaleCombo->itemText(i), scale[i]);
        QCOMPARE(scaleCombo->currentIndex(), 2);
        const QComboBox* periodCombo = Control<QComboBox>(*w, "cbG");
        QCOMPARE(periodCombo->count(), 4);
        QCOMPARE(periodCombo->itemText(3), QStringLiteral("Année"));
        QCOMPARE(periodCombo->currentText(), QStringLiteral("Journée"));
        const QSpinBox* fullScale = Control<QSpinBox>(*w, "spdspin");
        QCOMPARE(fullScale->value(), 65536);
        QCOMPARE(fullScale->minimum(), 1);
        QCOMPARE(fullScale->maximum(), 2147483647);
        QVERIFY(fullScale->isReadOnly());
        QCOMPARE(Control<QSpinBox>(*w, "gradspin")->value(), 8);
        QCOMPARE(Control<QSpinBox>(*w, "gradspin")->maximum(), 999);
        QVERIFY(Control<QCheckBox>(*w, "cbmx")->isChecked());
        QVERIFY(Control<QRadioButton>(*w, "rb2")->isChecked());
        QVERIFY(Control<QRadioButton>(*w, "cbgd")->isChecked());
        QVERIFY(!Control<QCheckBox>(*w, "legd")->isChecked());
        QCOMPARE(Control<QDateEdit>(*w, "datep")->date(), kSelected);
        QVERIFY(Control<QCheckBox>(*w, "autorec")->isHidden());
        QVERIFY(Control<QCheckBox>(*w, "tous")->isHidden());
        QVERIFY(Control<QFrame>(*w, "paProg")->isHidden());
        QVERIFY(Control<QPushButton>(*w, "Button5")->isHidden());
        const QTimer* autoSaveTimer = Control<QTimer>(*w, "Timer1");
        QCOMPARE(autoSaveTimer->interval(), 300000);
        QVERIFY(!autoSaveTimer->isActive());
        QCOMPARE(Control<QTimer>(*w, "Timer2")->interval(), 5000);
        QVERIFY(w->busyIdle());
        QVERIFY(!w->drawnOnce());

        const std::pair<const char*, const char*> captions[] = {{"Label1", "Graduations :"},
                                                                {"Label2", "Echelle :"},
                                                                {"Label3", "Vitesse :"},
                                                                {"Label4", "octets/s"},
                                                                {"Label6", "Graphique :"},
                                                                {"Label8", "Sens de génération :"},
                                                                {"Label9", "Tracer a partir du :"},
                                                                {"Label11", "Progression :"},
                                                                {"Label12", "Actuel In :"},
                                                                {"Label17", "Moyenne Out :"},
                                                                {"lbProg", "0%"},
                                                                {"Label7", "700x235"}};
        for (const auto& [name, text] : captions)
            QCOMPARE(w->findChild<QLabel*>(QString::fromLatin1(name))->text(), QString::fromUtf8(text));
        const std::pair<const char*, const char*> buttons[] = {{"Button2", "Tracer"},
                                                               {"Button3", "Effacer"},
                                                               {"Button4", "Ouvrir"},
                                                               {"BitBtn1", "Enregistrer"},
                                                               {"Button6", "-"},
                                                               {"Button7", "+"},
                                                               {"legd", "Légende"},
                                                               {"cbmx", "Dessiner pics"},
                                                               {"autorec", "Enregistrement auto"},
                                                               {"tous", "Tous"},
                                                               {"rb1", "Octets"},
                                                               {"rb2", "Bits"},
                                                               {"cbdg", "Droite à Gauche"},
                                                               {"cbgd", "Gauche à Droite"},
                                                               {"Button5", "Redimensionner"}};
        for (const auto& [name, text] : buttons)
            QCOMPARE(w->findChild<QAbstractButton*>(QString::fromLatin1(name))->text(), QString::fromUtf8(text));
        QCOMPARE(Control<QGroupBox>(*w, "GroupBox1")->title(), QStringLiteral("Statistiques"));
        // The captions are the legend: receive, send, receive peak, send peak.
        QCOMPARE(CaptionColours(*w), QList<QRgb>(std::begin(kColours), std::end(kColours)));

        // "Redimensionner" trades "Tracer" for a resizable frame and back.
        QPushButton* resize = Control<QPushButton>(*w, "Button5");
        const QPushButton* draw = Control<QPushButton>(*w, "Button2");
        resize->click();
        QVERIFY(!draw->isEnabled());
        QCOMPARE(resize->text(), QStringLiteral("OK"));
        resize->click();
        QVERIFY(draw->isEnabled());
        QCOMPARE(resize->text(), QStringLiteral("Redimensionner"));
    }

    void drawEachPeriod_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("daysRead");
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("mean");
        // W = 600 columns. "Actuel" is column 1; "Moyenne" sums columns 1 to 599 and divides by 600.
        // Journée: days 38153..38151 (the end of 38150 is 792 columns back); 17:55 lands in column 1,
        // 600000 / 300 / 1024 × 8 = 15.625; noon of 38153 and 38152 in columns 72 and 360, noon of
        // 38151 in column 648, outside: 1200000 / 600 / 1024 × 8 / 300 = 0.0520.
        QTest::newRow("Journée") << 0 << 3 << QStringLiteral("15,62 K/s (3%)") << QStringLiteral("0,05 K/s (0%)");
        // Semaine: 13 days (the end of 38140 is 612 columns back); 17:55 in column 0; noons in
        // columns 12, 60, ..., 588: 3900000 / 600 / 1024 × 8 / 1800 = 0.0282.
        QTest::newRow("Semaine") << 1 << 13 << QStringLiteral("0 K/s (0%)") << QStringLiteral("0,02 K/s (0%)");
        // Mois: 51 days (the end of 38102 is 600 columns back), noons in columns 3, 15, ..., 591 and 603,
        // outside: 15000000 / 600 / 1024 × 8 / 7200 = 0.0271.
        QTest::newRow("Mois") << 2 << 51 << QStringLiteral("0 K/s (0%)") << QStringLiteral("0,02 K/s (0%)");
        // Année: all 60 days, noon of day 38153 − c in column c: column 1 holds 300000 bytes,
        // 300000 / 86400 / 1024 × 8 = 0.0271; 17700000 / 600 / 1024 × 8 / 86400 = 0.0027.
        QTest::newRow("Année") << 3 << 60 << QStringLiteral("0,02 K/s (0%)") << QStringLiteral("0 K/s (0%)");
    }

    void drawEachPeriod()
    {
        QFETCH(int, period);
        QFETCH(int, daysRead);
        QFETCH(QString, actual);
        QFETCH(QString, mean);
        const auto w = window();
        Control<QComboBox>(*w, "cbG")->setCurrentIndex(
            period); // choosing a period draws, except the one already selected
        if (period == 0)
            w->draw();
        QCOMPARE(m_checks, 1);
        QCOMPARE(w->lastLoad().daysRead.size(), daysRead);
        QCOMPARE(w->lastLoad().daysRead.first(), kSelectedDay);
        QCOMPARE(Control<QLabel>(*w, "actueld")->text(), actual);
        // 600000 × 8 / 1024 × 100 / 300 = 1562.5; 600000 / 300 / 65536 = 3.05 %
        QCOMPARE(Control<QLabel>(*w, "maxd")->text(), QStringLiteral("15,62 K/s (3%)"));
        QCOMPARE(Control<QLabel>(*w, "maxu")->text(), QStringLiteral("1,56 K/s (0%)"));
        QCOMPARE(Control<QLabel>(*w, "moyd")->text(), mean);
        QVERIFY(Control<QFrame>(*w, "paProg")->isHidden());
        QCOMPARE(Control<QLabel>(*w, "lbProg")->text(), QStringLiteral("Dessin en cours..."));
        QVERIFY(w->busyIdle());
        QVERIFY(w->drawnOnce());
        QVERIFY(!w->cleared());
        QCOMPARE(w->plotLayer().size(), QSize(600, 200));
        QCOMPARE(w->axesLayer().size(), QSize(700, 235));
        const QImage shown = Control<QLabel>(*w, "im2")->pixmap().toImage();
        QVERIFY(shown == w->plotLayer().convertToFormat(shown.format()));
        if (period == 0)
        {
            // Column 72 (noon, 1000 B/s, 3.05 rows at P = 200 / 65536) is drawn at x = 73 from the bottom
            // up to row 197 (the line leaves out its end, row 196); row 199 is the frame.
            const QImage plot = w->plotLayer();
            QCOMPARE(plot.pixel(73, 198), kReceive);
            QCOMPARE(plot.pixel(73, 197), kReceive);
            QCOMPARE(plot.pixel(73, 196), kBackground);
            QCOMPARE(plot.pixel(74, 198), kBackground);
        }
    }

    void drawDuringDrawRefused()
    {
        const auto w = window();
        bool busyInside = false;
        bool panelInside = false;
        // Runs while the draw lets events run after opening its first day file.
        QTimer::singleShot(0, w.get(), [&] {
            busyInside = !w->busyIdle();
            panelInside = !Control<QFrame>(*w, "paProg")->isHidden();
            w->draw();
            w->saveScheduledPicture();
        });
        w->draw();
        QVERIFY(busyInside);
        QVERIFY(panelInside);
        QCOMPARE(m_checks, 1); // the requests made inside were refused
        QVERIFY(w->busyIdle());
        QVERIFY(Control<QFrame>(*w, "paProg")->isHidden());
        QVERIFY(w->lastPicture().isNull()); // the timer tick did not save a half-drawn graph
    }

    void failedChecks()
    {
        const auto w = window();
        w->draw();
        const QImage drawn = w->plotLayer();
        const QString max = Control<QLabel>(*w, "maxd")->text();

        // The directory is gone: "Base inexistante", nothing read, the graph and figures stay.
        m_selected = m_root + QStringLiteral("Gone");
        w->draw();
        QCOMPARE(m_boxes.shown().size(), size_t(1));
        QCOMPARE(m_boxes.shown()[0].caption, QStringLiteral("VORP Beta4"));
        QCOMPARE(m_boxes.shown()[0].text, QStringLiteral("Base inexistante"));
        QCOMPARE(m_checks, 1); // the chooser's check is not run
        QVERIFY(!w->ready());
        QVERIFY(w->plotLayer() == drawn);
        QCOMPARE(Control<QLabel>(*w, "maxd")->text(), max);
        QVERIFY(Control<QFrame>(*w, "paProg")->isHidden());
        QVERIFY(w->busyIdle());

        // The chooser rejects the directory: the draw completes with an empty graph.
        m_selected = m_statsDir;
        m_checkAnswer = false;
        w->draw();
        QCOMPARE(m_checks, 2);
        QVERIFY(w->lastLoad().daysRead.isEmpty());
        QCOMPARE(Control<QLabel>(*w, "maxd")->text(), QStringLiteral("0 K/s (0%)"));
        QCOMPARE(w->plotLayer().pixel(73, 198), kBackground);
        QVERIFY(w->ready()); // set again at the end of a complete draw
        QVERIFY(Control<QFrame>(*w, "paProg")->isHidden());
        QVERIFY(w->busyIdle());
    }

    // Day files that are not read (a link, a FIFO) are named once per draw through the queued error
    // reporter, never a box: a draw also runs from the picture timer. The other days are drawn.
    void ignoredDayFilesReportedOncePerDraw()
    {
        const QString dir = m_root + QStringLiteral("Odd");
        QVERIFY(QDir().mkpath(dir));
        const auto dayPath = [&](int day) {
            return dir + QLatin1Char('/') + QString::number(day) + QStringLiteral(".mdf");
        };
        QVERIFY(WriteFile(dayPath(kSelectedDay), Line("17:55:00", 600000, 60000)));
        // Were the link followed, this sample would set the maximum.
        const QString outside = m_tmp.path() + QStringLiteral("/outside.mdf");
        QVERIFY(WriteFile(outside, Line("12:00:00", 60000000, 1)));
        QVERIFY(QFile::link(outside, dayPath(kSelectedDay - 1)));
        QVERIFY(::mkfifo(QFile::encodeName(dayPath(kSelectedDay - 2)).constData(), 0600) == 0);
        m_selected = dir;

        const auto w = window();
        w->draw();
        const QStringList once{
            QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire").arg(dayPath(kSelectedDay - 1)),
            QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire").arg(dayPath(kSelectedDay - 2))};
        QCOMPARE(m_errors.messages, once);
        QVERIFY(m_boxes.shown().empty());
        QCOMPARE(w->lastLoad().daysRead, (QList<int>{kSelectedDay, kSelectedDay - 1, kSelectedDay - 2}));
        QCOMPARE(Control<QLabel>(*w, "maxd")->text(), QStringLiteral("15,62 K/s (3%)"));
        w->draw();
        QCOMPARE(m_errors.messages, once + once);
    }

    void minusAndPlus()
    {
        const auto w = window();
        QPushButton* minus = Control<QPushButton>(*w, "Button6");
        QPushButton* plus = Control<QPushButton>(*w, "Button7");
        const QDateEdit* date = Control<QDateEdit>(*w, "datep");
        minus->click(); // before any draw: the date only
        QCOMPARE(date->date(), kSelected.addDays(-1));
        QCOMPARE(m_checks, 0);
        QVERIFY(!w->drawnOnce());
        plus->click();
        QCOMPARE(date->date(), kSelected);
        QCOMPARE(m_checks, 0);

        w->draw();
        minus->click();
        QCOMPARE(m_checks, 2);
        QCOMPARE(w->lastLoad().daysRead.first(), kSelectedDay - 1);
        Control<QComboBox>(*w, "cbG")->setCurrentIndex(3); // "-" and "+" move one day whatever the period
        plus->click();
        QCOMPARE(date->date(), kSelected);
        QCOMPARE(w->lastLoad().daysRead.first(), kSelectedDay);
    }

    void scalePresets_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<int>("afterDraw");
        QTest::newRow("64kbps is 8192 B/s") << 0 << 8192 << false << 8192;
        QTest::newRow("1gbps is 134217728 B/s") << 6 << 134217728 << false << 134217728;
        // The largest sample, 600000 bytes, div 300.
        QTest::newRow("Automatique takes the largest rate") << 7 << 1 << false << 2000;
        QTest::newRow("Manuel shows 1 and becomes editable") << 8 << 1 << true << 1;
    }

    void scalePresets()
    {
        QFETCH(int, item);
        QFETCH(int, shown);
        QFETCH(bool, editable);
        QFETCH(int, afterDraw);
        const auto w = window();
        int shownBeforeDraw = 0;
        const QSpinBox* fullScale = Control<QSpinBox>(*w, "spdspin");
        // Choosing a preset sets the scale, then draws; the draw's first event pass sees the preset.
        QTimer::singleShot(0, w.get(), [&] { shownBeforeDraw = fullScale->value(); });
        Control<QComboBox>(*w, "cb")->setCurrentIndex(item);
        QCOMPARE(shownBeforeDraw, shown);
        QCOMPARE(m_checks, 1);
        QCOMPARE(fullScale->isReadOnly(), !editable);
        QCOMPARE(fullScale->value(), afterDraw);
    }

    void resizeWipesTheGraph()
    {
        const auto w = window();
        w->draw();
        QVERIFY(!w->cleared());
        w->resize(900, 450);
        // A hidden window gets its resize event when shown.
        QResizeEvent resized(w->size(), QSize(716, 355));
        QCoreApplication::sendEvent(w.get(), &resized);
        QCOMPARE(Control<QLabel>(*w, "shape")->geometry(), QRect(8, 120, 884, 330));
        QCOMPARE(Control<QLabel>(*w, "im2")->geometry(), QRect(98, 132, 784, 295));
        QCOMPARE(Control<QLabel>(*w, "Label7")->text(), QStringLiteral("884x330"));
        QVERIFY(w->cleared());
        QCOMPARE(w->plotLayer().size(), QSize(784, 295));
        QCOMPARE(w->plotLayer().pixel(73, 292), kBackground);
        w->draw();
        QCOMPARE(w->plotLayer().size(), QSize(784, 295));
    }

    // A graph nobody has looked at costs no images: the erased layers are made when the window shows.
    void anErasedHiddenWindowHoldsNoImages()
    {
        const auto w = window();
        QVERIFY(Control<QLabel>(*w, "im2")->pixmap().isNull());
        QVERIFY(Control<QLabel>(*w, "im1")->pixmap().isNull());
        const QImage erased = w->plotLayer();
        QCOMPARE(erased.size(), Control<QLabel>(*w, "im2")->size());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(Control<QLabel>(*w, "im2")->pixmap().toImage().convertToFormat(erased.format()), erased);
        QCOMPARE(Control<QLabel>(*w, "im1")->pixmap().size(), Control<QLabel>(*w, "im1")->size());
        w->hide();
        w->draw(); // the picture timer draws in a hidden window
        QVERIFY(!Control<QLabel>(*w, "im2")->pixmap().isNull());
    }

    void saveByHand_data()
    {
        QTest::addColumn<bool>("legend");
        QTest::addColumn<QString>("family"); // of the application's font; empty for the default
        QTest::newRow("graph only") << false << QString();
        QTest::newRow("with the legend, 169 wider") << true << QString();
        QTest::newRow("with the legend in a wide font, still 169 wider") << true << QStringLiteral("DejaVu Sans Mono");
    }

    void saveByHand()
    {
        QFETCH(bool, legend);
        QFETCH(QString, family);
        const QFont applicationFont = QApplication::font();
        const auto restoreFont = qScopeGuard([&] { QApplication::setFont(applicationFont); });
        if (!family.isEmpty())
            QApplication::setFont(QFont(family));
        const auto w = window();
        const int width = 716 + (legend ? 169 : 0);
        Control<QCheckBox>(*w, "legd")->setChecked(legend);
        w->draw();
        const QString path = m_tmp.path() + QStringLiteral("/hand.gif");
        QFile::remove(path);
        m_saveDialog.setNextFileName(path);
        {
            QComboBox* period = Control<QComboBox>(*w, "cbG");
            const QSignalBlocker block(period);
            period->setCurrentIndex(1);
        }
        Control<QPushButton>(*w, "BitBtn1")->click();

        QCOMPARE(m_saveDialog.proposed(), QStringList{m_root + QStringLiteral("2004-06-15 Semaine.gif")});
        QVERIFY(m_errors.messages.isEmpty());
        const QImage picture = DecodeGif(path);
        QVERIFY(!picture.isNull());
        // The picture is the drawing area at the top of the client area, 1 + 235 rows high.
        QCOMPARE(picture.size(), QSize(width, 236));
        QCOMPARE(picture.pixel(PicturePoint(*w, 73, 198)), kReceive);
        QCOMPARE(picture.pixel(PicturePoint(*w, 73, 196)), kBackground);
        QVERIFY(picture == w->lastPicture().convertToFormat(QImage::Format_RGB32));
        if (legend)
        {
            // Beyond the window's own width only the group can have drawn: its dark text is there.
            const QImage beyond = picture.copy(716, 1, width - 716, 116);
            int dark = 0;
            for (int y = 0; y < beyond.height(); ++y)
                for (int x = 0; x < beyond.width(); ++x)
                    dark += qGray(beyond.pixel(x, y)) < 100 ? 1 : 0;
            QVERIFY(dark > 50);
        }
        QCOMPARE(QGuiApplication::clipboard()->image().size(), picture.size());
        VerifyLayoutRestored(*w);
        // As after every picture, the automatic-recording boxes are now shown.
        QVERIFY(!Control<QCheckBox>(*w, "autorec")->isHidden());
        QVERIFY(!Control<QCheckBox>(*w, "tous")->isHidden());
    }

    // A rate 25 times the scale, "13020,83 K/s (2543%)", is shown whole on the window and in a picture,
    // whose legend keeps its 169 pixels.
    void longRatesShownWhole()
    {
        const QString dir = m_root + QStringLiteral("Fast");
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(WriteFile(dir + QLatin1Char('/') + QString::number(kSelectedDay) + QStringLiteral(".mdf"),
                          Line("17:55:00", 500000000, 400000000)));
        m_selected = dir;
        const auto w = window();
        Control<QCheckBox>(*w, "legd")->setChecked(true);
        w->draw();
        // 500000000 / 300 / 1024 × 8 = 13020.83 K/s; 500000000 / 300 / 65536 = 25.43.
        QCOMPARE(Control<QLabel>(*w, "maxd")->text(), QStringLiteral("13020,83 K/s (2543%)"));
        QCOMPARE(Control<QLabel>(*w, "maxu")->text(), QStringLiteral("10416,66 K/s (2034%)"));
        const QGroupBox* group = Control<QGroupBox>(*w, "GroupBox1");
        for (const char* name : {"Label12", "Label13", "Label14", "Label15", "Label16", "Label17", "actueld", "actuelu",
                                 "maxd", "maxu", "moyd", "moyu"})
        {
            const QLabel* label = Control<QLabel>(*w, name);
            QVERIFY2(label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(label->text()), name);
            QVERIFY2(label->geometry().right() < group->contentsRect().right(), name);
        }

        QVERIFY(w->savePicture(GraphWindow::PictureSender::SaveButton)); // cancelled: the clipboard only
        const QImage picture = w->lastPicture().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.width(), 716 + 169);
        // The legend stands at 712; its text, black, ends clear of the group's right edge.
        const auto darkIn = [&picture](int left, int right) {
            int dark = 0;
            for (int y = 1 + 18; y < 1 + 116; ++y)
                for (int x = left; x <= right; ++x)
                    dark += qGray(picture.pixel(x, y)) < 80 ? 1 : 0;
            return dark;
        };
        QVERIFY(darkIn(712 + 100, 712 + 160) > 50);
        QCOMPARE(darkIn(712 + 165, 712 + 168), 0);
        VerifyLayoutRestored(*w);
    }

    // The chosen folder deleted or renamed: the tree moves to a neighbour by itself, but only the user
    // chooses. "Tracer" says "Base inexistante" and the graph keeps what it showed.
    void chosenFolderVanishes_data()
    {
        QTest::addColumn<bool>("renamed");
        QTest::newRow("deleted") << false;
        QTest::newRow("renamed") << true;
    }

    void chosenFolderVanishes()
    {
        QFETCH(bool, renamed);
        QTemporaryDir home;
        const QString root = home.path() + QLatin1Char('/');
        // Three interface folders with different traffic; the middle one is chosen.
        const QStringList names{QStringLiteral("A eth"), QStringLiteral("B lan"), QStringLiteral("C wifi")};
        for (int i = 0; i < names.size(); ++i)
        {
            const QString dir = root + names[i];
            QVERIFY(QDir().mkpath(dir));
            QVERIFY(WriteFile(dir + QStringLiteral("/nic.inf"), "[VORP DB]\r\nifname=" + names[i].toUtf8() + "\r\n"));
            QVERIFY(WriteFile(dir + QLatin1Char('/') + QString::number(kSelectedDay) + QStringLiteral(".mdf"),
                              Line("12:00:00", 3000000 * (i + 1), 1000)));
        }
        const QString chosen = root + names[1];

        FolderChooser chooser(m_boxes, home.path());
        GraphPeers p;
        p.selectedDirectory = [&chooser] { return chooser.selectedDirectory(); };
        p.checkDirectory = [&chooser] { return chooser.checkSelection(reports::CheckSender::Reader); };
        p.showChooser = [&chooser] { chooser.show(); };
        GraphWindow w(*m_settings, m_boxes, m_errors, m_saveDialog, m_clock, home.path(), p);
        ChooserPeers chooserPeers;
        chooserPeers.setGraphEnabled = [&w](bool enabled) { w.setEnabled(enabled); };
        chooserPeers.monitoredInterfaces = [] { return std::vector<bool>{true}; };
        chooserPeers.graphWindow = &w;
        chooser.setPeers(chooserPeers);
        chooser.setDirectory(root + names[0]);
        w.openChooser();

        // The user clicks the middle folder once the tree has listed it.
        auto* tree = Control<QTreeView>(chooser, "do1");
        // The open chooser's model: it exists only while the chooser is shown.
        const auto rowNamed = [&](const QString& name) {
            auto* model = qobject_cast<QFileSystemModel*>(tree->model());
            if (!model)
                return QModelIndex();
            const QModelIndex parent = model->index(home.path());
            for (int row = 0; row < model->rowCount(parent); ++row)
                if (model->fileName(model->index(row, 0, parent)) == name)
                    return model->index(row, 0, parent);
            return QModelIndex();
        };
        QTRY_VERIFY(rowNamed(names[1]).isValid() && rowNamed(names[2]).isValid());
        tree->scrollTo(rowNamed(names[1]));
        // On its name, where the user sees it once the tree is laid out.
        const auto onName = [&] {
            const QRect item = tree->visualRect(rowNamed(names[1]));
            return QPoint(item.left() + 8, item.center().y());
        };
        QTRY_VERIFY(tree->viewport()->rect().contains(onName()) && tree->indexAt(onName()) == rowNamed(names[1]));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, onName());
        QCOMPARE(chooser.selectedDirectory(), chosen);
        Control<QPushButton>(chooser, "OKBtn")->click();
        QVERIFY(w.isEnabled());
        QVERIFY(w.draw());
        const QImage drawn = w.plotLayer();
        const QString max = Control<QLabel>(w, "maxd")->text();
        QCOMPARE(max, QStringLiteral("156,25 K/s (30%)")); // 6000000 / 300 / 1024 × 8

        // The chooser is opened again and the folder goes while it lists it.
        w.openChooser();
        QTRY_VERIFY(rowNamed(names[1]).isValid());
        QCOMPARE(tree->currentIndex(), rowNamed(names[1]));
        if (renamed)
            QVERIFY(QDir(root).rename(names[1], QStringLiteral("D renamed")));
        else
            QVERIFY(QDir(chosen).removeRecursively());
        QTRY_VERIFY(!rowNamed(names[1]).isValid());
        QCOMPARE(chooser.selectedDirectory(), chosen);
        QVERIFY(!tree->currentIndex().isValid()); // no neighbour shown as chosen
        Control<QPushButton>(chooser, "CancelBtn")->click();
        QCOMPARE(chooser.selectedDirectory(), chosen);

        m_boxes.setNextAnswer(QMessageBox::Ok);
        const size_t shownBefore = m_boxes.shown().size();
        w.draw();
        QCOMPARE(m_boxes.shown().size(), shownBefore + 1);
        QCOMPARE(m_boxes.shown().back().text, QStringLiteral("Base inexistante"));
        QVERIFY(w.plotLayer() == drawn);
        QCOMPARE(Control<QLabel>(w, "maxd")->text(), max);
    }

    void saveCancelled()
    {
        const auto w = window();
        w->draw();
        m_saveDialog.setNextFileName(std::nullopt);
        const QStringList before = QDir(m_root).entryList(QDir::Files);
        QVERIFY(w->savePicture(GraphWindow::PictureSender::SaveButton));
        QCOMPARE(QDir(m_root).entryList(QDir::Files), before);
        QVERIFY(!w->lastPicture().isNull()); // still taken for the clipboard
        VerifyLayoutRestored(*w);
    }

    void failedWrite()
    {
        const auto w = window();
        Control<QCheckBox>(*w, "legd")->setChecked(true);
        w->draw();
        const QString path = m_tmp.path() + QStringLiteral("/no such folder/picture.gif");
        m_saveDialog.setNextFileName(path);
        QVERIFY(!w->savePicture(GraphWindow::PictureSender::SaveButton));
        QCOMPARE(m_errors.messages, QStringList{QStringLiteral("Impossible d'écrire dans ") + path});
        QVERIFY(!QFile::exists(path));
        VerifyLayoutRestored(*w);
        // The window goes on: the next picture is written.
        const QString good = m_tmp.path() + QStringLiteral("/after.gif");
        m_saveDialog.setNextFileName(good);
        QVERIFY(w->savePicture(GraphWindow::PictureSender::SaveButton));
        QVERIFY(!DecodeGif(good).isNull());
    }

    void saveAutomatically_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no base name: the store root")
            << QString() << QStringLiteral("%1 Journée.gif").arg(QStringLiteral("Store/"));
        QTest::newRow("base name from the command line")
            << QStringLiteral("auto/38153.mdf") << QStringLiteral("auto/38153.mdf Journée.gif");
    }

    void saveAutomatically()
    {
        QFETCH(QString, base);
        QFETCH(QString, expected);
        QVERIFY(QDir().mkpath(m_tmp.path() + QStringLiteral("/auto")));
        const QString file = m_tmp.path() + QLatin1Char('/') + expected;
        QFile::remove(file);
        const auto w = window();
        if (!base.isEmpty())
        {
            w->startFromCommandLine(m_tmp.path() + QLatin1Char('/') + base);
            QVERIFY(w->isVisible());
            QCOMPARE(m_checks, 1);
        }
        // "Enregistrement auto" with "Tous" unchecked: one picture at once, then one every 5 minutes.
        QCheckBox* autoSave = Control<QCheckBox>(*w, "autorec");
        const QTimer* autoSaveTimer = Control<QTimer>(*w, "Timer1");
        autoSave->click();
        QVERIFY(autoSave->isChecked());
        QVERIFY(autoSaveTimer->isActive());
        // Drawn and taken whether the window was ever shown or not.
        QCOMPARE(DecodeGif(file).pixel(PicturePoint(*w, 73, 198)), kReceive);
        QVERIFY(m_saveDialog.proposed().isEmpty());
        QFile::remove(file);
        autoSave->click(); // unticking still draws and saves once
        QVERIFY(!autoSave->isChecked());
        QVERIFY(!autoSaveTimer->isActive());
        QVERIFY(!DecodeGif(file).isNull());
        VerifyLayoutRestored(*w);
    }

    void everyPeriodSequence()
    {
        const QStringList names{QStringLiteral(" Journée.gif"), QStringLiteral(" Semaine.gif"),
                                QStringLiteral(" Mois.gif"), QStringLiteral(" Année.gif")};
        for (const QString& name : names)
            QFile::remove(m_root + name);
        const auto w = window();
        QComboBox* period = Control<QComboBox>(*w, "cbG");
        const QTimer* sequenceTimer = Control<QTimer>(*w, "Timer2");
        w->show();
        period->setCurrentIndex(2);
        Control<QCheckBox>(*w, "tous")->setChecked(true);
        w->saveScheduledPicture();
        QVERIFY(!w->isVisible());
        QVERIFY(sequenceTimer->isActive());
        QCOMPARE(period->currentIndex(), 0);
        QCOMPARE(w->lastLoad().daysRead.size(), 3);

        // Each step saves the graph drawn at the step before, then draws the next period.
        const int daysRead[] = {13, 51, 60};
        for (int step = 0; step < 3; ++step)
        {
            // A tick that comes while the step's draw runs waits (during the last draw the counter is
            // already past the end, and such a tick would end the sequence).
            int periodAfterNestedTick = -1;
            if (step < 2)
                QTimer::singleShot(0, w.get(), [&] {
                    w->stepPictureSequence();
                    periodAfterNestedTick = period->currentIndex();
                });
            w->stepPictureSequence();
            if (step < 2)
                QCOMPARE(periodAfterNestedTick, step + 1);
            const QImage saved = DecodeGif(m_root + names[step]);
            QVERIFY2(!saved.isNull(), qPrintable(names[step]));
            QCOMPARE(period->currentIndex(), step + 1);
            QCOMPARE(w->lastLoad().daysRead.size(), daysRead[step]);
            QVERIFY(!w->isVisible());
        }
        // Journée's noon column stands at x = 73 in the first picture only.
        QCOMPARE(DecodeGif(m_root + names[0]).pixel(PicturePoint(*w, 73, 198)), kReceive);
        QCOMPARE(DecodeGif(m_root + names[1]).pixel(PicturePoint(*w, 73, 198)), kBackground);

        w->stepPictureSequence();
        QVERIFY(!sequenceTimer->isActive());
        QVERIFY(w->isVisible());
        QCOMPARE(period->currentText(), QStringLiteral("Année"));
        QVERIFY(!QFile::exists(m_root + names[3])); // the year graph is left on the window unsaved
        QCOMPARE(m_checks, 5);                      // "Mois" selected by hand, then one draw per step
    }

    void navigation()
    {
        const auto w = window();
        w->openChooser();
        QCOMPARE(m_chooserShown, 1);
        QVERIFY(!w->isEnabled());
        w->setEnabled(true); // what the chooser does when it closes
        Control<QPushButton>(*w, "Button4")->click();
        QCOMPARE(m_chooserShown, 2);
        QVERIFY(!w->isEnabled());

        w->setDateAndDraw(kSelected.addDays(-2));
        QVERIFY(w->isVisible());
        QCOMPARE(Control<QDateEdit>(*w, "datep")->date(), kSelected.addDays(-2));
        QCOMPARE(w->lastLoad().daysRead.first(), kSelectedDay - 2);
    }

    void settings_data()
    {
        QTest::addColumn<bool>("graphfile");
        QTest::addColumn<bool>("legende");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("pointedAt");
        QTest::newRow("first run: nothing read") << false << false << QString() << QString();
        QTest::newRow("stored directory, no Legende group")
            << true << false << QStringLiteral("stats") << QStringLiteral("stats");
        QTest::newRow("whole group") << true << true << QStringLiteral("stats") << QStringLiteral("stats");
        QTest::newRow("stored directory gone: the store root")
            << true << true << QStringLiteral("gone") << QStringLiteral("root");
    }

    void settings()
    {
        QFETCH(bool, graphfile);
        QFETCH(bool, legende);
        QFETCH(QString, stored);
        QFETCH(QString, pointedAt);
        const auto path = [this](const QString& which) {
            return which == QStringLiteral("stats")  ? m_statsDir
                   : which == QStringLiteral("root") ? m_root
                                                     : m_root + QStringLiteral("gone");
        };
        if (graphfile)
            m_store->writeString(QStringLiteral("Graphfile"), path(stored));
        if (legende)
        {
            m_store->writeBool(QStringLiteral("Legende"), true);
            m_store->writeBool(QStringLiteral("Autorec"), true);
            m_store->writeBool(QStringLiteral("Tous"), true);
        }
        // Read only with "Graphfile"; "Type" is never read.
        m_store->writeBool(QStringLiteral("Vmax"), false);
        m_store->writeBool(QStringLiteral("Unite"), true);
        m_store->writeInt(QStringLiteral("Gradu"), 12);
        m_store->writeInt(QStringLiteral("Echelle"), 8);
        m_store->writeInt(QStringLiteral("Vitesse"), 5000);
        m_store->writeInt(QStringLiteral("Type"), 3);
        m_settings->load(*m_store, {});

        const auto w = window();
        QCOMPARE(m_chooserPointedAt, pointedAt.isEmpty() ? QStringList() : QStringList{path(pointedAt)});
        QCOMPARE(Control<QCheckBox>(*w, "cbmx")->isChecked(), !graphfile);
        QCOMPARE(Control<QRadioButton>(*w, "rb1")->isChecked(), graphfile);
        QCOMPARE(Control<QRadioButton>(*w, "rb2")->isChecked(), !graphfile);
        QCOMPARE(Control<QSpinBox>(*w, "gradspin")->value(), graphfile ? 12 : 8);
        QCOMPARE(Control<QComboBox>(*w, "cb")->currentIndex(), graphfile ? 8 : 2);
        const QSpinBox* fullScale = Control<QSpinBox>(*w, "spdspin");
        QCOMPARE(fullScale->value(), graphfile ? 5000 : 65536);
        QCOMPARE(fullScale->isReadOnly(), !graphfile); // "Manuel" makes it editable
        QCOMPARE(Control<QCheckBox>(*w, "legd")->isChecked(), legende);
        QCOMPARE(Control<QCheckBox>(*w, "autorec")->isChecked(), legende);
        QCOMPARE(Control<QCheckBox>(*w, "tous")->isChecked(), legende);
        QCOMPARE(Control<QTimer>(*w, "Timer1")->isActive(), legende);
        QComboBox* period = Control<QComboBox>(*w, "cbG");
        QCOMPARE(period->currentIndex(), 0);
        QCOMPARE(m_checks, 0); // reading the settings draws nothing

        // Written back at the save as the controls now stand, and nothing else of the model touched.
        period->blockSignals(true);
        period->setCurrentIndex(2);
        const QList<int> ownRows{settings::GraphFolder.row,     settings::GraphAutoSave.row,
                                 settings::GraphLegend.row,     settings::GraphAllPeriods.row,
                                 settings::GraphPeakScale.row,  settings::GraphUnitOctets.row,
                                 settings::GraphGradations.row, settings::GraphScaleIndex.row,
                                 settings::GraphFullScale.row,  settings::GraphPeriod.row};
        QSignalSpy changed(m_settings.get(), &Settings::changed);
        QVERIFY(m_settings->save(*m_store));
        for (const QList<QVariant>& signal : changed)
            QVERIFY2(ownRows.contains(signal.at(0).toInt()), qPrintable(QString::number(signal.at(0).toInt())));
        const SettingsStore written(m_store->path());
        for (const char* name : {"Autorec", "Legende", "Tous", "Vmax", "Unite", "Gradu", "Echelle", "Vitesse", "Type"})
            QVERIFY2(written.exists(QLatin1String(name)), name);
        const auto flag = [&written](const char* name) {
            return written.readBool(QLatin1String(name)).value_or(false);
        };
        const auto number = [&written](const char* name) { return written.readInt(QLatin1String(name)).value_or(-1); };
        QCOMPARE(written.readString(QStringLiteral("Graphfile")).value_or(QString()), m_statsDir);
        QCOMPARE(flag("Autorec"), legende);
        QCOMPARE(flag("Legende"), legende);
        QCOMPARE(flag("Tous"), legende);
        QCOMPARE(flag("Vmax"), !graphfile);
        QCOMPARE(flag("Unite"), graphfile);
        QCOMPARE(number("Gradu"), graphfile ? 12 : 8);
        QCOMPARE(number("Echelle"), graphfile ? 8 : 2);
        QCOMPARE(number("Vitesse"), graphfile ? 5000 : 65536);
        QCOMPARE(number("Type"), 2);
    }

    // Under a dark palette every caption, the series legend included, stays readable.
    void textsStayReadableOnADarkPalette()
    {
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        QApplication::setPalette(DarkPalette());
        const auto w = window();
        w->show();
        QCOMPARE(UnreadableTexts(w.get()), QStringList());
    }

    void coloursFollowTheModel_data()
    {
        QTest::addColumn<int>("series");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QRgb>>("captions");
        const QList<QRgb> before(std::begin(kColours), std::end(kColours));
        auto with = [&](qsizetype i, QRgb c) {
            QList<QRgb> captions = before;
            captions[i] = c;
            return captions;
        };
        // Texts read as 0xBBGGRR: "0000FF" is red.
        QTest::newRow("receive 0000FF colours Actuel In red")
            << 0 << QStringLiteral("0000FF") << with(0, qRgb(0xFF, 0, 0));
        QTest::newRow("send 00FF00 colours Actuel Out green")
            << 1 << QStringLiteral("00FF00") << with(1, qRgb(0, 0xFF, 0));
        QTest::newRow("receive peak 123456 colours Max In")
            << 2 << QStringLiteral("123456") << with(2, qRgb(0x56, 0x34, 0x12));
        QTest::newRow("send peak 000000 colours Max Out black")
            << 3 << QStringLiteral("000000") << with(3, qRgb(0, 0, 0));
        QTest::newRow("the intersection colour is not the graph's") << 4 << QStringLiteral("000000") << before;
    }

    void coloursFollowTheModel()
    {
        QFETCH(int, series);
        QFETCH(QString, text);
        QFETCH(QList<QRgb>, captions);
        const auto w = window();
        w->show();
        m_settings->set(settings::Colours[static_cast<size_t>(series)], text);
        QCOMPARE(CaptionColours(*w), captions);
        // The next draw takes the new colours too.
        w->draw();
        QCOMPARE(w->plotLayer().pixel(73, 198), captions[0]);
        QCOMPARE(CaptionColours(*w), captions);
    }
};

QTEST_MAIN(TestGraphWindow)
#include "tst_graphwindow.moc"
