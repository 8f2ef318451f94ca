// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ErrorReporter.h"
#include "config/Autostart.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/widgets/ColourSwatch.h"
#include "config/widgets/ConfigWindow.h"
#include "sampling/Sampler.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "support/Contrast.h"
#include "support/Files.h"

namespace
{
// One configuration window over a settings model loaded from a temporary configuration folder.
struct Rig
{
    explicit Rig(const QString& configHome,
                 const QStringList& names = {QStringLiteral("eth0"), QStringLiteral("wlan0"), QStringLiteral("lo")})
        : store(configHome + QStringLiteral("/VORP/VORP.conf"))
    {
        settings.load(store, names);
        settings.setStartWithSession(autostart.enabled());
        settings.setDebugMode(QFile::exists(QStringLiteral("debug.txt")));
        form = std::make_unique<ConfigWindow>(settings);
        form->messageBoxes().setRecordOnly(true);
    }

    bool save()
    {
        return SaveSettingsAndAutostart(settings, store, autostart, QCoreApplication::applicationFilePath(), errors);
    }
    template <typename T> T* control(const char* name) const
    {
        T* c = form->findChild<T*>(QLatin1String(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    QListWidget* list(const char* name) const { return control<QListWidget>(name); }
    QCheckBox* box(const char* name) const { return control<QCheckBox>(name); }
    QSpinBox* spin(const char* name) const { return control<QSpinBox>(name); }
    QSlider* slider(const char* name) const { return control<QSlider>(name); }
    QLineEdit* edit(int n) const { return control<QLineEdit>(("Edit" + QByteArray::number(n)).constData()); }
    ColourSwatch* swatch(int n) const { return control<ColourSwatch>(("Shape" + QByteArray::number(n)).constData()); }

    SettingsStore store;
    AutostartEntry autostart;
    Settings settings;
    CollectingErrorReporter errors;
    std::unique_ptr<ConfigWindow> form;
};

std::vector<bool> Checks(const QListWidget* list)
{
    std::vector<bool> checked;
    for (int i = 0; i < list->count(); ++i)
        checked.push_back(list->item(i)->checkState() == Qt::Checked);
    return checked;
}

void UserCheck(QListWidget* list, int row, bool checked)
{
    list->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}
} // namespace

class TestConfigWindow final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString configHome() const { return m_home->filePath(QStringLiteral("config")); }
    QString settingsPath() const { return configHome() + QStringLiteral("/VORP/VORP.conf"); }
    QString autostartPath() const { return configHome() + QStringLiteral("/autostart/vorp.desktop"); }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
        QDir::setCurrent(m_home->path());
    }

    void firstRunShowsEveryDefault()
    {
        Rig rig(configHome());
        ConfigWindow& f = *rig.form;
        QCOMPARE(f.windowTitle(), QStringLiteral("Configuration"));
        // The designed size, or more where the font needs it; never resized by hand.
        QCOMPARE(f.size(), f.size().expandedTo(QSize(522, 352)));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        auto* pages = rig.control<QTabWidget>("PageControl1");
        QCOMPARE(pages->tabText(0), QStringLiteral("Options Générales / Statistiques"));
        QCOMPARE(pages->tabText(1), QStringLiteral("Tachymetre"));
        QCOMPARE(pages->currentIndex(), 0);
        QCOMPARE(rig.control<QPushButton>("Button3")->text(), QStringLiteral("OK"));

        for (const char* name : {"lb", "lb1", "lb2"})
        {
            QListWidget* list = rig.list(name);
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->item(1)->text(), QStringLiteral("wlan0"));
            QCOMPARE(Checks(list), (std::vector<bool>{false, false, false}));
        }

        QVERIFY(!rig.box("cbWin")->isChecked());
        const QStringList colours{QStringLiteral("00CC00"), QStringLiteral("FF0000"), QStringLiteral("006600"),
                                  QStringLiteral("FF00FF"), QStringLiteral("01E5DD")};
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(rig.edit(n)->text(), colours[n - 1]);
        QCOMPARE(rig.swatch(2)->colour(), QColor(0, 0, 255));
        QCOMPARE(rig.swatch(5)->colour(), QColor(0xDD, 0xE5, 0x01));
        QVERIFY(!rig.box("cbBlend")->isChecked());
        QCOMPARE(rig.slider("tbBlend")->value(), 255);
        QCOMPARE(rig.slider("tbBlend")->maximum(), 255);
        QVERIFY(rig.box("cbGr")->isChecked());
        QVERIFY(rig.box("cbGr")->isEnabled());
        QVERIFY(rig.control<QRadioButton>("rb2")->isChecked());
        QCOMPARE(rig.spin("gradspin")->value(), 4);
        QCOMPARE(rig.spin("hspin")->value(), 30);
        QCOMPARE(rig.control<QComboBox>("cb")->currentIndex(), -1);
        QCOMPARE(rig.control<QComboBox>("cb")->count(), 9);
        QCOMPARE(rig.spin("spdspin")->value(), 65536);
        QVERIFY(!rig.spin("spdspin")->isEnabled());
        QVERIFY(rig.box("aot")->isChecked());
        QVERIFY(!rig.box("micro")->isChecked());
        QCOMPARE(rig.slider("tb")->value(), 20);
        QCOMPARE(rig.control<QLabel>("Label14")->text(), QStringLiteral("1000ms"));

        // Not in debug mode: no "test timer" and no rate label.
        QVERIFY(rig.control<QPushButton>("Button4")->isHidden());
        QVERIFY(rig.control<QLabel>("Label1")->isHidden());
        QVERIFY(!QFile::exists(settingsPath()));
    }

    // The button's text and icon are whole and the lists' empty check boxes can be seen, on a light or a dark
    // palette, at the toolkit's font and at a desktop's larger one; the window grows where it must.
    void textsWholeAndCheckBoxesVisible_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("pointSize"); // 0: the toolkit's own
        QTest::newRow("light palette") << false << 0;
        QTest::newRow("dark palette") << true << 0;
        QTest::newRow("light palette, 11-point font") << false << 11;
        QTest::newRow("dark palette, 11-point font") << true << 11;
    }
    void textsWholeAndCheckBoxesVisible()
    {
        QFETCH(bool, dark);
        QFETCH(int, pointSize);
        const QPalette palette = QApplication::palette();
        const QFont font = QApplication::font();
        const auto restore = qScopeGuard([&] {
            QApplication::setPalette(palette);
            QApplication::setFont(font);
        });
        if (dark)
            QApplication::setPalette(DarkPalette());
        if (pointSize > 0)
        {
            QFont larger = font;
            larger.setPointSize(pointSize);
            QApplication::setFont(larger);
        }
        Rig rig(configHome());
        ConfigWindow& f = *rig.form;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.width() >= 522 && f.height() >= 352);
        auto* button = rig.control<QPushButton>("BitBtn1");
        QVERIFY2(button->width() >= button->sizeHint().width(),
                 qPrintable(QStringLiteral("%1 < %2").arg(button->width()).arg(button->sizeHint().width())));
        QVERIFY(f.rect().contains(QRect(button->mapTo(&f, QPoint(0, 0)), button->size())));
        for (const char* name : {"lb", "lb1", "lb2"})
        {
            // An empty box, neither current nor selected, stands out from the list's base.
            QListWidget* list = rig.list(name);
            const QRect item = list->visualItemRect(list->item(1));
            QVERIFY(list->item(1)->checkState() == Qt::Unchecked && !list->item(1)->isSelected());
            const QImage image = list->viewport()->grab().toImage();
            const QColor base = list->palette().color(QPalette::Base);
            double best = 1.0;
            for (int y = item.top(); y <= item.bottom(); ++y)
                for (int x = item.left(); x < item.left() + item.height() + 4; ++x)
                    best = std::max(best, ContrastRatio(image.pixelColor(x, y), base));
            // On a light base the style's own grey outline stands; a dark one needs what UI parts need.
            QVERIFY2(best >= (dark ? 3.0 : 1.5),
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(name)).arg(best)));
        }
    }

    void debugModeAsksTheRecordingService()
    {
        QFile marker(QStringLiteral("debug.txt"));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        Rig rig(configHome());
        bool scheduled = true;
        rig.form->setRecordingQuery([&scheduled] { return scheduled; });
        auto* button = rig.control<QPushButton>("Button4");
        QVERIFY(!button->isHidden());
        QCOMPARE(button->text(), QStringLiteral("test timer"));
        QVERIFY(!rig.control<QLabel>("Label1")->isHidden());
        QCOMPARE(rig.control<QLabel>("Label1")->text(), QStringLiteral("0ko/s"));
        button->click();
        scheduled = false;
        button->click();
        QCOMPARE(rig.form->messageBoxes().shownTexts(),
                 (QStringList{QStringLiteral("Timer activé"), QStringLiteral("Timer désactivé")}));
    }

    void settingsRoundTrip_data()
    {
        QTest::addColumn<bool>("compact");
        QTest::newRow("graph hidden") << false;
        QTest::newRow("compact mode") << true;
    }

    void settingsRoundTrip()
    {
        QFETCH(bool, compact);
        {
            Rig rig(configHome());
            UserCheck(rig.list("lb"), 1, true);
            UserCheck(rig.list("lb1"), 0, true);
            UserCheck(rig.list("lb2"), 2, true);
            rig.box("cbWin")->setChecked(true);
            const QStringList colours{QStringLiteral("111111"), QStringLiteral("222222"), QStringLiteral("333333"),
                                      QStringLiteral("444444"), QStringLiteral("ABCDEF")};
            for (int n = 1; n <= 5; ++n)
            {
                rig.edit(n)->setText(colours[n - 1]);
                emit rig.edit(n)->editingFinished();
            }
            rig.box("cbBlend")->setChecked(true);
            rig.slider("tbBlend")->setValue(100);
            rig.box("cbGr")->setChecked(false);
            rig.box("micro")->setChecked(compact);
            rig.control<QRadioButton>("rb1")->setChecked(true);
            rig.spin("gradspin")->setValue(7);
            rig.spin("hspin")->setValue(60);
            auto* scale = rig.control<QComboBox>("cb");
            scale->setCurrentIndex(8);
            emit scale->activated(8);
            rig.spin("spdspin")->setValue(5000);
            rig.box("aot")->setChecked(false);
            rig.slider("tb")->setValue(3);
            QVERIFY(rig.save());
            QVERIFY(rig.errors.messages.isEmpty());
        }
        Rig rig(configHome());
        QCOMPARE(Checks(rig.list("lb")), (std::vector<bool>{false, true, false}));
        QCOMPARE(Checks(rig.list("lb1")), (std::vector<bool>{true, false, false}));
        QCOMPARE(Checks(rig.list("lb2")), (std::vector<bool>{false, false, true}));
        QCOMPARE(rig.settings.statisticsMarks(), (std::vector<bool>{false, true, false}));
        QVERIFY(rig.box("cbWin")->isChecked());
        QCOMPARE(rig.edit(1)->text(), QStringLiteral("111111"));
        QCOMPARE(rig.edit(5)->text(), QStringLiteral("ABCDEF"));
        QCOMPARE(rig.swatch(5)->colour(), QColor(0xEF, 0xCD, 0xAB));
        QVERIFY(rig.box("cbBlend")->isChecked());
        QCOMPARE(rig.slider("tbBlend")->value(), 100);
        QVERIFY(!rig.box("cbGr")->isChecked());
        QCOMPARE(rig.box("cbGr")->isEnabled(), !compact);
        QCOMPARE(rig.box("micro")->isChecked(), compact);
        QVERIFY(rig.control<QRadioButton>("rb1")->isChecked());
        QCOMPARE(rig.spin("gradspin")->value(), 7);
        QCOMPARE(rig.spin("hspin")->value(), 60);
        QCOMPARE(rig.control<QComboBox>("cb")->currentIndex(), 8);
        QCOMPARE(rig.spin("spdspin")->value(), 5000);
        QVERIFY(rig.spin("spdspin")->isEnabled());
        QVERIFY(!rig.box("aot")->isChecked());
        // The refresh period is not a setting.
        QCOMPARE(rig.slider("tb")->value(), 20);
    }

    void aSavedGroupComesWithEveryValue()
    {
        {
            Rig rig(configHome());
            rig.settings.set(settings::GraphFolder, QStringLiteral("/data/stats"));
            rig.settings.set(settings::GraphGradations, 12);
            QVERIFY(rig.save());
        }
        SettingsStore store(settingsPath());
        QCOMPARE(store.readString(QStringLiteral("Graphfile")), QStringLiteral("/data/stats"));
        QCOMPARE(store.readInt(QStringLiteral("Gradu")), 12);
        // Every other value gets its default, so no guard is ever without its group.
        QCOMPARE(store.readInt(QStringLiteral("Echelle")), 2);
        QCOMPARE(store.readInt(QStringLiteral("width")), 403);
        QCOMPARE(store.readInt(QStringLiteral("Type moyenne")), 0);
        QCOMPARE(store.readBool(QStringLiteral("Vmax")), true);
        QCOMPARE(store.readInt(QStringLiteral("Echelle2")), -1);
        QCOMPARE(store.readBool(QStringLiteral("eth0")), false);
        QCOMPARE(store.readBool(QStringLiteral("lo2")), false);
    }

    void marksOfAnInterfaceThatLeavesAndReturns()
    {
        {
            Rig rig(configHome());
            UserCheck(rig.list("lb"), 1, true);
            UserCheck(rig.list("lb2"), 1, true);
            QVERIFY(rig.save());
        }
        {
            Rig rig(configHome(), {QStringLiteral("eth0"), QStringLiteral("lo")});
            QCOMPARE(Checks(rig.list("lb")), (std::vector<bool>{false, false}));
            QVERIFY(rig.save());
        }
        // Back, at another position and spelled in capitals: names compare without case.
        Rig rig(configHome(), {QStringLiteral("eth0"), QStringLiteral("lo"), QStringLiteral("WLAN0")});
        QCOMPARE(Checks(rig.list("lb")), (std::vector<bool>{false, false, true}));
        QCOMPARE(Checks(rig.list("lb1")), (std::vector<bool>{false, false, false}));
        QCOMPARE(Checks(rig.list("lb2")), (std::vector<bool>{false, false, true}));
        QCOMPARE(rig.settings.statisticsMarks(), (std::vector<bool>{false, false, true}));
    }

    void wrongTypesInTheGroupGiveDefaults()
    {
        {
            SettingsStore store(settingsPath());
            store.writeString(QStringLiteral("lrec"), QStringLiteral("0000FF"));
            store.writeString(QStringLiteral("Gradu2"), QStringLiteral("quatre"));
            store.writeInt(QStringLiteral("Vitesse2"), 12);
            store.writeInt(QStringLiteral("Echelle2"), 42);
            store.writeString(QStringLiteral("aot"), QStringLiteral("oui"));
            QVERIFY(store.sync());
        }
        Rig rig(configHome());
        QCOMPARE(rig.edit(1)->text(), QStringLiteral("0000FF"));
        QCOMPARE(rig.edit(2)->text(), QStringLiteral("FF0000")); // missing in its group
        QCOMPARE(rig.spin("gradspin")->value(), 4);
        QCOMPARE(rig.spin("spdspin")->value(), 65536);
        QCOMPARE(rig.control<QComboBox>("cb")->currentIndex(), -1);
        QVERIFY(rig.box("aot")->isChecked());
    }

    void autostartOnThenOff()
    {
        {
            Rig rig(configHome());
            rig.box("cbWin")->setChecked(true);
            QVERIFY(rig.save());
            QVERIFY(QFile::exists(autostartPath()));
            QVERIFY(
                ReadAll(autostartPath()).contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + '\n'));
        }
        Rig rig(configHome());
        QVERIFY(rig.box("cbWin")->isChecked());
        rig.box("cbWin")->setChecked(false);
        QVERIFY(rig.save());
        QVERIFY(!QFile::exists(autostartPath()));
    }

    void autostartTurnedOffInTheDesktopShowsUnchecked()
    {
        {
            Rig rig(configHome());
            rig.box("cbWin")->setChecked(true);
            QVERIFY(rig.save());
        }
        QFile file(autostartPath());
        QVERIFY(file.open(QIODevice::Append));
        file.write("Hidden=true\n");
        file.close();
        Rig rig(configHome());
        QVERIFY(!rig.box("cbWin")->isChecked());
        QFile::remove(autostartPath());
    }

    void closingTheWindowAsksForASave()
    {
        Rig rig(configHome());
        QSignalSpy closed(rig.form.get(), &ConfigWindow::closed);
        rig.form->show();
        rig.spin("gradspin")->setValue(9);
        QCOMPARE(rig.settings.value(settings::MeterGradations), 9);
        rig.control<QPushButton>("Button3")->click();
        QVERIFY(!rig.form->isVisible());
        rig.form->show();
        QVERIFY(rig.form->close());
        QVERIFY(!rig.form->isVisible());
        QCOMPARE(closed.count(), 2);
        // Enter or Escape in a control that does not use the key closes the window, as OK does.
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape})
            for (const char* name : {"gradspin", "Edit1", "lb"})
            {
                rig.form->show();
                QTest::keyClick(rig.form->findChild<QWidget*>(QLatin1String(name)), key);
                QVERIFY2(!rig.form->isVisible(), name);
            }
        QCOMPARE(closed.count(), 8);
    }

    void anUnwritableSettingsFileIsReported()
    {
        QVERIFY(QDir().mkpath(configHome()));
        QFile blocker(configHome() + QStringLiteral("/VORP"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Rig rig(configHome());
        QVERIFY(!rig.save());
        QCOMPARE(rig.errors.messages, QStringList{QStringLiteral("Impossible d'écrire dans ") + settingsPath()});
    }

    void checkingAnInterfaceForStatistics()
    {
        Rig rig(configHome());
        QSignalSpy checked(&rig.settings, &Settings::statisticsChecked);
        UserCheck(rig.list("lb"), 2, true);
        QCOMPARE(rig.settings.statisticsMarks(), (std::vector<bool>{false, false, true}));
        // Checked while running: the recorder starts that interface from its counters now.
        QCOMPARE(checked.count(), 1);
        QCOMPARE(checked.at(0).at(0).toInt(), 2);
        UserCheck(rig.list("lb"), 2, false);
        QCOMPARE(checked.count(), 1);
    }

    void colourEdits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("0000FF is pure red") << QStringLiteral("0000FF") << QColor(255, 0, 0);
        QTest::newRow("FF0000 is pure blue") << QStringLiteral("FF0000") << QColor(0, 0, 255);
        QTest::newRow("01E5DD low byte red") << QStringLiteral("01E5DD") << QColor(0xDD, 0xE5, 0x01);
        QTest::newRow("ZZ is black") << QStringLiteral("ZZ") << QColor(0, 0, 0);
        QTest::newRow("empty is black") << QString() << QColor(0, 0, 0);
    }

    void colourEdits()
    {
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        Rig rig(configHome());
        rig.edit(5)->setText(text);
        emit rig.edit(5)->editingFinished();
        QCOMPARE(rig.swatch(5)->colour(), colour);
        QCOMPARE(rig.settings.colour(5), uint32_t(colour.red() | colour.green() << 8 | colour.blue() << 16));

        rig.control<QPushButton>("Button1")->click();
        QCOMPARE(rig.edit(5)->text(), QStringLiteral("01E5DD"));
        QCOMPARE(rig.settings.value(settings::Colours[4]), QStringLiteral("01E5DD"));
        QCOMPARE(rig.swatch(5)->colour(), QColor(0xDD, 0xE5, 0x01));
    }

    void pickColour_data()
    {
        QTest::addColumn<std::optional<QColor>>("answer");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("pure green") << std::optional<QColor>(QColor(0, 255, 0)) << QStringLiteral("00FF00")
                                    << QColor(0, 255, 0);
        QTest::newRow("orange in blue-green-red order")
            << std::optional<QColor>(QColor(255, 128, 0)) << QStringLiteral("0080FF") << QColor(255, 128, 0);
        QTest::newRow("cancel keeps the colour")
            << std::optional<QColor>() << QStringLiteral("01E5DD") << QColor(0xDD, 0xE5, 0x01);
    }

    void pickColour()
    {
        QFETCH(std::optional<QColor>, answer);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        Rig rig(configHome());
        rig.form->colourDialog().setNextColour(answer);
        QTest::mousePress(rig.swatch(5), Qt::RightButton);
        QCOMPARE(rig.edit(5)->text(), text);
        QCOMPARE(rig.settings.value(settings::Colours[4]), text);
        QCOMPARE(rig.swatch(5)->colour(), colour);
        QCOMPARE(rig.edit(4)->text(), QStringLiteral("FF00FF"));
    }

    void scalePresets_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("64kbps") << 0 << QStringLiteral("64kbps (RTC, RNIS)") << 8192 << false;
        QTest::newRow("1024kbps") << 3 << QStringLiteral("1024kbps (ADSL, cable)") << 131072 << false;
        QTest::newRow("10mbps") << 4 << QStringLiteral("10mbps (Ethernet)") << 1310720 << false;
        QTest::newRow("1gbps") << 6 << QStringLiteral("1gbps (Gigabit Ethernet)") << 134217728 << false;
        QTest::newRow("Automatique raised to 1025") << 7 << QStringLiteral("Automatique") << 1025 << false;
        QTest::newRow("Manuel raised to 1025, editable") << 8 << QStringLiteral("Manuel") << 1025 << true;
    }

    void scalePresets()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(bool, enabled);
        Rig rig(configHome());
        auto* scale = rig.control<QComboBox>("cb");
        QCOMPARE(scale->itemText(index), text);
        scale->setCurrentIndex(index);
        emit scale->activated(index);
        QCOMPARE(rig.spin("spdspin")->value(), value);
        QCOMPARE(rig.spin("spdspin")->isEnabled(), enabled);
        QCOMPARE(rig.spin("spdspin")->maximum(), 2147483647);
        QCOMPARE(rig.settings.value(settings::MeterScaleIndex), index);
        QCOMPARE(rig.settings.value(settings::MeterFullScale), value);
    }

    void refreshPeriod_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("interval");
        QTest::newRow("1 gives 50ms") << 1 << QStringLiteral("50ms") << 50;
        QTest::newRow("20 gives 1000ms") << 20 << QStringLiteral("1000ms") << 1000;
        QTest::newRow("100 gives 5000ms") << 100 << QStringLiteral("5000ms") << 5000;
    }

    void refreshPeriod()
    {
        QFETCH(int, position);
        QFETCH(QString, label);
        QFETCH(int, interval);
        Rig rig(configHome());
        rig.slider("tb")->setValue(position == 20 ? 21 : 20);
        rig.settings.setPrimed(true);
        rig.slider("tb")->setValue(position);
        QCOMPARE(rig.control<QLabel>("Label14")->text(), label);
        QCOMPARE(rig.settings.refreshPeriodMs(), interval);
        QCOMPARE(rig.settings.refreshPosition(), position);
        QVERIFY(!rig.settings.primed());
    }

    void stopwatchHoldsTheRefreshPeriod()
    {
        Rig rig(configHome());
        rig.settings.setRefreshPosition(20);
        rig.settings.setRefreshLocked(true);
        QVERIFY(!rig.slider("tb")->isEnabled());
        rig.settings.setRefreshPosition(7);
        QCOMPARE(rig.slider("tb")->value(), 7);
        QCOMPARE(rig.control<QLabel>("Label14")->text(), QStringLiteral("350ms"));
        rig.settings.setRefreshLocked(false);
        QVERIFY(rig.slider("tb")->isEnabled());
    }

    void graphListsStayDisjoint()
    {
        Rig rig(configHome());
        UserCheck(rig.list("lb2"), 0, true);
        UserCheck(rig.list("lb2"), 1, true);
        rig.settings.setPrimed(true);
        UserCheck(rig.list("lb1"), 0, true);
        QVERIFY(!rig.settings.primed());
        QCOMPARE(Checks(rig.list("lb1")), (std::vector<bool>{true, false, false}));
        QCOMPARE(Checks(rig.list("lb2")), (std::vector<bool>{false, true, false}));
        UserCheck(rig.list("lb2"), 0, true);
        QCOMPARE(Checks(rig.list("lb1")), (std::vector<bool>{false, false, false}));
        QCOMPARE(Checks(rig.list("lb2")), (std::vector<bool>{true, true, false}));
        QVERIFY(rig.settings.marks(0).graph2);
        QVERIFY(!rig.settings.marks(0).graph1);
    }

    void compactModeLocksTheGraphBox()
    {
        Rig rig(configHome());
        rig.box("micro")->setChecked(true);
        QVERIFY(!rig.box("cbGr")->isChecked());
        QVERIFY(!rig.box("cbGr")->isEnabled());
        QVERIFY(!rig.settings.value(settings::MeterGraphShown));
        rig.box("micro")->setChecked(false);
        QVERIFY(rig.box("cbGr")->isChecked());
        QVERIFY(rig.box("cbGr")->isEnabled());
        QVERIFY(rig.settings.value(settings::MeterGraphShown));
    }

    void controlsWriteTheModelAndFollowIt()
    {
        Rig rig(configHome());
        QSignalSpy changed(&rig.settings, &Settings::changed);
        rig.spin("gradspin")->setValue(5);
        rig.spin("hspin")->setValue(31);
        rig.control<QRadioButton>("rb1")->click();
        rig.box("aot")->setChecked(false);
        rig.box("cbBlend")->setChecked(true);
        rig.slider("tbBlend")->setValue(128);
        QCOMPARE(rig.settings.value(settings::MeterGradations), 5);
        QCOMPARE(rig.settings.value(settings::MeterGradationSeconds), 31);
        QVERIFY(rig.settings.value(settings::MeterUnitOctets));
        QVERIFY(!rig.settings.value(settings::MeterStayOnTop));
        QVERIFY(rig.settings.value(settings::MeterTranslucent));
        QCOMPARE(rig.settings.value(settings::MeterOpacity), 128);
        QCOMPARE(changed.count(), 6);

        // Another window (the meter's menu or wheel) changes the model: the controls follow.
        rig.settings.set(settings::MeterStayOnTop, true);
        rig.settings.set(settings::MeterScaleIndex, 8);
        rig.settings.set(settings::MeterFullScale, 40000);
        QVERIFY(rig.box("aot")->isChecked());
        QCOMPARE(rig.control<QComboBox>("cb")->currentIndex(), 8);
        QCOMPARE(rig.spin("spdspin")->value(), 40000);
        QVERIFY(rig.spin("spdspin")->isEnabled());

        QSignalSpy opened(rig.form.get(), &ConfigWindow::statisticsFolderRequested);
        rig.control<QPushButton>("BitBtn1")->click();
        QCOMPARE(opened.count(), 1);
    }
};

QTEST_MAIN(TestConfigWindow)
#include "tst_configwindow.moc"
