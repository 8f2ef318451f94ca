#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "config/RecorderControl.h"
#include "config/SettingsStore.h"
#include "config/widgets/ColourSwatch.h"
#include "config/widgets/ConfigWindow.h"
#include "sampling/Sampler.h"
#include "store/Recorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace
{
class FakeRecorder final : public RecorderControl
{
public:
    void setBaselines(const InterfaceTable& table, const std::vector<bool>& checked) override
    {
        baselineRows = table.size();
        baselineChecked = checked;
    }
    void interfaceChecked(int position) override { checkedWhileRunning.push_back(position); }
    void RecordCycle(const QStringList& names, const std::vector<bool>& checked) override
    {
        cycles.push_back({names, checked});
    }

    size_t baselineRows = 0;
    std::vector<bool> baselineChecked;
    std::vector<int> checkedWhileRunning;
    std::vector<std::pair<QStringList, std::vector<bool>>> cycles;
};

// The meter window's side, recording what the configuration window asks of it.
class FakeMeter final : public MeterControl
{
public:
    void redrawLegend() override { ++legendRedraws; }
    void setTimerInterval(int ms) override { interval = ms; }
    void setStayOnTop(bool on) override { stayOnTop = on; }
    void setTranslucent(bool on) override { translucent = on; }
    void setOpacityLevel(int alpha) override { opacity = alpha; }
    int clientHeight() const override { return client; }
    void setClientHeight(int h) override { client = std::max(h, minimum); }
    int titleBarHeight() const override { return titleBar; }
    void setTitleBarHeight(int h) override { titleBar = h; }
    void setMinimumHeight(int h) override { minimum = h; }
    void setGraphVisible(bool visible) override { graphVisible = visible; }
    void setFrameless(bool on) override { frameless = on; }
    void setSnapshotIconVisible(bool visible) override { snapshotIcon = visible; }
    void setStayOnTopChecked(bool checked) override { stayOnTopMark = checked; }
    void setCompactChecked(bool checked) override { compactMark = checked; }

    int legendRedraws = 0;
    int interval = 1000;
    bool stayOnTop = true, stayOnTopMark = true, translucent = false;
    int opacity = 255;
    int client = 150, titleBar = 40, minimum = 50;
    bool graphVisible = true, frameless = false, snapshotIcon = true, compactMark = false;
};

class FakeGraphWindow final : public SettingsContributor
{
public:
    void contributeSettings(SettingValues& values) const override
    {
        values[QStringLiteral("Graphfile")] = QStringLiteral("/data/stats");
        values[QStringLiteral("Gradu")] = int32_t{12};
    }
};

InterfaceRow Row(const char* description, uint64_t in = 1000, uint64_t out = 2000)
{
    return InterfaceRow{QByteArray(description), in, out};
}

// One configuration window over a temporary configuration folder and an exact interface table.
struct Rig
{
    explicit Rig(const QString& configHome, InterfaceTable rows = {Row("eth0"), Row("wlan0"), Row("lo")})
        : store(configHome + QStringLiteral("/VORP/VORP.conf"))
    {
        source.table = std::move(rows);
        form = std::make_unique<ConfigWindow>(sampler, recorder, store, errors);
        form->messageBoxes().setRecordOnly(true);
    }

    FixedTableSource source;
    Sampler sampler{source};
    FakeRecorder recorder;
    SettingsStore store;
    CollectingErrorReporter errors;
    std::unique_ptr<ConfigWindow> form;
};

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

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
        QCOMPARE(f.size(), QSize(522, 352));
        QCOMPARE(f.PageControl1->tabText(0), QStringLiteral("Options Générales / Statistiques"));
        QCOMPARE(f.PageControl1->tabText(1), QStringLiteral("Tachymetre"));
        QCOMPARE(f.PageControl1->currentIndex(), 0);
        QCOMPARE(f.findChild<QPushButton*>(QStringLiteral("Button3"))->text(), QStringLiteral("OK"));

        for (QListWidget* list : {f.lb, f.lb1, f.lb2})
        {
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->item(1)->text(), QStringLiteral("wlan0"));
            QCOMPARE(Checks(list), (std::vector<bool>{false, false, false}));
        }
        QCOMPARE(rig.recorder.baselineRows, size_t{3});
        QCOMPARE(rig.recorder.baselineChecked, (std::vector<bool>{false, false, false}));

        QVERIFY(!f.cbWin->isChecked());
        const QStringList colours{QStringLiteral("00CC00"), QStringLiteral("FF0000"), QStringLiteral("006600"),
                                  QStringLiteral("FF00FF"), QStringLiteral("01E5DD")};
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(f.colourText(n), colours[n - 1]);
        QCOMPARE(f.Shape2->colour(), QColor(0, 0, 255));
        QCOMPARE(f.Shape5->colour(), QColor(0xDD, 0xE5, 0x01));
        QVERIFY(!f.cbBlend->isChecked());
        QCOMPARE(f.tbBlend->value(), 255);
        QCOMPARE(f.tbBlend->maximum(), 255);
        QVERIFY(f.cbGr->isChecked());
        QVERIFY(f.cbGr->isEnabled());
        QVERIFY(f.rb2->isChecked());
        QVERIFY(!f.unitOctets());
        QCOMPARE(f.gradspin->value(), 4);
        QCOMPARE(f.hspin->value(), 30);
        QCOMPARE(f.cb->currentIndex(), -1);
        QCOMPARE(f.cb->count(), 9);
        QCOMPARE(f.spdspin->value(), 65536);
        QVERIFY(!f.spdspin->isEnabled());
        QVERIFY(f.aot->isChecked());
        QVERIFY(!f.micro->isChecked());
        QCOMPARE(f.tb->value(), 20);
        QCOMPARE(f.Label14->text(), QStringLiteral("1000ms"));
        QVERIFY(!f.primed());
        QVERIFY(f.Timer1->isActive());
        QCOMPARE(f.Timer1->interval(), 300000);

        // Not in debug mode: no "test timer" and no rate label.
        QVERIFY(f.Button4->isHidden());
        QVERIFY(f.Label1->isHidden());
        QVERIFY(!QFile::exists(settingsPath()));
    }

    void debugModeShowsTheTimerTest()
    {
        QFile marker(QStringLiteral("debug.txt"));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        Rig rig(configHome());
        ConfigWindow& f = *rig.form;
        QVERIFY(!f.Button4->isHidden());
        QCOMPARE(f.Button4->text(), QStringLiteral("test timer"));
        QVERIFY(!f.Label1->isHidden());
        QCOMPARE(f.Label1->text(), QStringLiteral("0ko/s"));
        f.Button4->click();
        f.setRecorderTimerActive(false);
        f.Button4->click();
        QCOMPARE(f.messageBoxes().shownTexts(),
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
            ConfigWindow& f = *rig.form;
            UserCheck(f.lb, 1, true);
            UserCheck(f.lb1, 0, true);
            UserCheck(f.lb2, 2, true);
            f.cbWin->setChecked(true);
            const QStringList colours{QStringLiteral("111111"), QStringLiteral("222222"), QStringLiteral("333333"),
                                      QStringLiteral("444444"), QStringLiteral("ABCDEF")};
            f.Edit1->setText(colours[0]);
            f.Edit2->setText(colours[1]);
            f.Edit3->setText(colours[2]);
            f.Edit4->setText(colours[3]);
            f.Edit5->setText(colours[4]);
            f.cbBlend->setChecked(true);
            f.tbBlend->setValue(100);
            f.cbGr->setChecked(false);
            f.micro->setChecked(compact);
            f.rb1->setChecked(true);
            f.gradspin->setValue(7);
            f.hspin->setValue(60);
            f.cb->setCurrentIndex(8);
            f.cbChange();
            f.spdspin->setValue(5000);
            f.aot->setChecked(false);
            f.tb->setValue(3);
            QVERIFY(f.SaveSettings());
            QVERIFY(rig.errors.messages.isEmpty());
        }
        Rig rig(configHome());
        ConfigWindow& f = *rig.form;
        QCOMPARE(Checks(f.lb), (std::vector<bool>{false, true, false}));
        QCOMPARE(Checks(f.lb1), (std::vector<bool>{true, false, false}));
        QCOMPARE(Checks(f.lb2), (std::vector<bool>{false, false, true}));
        QCOMPARE(rig.recorder.baselineChecked, (std::vector<bool>{false, true, false}));
        QVERIFY(f.cbWin->isChecked());
        QCOMPARE(f.colourText(1), QStringLiteral("111111"));
        QCOMPARE(f.colourText(5), QStringLiteral("ABCDEF"));
        QCOMPARE(f.Shape5->colour(), QColor(0xEF, 0xCD, 0xAB));
        QVERIFY(f.cbBlend->isChecked());
        QCOMPARE(f.tbBlend->value(), 100);
        QVERIFY(!f.cbGr->isChecked());
        QCOMPARE(f.cbGr->isEnabled(), !compact);
        QCOMPARE(f.micro->isChecked(), compact);
        QVERIFY(f.rb1->isChecked());
        QCOMPARE(f.gradspin->value(), 7);
        QCOMPARE(f.hspin->value(), 60);
        QCOMPARE(f.cb->currentIndex(), 8);
        QCOMPARE(f.spdspin->value(), 5000);
        QVERIFY(f.spdspin->isEnabled());
        QVERIFY(!f.aot->isChecked());
        // The refresh period is not a setting.
        QCOMPARE(f.tb->value(), 20);
    }

    void aSavedGroupComesWithEveryValue()
    {
        FakeGraphWindow graph;
        {
            Rig rig(configHome());
            rig.store.writeInt(QStringLiteral("Echelle"), 5); // the history graph's, kept when it is not asked
            rig.form->addSettingsContributor(&graph);
            QVERIFY(rig.form->SaveSettings());
        }
        SettingsStore store(settingsPath());
        QCOMPARE(store.readString(QStringLiteral("Graphfile")), QStringLiteral("/data/stats"));
        QCOMPARE(store.readInt(QStringLiteral("Gradu")), 12);
        QCOMPARE(store.readInt(QStringLiteral("Echelle")), 5);
        // Values of windows not asked get their defaults, so no guard is ever without its group.
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
            UserCheck(rig.form->lb, 1, true);
            UserCheck(rig.form->lb2, 1, true);
            QVERIFY(rig.form->SaveSettings());
        }
        {
            Rig rig(configHome(), {Row("eth0"), Row("lo")});
            QCOMPARE(Checks(rig.form->lb), (std::vector<bool>{false, false}));
            QVERIFY(rig.form->SaveSettings());
        }
        // Back, at another position and spelled in capitals: names compare without case.
        Rig rig(configHome(), {Row("eth0"), Row("lo"), Row("WLAN0")});
        QCOMPARE(Checks(rig.form->lb), (std::vector<bool>{false, false, true}));
        QCOMPARE(Checks(rig.form->lb1), (std::vector<bool>{false, false, false}));
        QCOMPARE(Checks(rig.form->lb2), (std::vector<bool>{false, false, true}));
        QCOMPARE(rig.recorder.baselineChecked, (std::vector<bool>{false, false, true}));
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
        ConfigWindow& f = *rig.form;
        QCOMPARE(f.colourText(1), QStringLiteral("0000FF"));
        QCOMPARE(f.colourText(2), QStringLiteral("FF0000")); // missing in its group
        QCOMPARE(f.gradspin->value(), 4);
        QCOMPARE(f.spdspin->value(), 65536);
        QCOMPARE(f.cb->currentIndex(), -1);
        QVERIFY(f.aot->isChecked());
    }

    void autostartOnThenOff()
    {
        {
            Rig rig(configHome());
            rig.form->cbWin->setChecked(true);
            QVERIFY(rig.form->SaveSettings());
            QVERIFY(QFile::exists(autostartPath()));
            QVERIFY(
                ReadAll(autostartPath()).contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + '\n'));
        }
        Rig rig(configHome());
        QVERIFY(rig.form->cbWin->isChecked());
        rig.form->cbWin->setChecked(false);
        QVERIFY(rig.form->SaveSettings());
        QVERIFY(!QFile::exists(autostartPath()));
    }

    void autostartTurnedOffInTheDesktopShowsUnchecked()
    {
        {
            Rig rig(configHome());
            rig.form->cbWin->setChecked(true);
            QVERIFY(rig.form->SaveSettings());
        }
        QFile file(autostartPath());
        QVERIFY(file.open(QIODevice::Append));
        file.write("Hidden=true\n");
        file.close();
        Rig rig(configHome());
        QVERIFY(!rig.form->cbWin->isChecked());
        QFile::remove(autostartPath());
    }

    void saveRecordsALastSample()
    {
        QTemporaryDir root;
        FixedTableSource source;
        source.table = InterfaceTable{Row("eth0", 1000, 2000)};
        Sampler sampler(source);
        TestClock clock; // 15 June 2004, 14:35:07: day 38153
        CollectingErrorReporter errors;
        Recorder recorder(sampler, clock, errors, root.path() + QLatin1Char('/'));
        RecorderAdapter adapter(recorder);
        SettingsStore store(settingsPath());
        store.writeBool(QStringLiteral("eth0"), true);
        ConfigWindow form(sampler, adapter, store, errors);
        QVERIFY(form.statisticsChecked(0));

        source.table = InterfaceTable{Row("eth0", 1000 + 123456, 2000 + 7890)};
        QVERIFY(form.SaveSettings());
        QVERIFY(errors.messages.isEmpty());

        QDirIterator it(root.path(), {QStringLiteral("38153.mdf")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(it.hasNext());
        QCOMPARE(ReadAll(it.next()), QByteArray("14:35:07123456U7890\r\n"));
    }

    void closingTheWindowSavesAndOkDoesNot()
    {
        Rig rig(configHome());
        rig.form->show();
        rig.form->gradspin->setValue(9);
        rig.form->Button3->click();
        QVERIFY(!rig.form->isVisible());
        QVERIFY(!QFile::exists(settingsPath()));
        QVERIFY(rig.recorder.cycles.empty());

        rig.form->show();
        QVERIFY(rig.form->close());
        QVERIFY(!rig.form->isVisible());
        QCOMPARE(rig.recorder.cycles.size(), size_t{1});
        QCOMPARE(SettingsStore(settingsPath()).readInt(QStringLiteral("Gradu2")), 9);
    }

    void anUnwritableSettingsFileIsReported()
    {
        QVERIFY(QDir().mkpath(configHome()));
        QFile blocker(configHome() + QStringLiteral("/VORP"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Rig rig(configHome());
        QVERIFY(!rig.form->SaveSettings());
        QCOMPARE(rig.errors.messages, QStringList{QStringLiteral("Impossible d'écrire dans ") + settingsPath()});
    }

    void recorderCycleFromTheTimer()
    {
        Rig rig(configHome());
        UserCheck(rig.form->lb, 2, true);
        rig.form->Timer1Timer();
        QCOMPARE(rig.recorder.cycles.size(), size_t{1});
        QCOMPARE(rig.recorder.cycles[0].first,
                 (QStringList{QStringLiteral("eth0"), QStringLiteral("wlan0"), QStringLiteral("lo")}));
        QCOMPARE(rig.recorder.cycles[0].second, (std::vector<bool>{false, false, true}));
        // Checked while running: the recorder starts that interface from its counters now.
        QCOMPARE(rig.recorder.checkedWhileRunning, std::vector<int>{2});
        UserCheck(rig.form->lb, 2, false);
        QCOMPARE(rig.recorder.checkedWhileRunning, std::vector<int>{2});
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
        rig.form->Edit5->setText(text);
        emit rig.form->Edit5->editingFinished();
        QCOMPARE(rig.form->Shape5->colour(), colour);
        QCOMPARE(rig.form->colour(5), colour.red() | colour.green() << 8 | colour.blue() << 16);

        rig.form->Button1->click();
        QCOMPARE(rig.form->colourText(5), QStringLiteral("01E5DD"));
        QCOMPARE(rig.form->Shape5->colour(), QColor(0xDD, 0xE5, 0x01));
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
        QTest::mousePress(rig.form->Shape5, Qt::RightButton);
        QCOMPARE(rig.form->colourText(5), text);
        QCOMPARE(rig.form->Shape5->colour(), colour);
        QCOMPARE(rig.form->colourText(4), QStringLiteral("FF00FF"));
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
        QCOMPARE(rig.form->cb->itemText(index), text);
        rig.form->cb->setCurrentIndex(index);
        emit rig.form->cb->activated(index);
        QCOMPARE(rig.form->spdspin->value(), value);
        QCOMPARE(rig.form->spdspin->isEnabled(), enabled);
        QCOMPARE(rig.form->spdspin->maximum(), 2147483647);
        QCOMPARE(rig.form->scaleIndex(), index);
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
        FakeMeter meter;
        rig.form->setMeterControl(&meter);
        rig.form->tb->setValue(position == 20 ? 21 : 20);
        rig.form->setPrimed(true);
        rig.form->tb->setValue(position);
        QCOMPARE(rig.form->Label14->text(), label);
        QCOMPARE(rig.form->refreshPeriodText(), label);
        QCOMPARE(meter.interval, interval);
        QCOMPARE(rig.form->refreshPosition(), position);
        QVERIFY(!rig.form->primed());
    }

    void graphListsStayDisjoint()
    {
        Rig rig(configHome());
        ConfigWindow& f = *rig.form;
        UserCheck(f.lb2, 0, true);
        UserCheck(f.lb2, 1, true);
        f.setPrimed(true);
        UserCheck(f.lb1, 0, true);
        QVERIFY(!f.primed());
        QCOMPARE(Checks(f.lb1), (std::vector<bool>{true, false, false}));
        QCOMPARE(Checks(f.lb2), (std::vector<bool>{false, true, false}));
        UserCheck(f.lb2, 0, true);
        QCOMPARE(Checks(f.lb1), (std::vector<bool>{false, false, false}));
        QCOMPARE(Checks(f.lb2), (std::vector<bool>{true, true, false}));
        QVERIFY(f.graph2Checked(0));
        QVERIFY(!f.graph1Checked(0));
        // A click that changes no mark still makes the meter prime again.
        f.setPrimed(true);
        emit f.lb1->itemClicked(f.lb1->item(2));
        QVERIFY(!f.primed());
    }

    void compactModeOnThenOffRestoresTheGraph()
    {
        Rig rig(configHome());
        ConfigWindow& f = *rig.form;
        FakeMeter meter; // graph shown, client 150, title bar 40
        f.setMeterControl(&meter);
        QVERIFY(meter.graphVisible);
        QCOMPARE(meter.client, 150);

        f.micro->setChecked(true);
        QVERIFY(!f.cbGr->isChecked());
        QVERIFY(!f.cbGr->isEnabled());
        QCOMPARE(meter.minimum, 19);
        QCOMPARE(meter.client, 40);
        QCOMPARE(meter.titleBar, 40);
        QVERIFY(!meter.graphVisible);
        QVERIFY(meter.frameless);
        QVERIFY(meter.compactMark);
        QVERIFY(!meter.snapshotIcon);

        f.micro->setChecked(false);
        QVERIFY(f.cbGr->isChecked());
        QVERIFY(f.cbGr->isEnabled());
        QCOMPARE(meter.minimum, 50);
        QCOMPARE(meter.client, 150);
        QCOMPARE(meter.titleBar, 40);
        QVERIFY(meter.graphVisible);
        QVERIFY(!meter.frameless);
        QVERIFY(!meter.compactMark);
        QVERIFY(meter.snapshotIcon);
    }

    void hiddenGraphAtStartHidesItOnTheMeter()
    {
        {
            SettingsStore store(settingsPath());
            store.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
            store.writeBool(QStringLiteral("tracegraph"), false);
            store.writeBool(QStringLiteral("aot"), false);
            QVERIFY(store.sync());
        }
        Rig rig(configHome());
        FakeMeter meter;
        rig.form->setMeterControl(&meter);
        QVERIFY(!meter.graphVisible);
        QCOMPARE(meter.client, 40);
        QVERIFY(!meter.stayOnTop);
        QVERIFY(!meter.stayOnTopMark);
        // Showing the graph again gives back the height the meter had.
        rig.form->cbGr->setChecked(true);
        QCOMPARE(meter.client, 150);
        QVERIFY(meter.graphVisible);
    }

    void controlsDriveTheMeter()
    {
        Rig rig(configHome());
        ConfigWindow& f = *rig.form;
        FakeMeter meter;
        f.setMeterControl(&meter);
        const int redraws = meter.legendRedraws;
        f.gradspin->setValue(5);
        f.hspin->setValue(31);
        f.rb1->click();
        QCOMPARE(meter.legendRedraws, redraws + 3);

        f.aot->setChecked(false);
        QVERIFY(!meter.stayOnTop);
        QVERIFY(!meter.stayOnTopMark);
        f.cbBlend->setChecked(true);
        QVERIFY(meter.translucent);
        f.tbBlend->setValue(128);
        QCOMPARE(meter.opacity, 128);
        f.cbBlend->setChecked(false);
        QVERIFY(!meter.translucent);

        QSignalSpy opened(&f, &ConfigWindow::statisticsFolderRequested);
        f.BitBtn1->click();
        QCOMPARE(opened.count(), 1);
    }
};

QTEST_MAIN(TestConfigWindow)
#include "tst_configwindow.moc"
