// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/Settings.h"
#include "config/SettingsStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// Every typed key: the stored name it must map to and its default, worked out from the settings file's
// documented format rather than from the table.
struct KeyRow
{
    const char* role;
    int row;
    const char* stored;
    QString defaultText;
};

template <typename T> KeyRow Row(const char* role, SettingKey<T> key, const char* stored, QString defaultText)
{
    return {role, key.row, stored, std::move(defaultText)};
}

QString Text(const SettingValue& value)
{
    if (const bool* b = std::get_if<bool>(&value))
        return *b ? QStringLiteral("1") : QStringLiteral("0");
    if (const int32_t* i = std::get_if<int32_t>(&value))
        return QString::number(*i);
    return std::get<QString>(value);
}

QString ValueText(const Settings& settings, int row)
{
    switch (kSettingsTable[static_cast<size_t>(row)].type)
    {
    case SettingType::Bool:
        return settings.value(SettingKey<bool>{row}) ? QStringLiteral("1") : QStringLiteral("0");
    case SettingType::Int:
        return QString::number(settings.value(SettingKey<int32_t>{row}));
    case SettingType::String:
        break;
    }
    return settings.value(SettingKey<QString>{row});
}
} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("VORP.conf")); }

private slots:
    void init() { QFile::remove(path()); }

    void keysNameTheirValues_data()
    {
        using namespace settings;
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("defaultText");
        const std::vector<KeyRow> rows{
            Row("graph folder", GraphFolder, "Graphfile", QString()),
            Row("graph auto-save", GraphAutoSave, "Autorec", QStringLiteral("0")),
            Row("graph legend", GraphLegend, "Legende", QStringLiteral("0")),
            Row("graph all periods", GraphAllPeriods, "Tous", QStringLiteral("0")),
            Row("graph peak scale", GraphPeakScale, "Vmax", QStringLiteral("1")),
            Row("graph unit octets", GraphUnitOctets, "Unite", QStringLiteral("0")),
            Row("graph gradations", GraphGradations, "Gradu", QStringLiteral("8")),
            Row("graph scale index", GraphScaleIndex, "Echelle", QStringLiteral("2")),
            Row("graph full scale", GraphFullScale, "Vitesse", QStringLiteral("65536")),
            Row("graph period", GraphPeriod, "Type", QStringLiteral("0")),
            Row("meter translucent", MeterTranslucent, "Transp", QStringLiteral("0")),
            Row("meter opacity", MeterOpacity, "TranspVal", QStringLiteral("255")),
            Row("meter stay on top", MeterStayOnTop, "aot", QStringLiteral("1")),
            Row("meter unit octets", MeterUnitOctets, "Unite2", QStringLiteral("0")),
            Row("meter graph shown", MeterGraphShown, "tracegraph", QStringLiteral("1")),
            Row("meter compact", MeterCompact, "micro", QStringLiteral("0")),
            Row("meter gradations", MeterGradations, "Gradu2", QStringLiteral("4")),
            Row("meter gradation seconds", MeterGradationSeconds, "Gradu3", QStringLiteral("30")),
            Row("meter scale index", MeterScaleIndex, "Echelle2", QStringLiteral("-1")),
            Row("meter full scale", MeterFullScale, "Vitesse2", QStringLiteral("65536")),
            Row("meter width", MeterWidth, "width", QStringLiteral("403")),
            Row("meter height", MeterHeight, "height", QStringLiteral("189")),
            Row("meter top", MeterTop, "top", QStringLiteral("123")),
            Row("meter left", MeterLeft, "left", QStringLiteral("197")),
            Row("meter average", MeterAverage, "Type moyenne", QStringLiteral("0")),
            Row("received 1", Colours[0], "lrec", QStringLiteral("00CC00")),
            Row("sent 1", Colours[1], "lenv", QStringLiteral("FF0000")),
            Row("received 2", Colours[2], "lrep", QStringLiteral("006600")),
            Row("sent 2", Colours[3], "lenp", QStringLiteral("FF00FF")),
            Row("intersection", Colours[4], "lint", QStringLiteral("01E5DD")),
        };
        QCOMPARE(rows.size(), kSettingsTable.size()); // every value has a key
        for (const KeyRow& r : rows)
            QTest::newRow(r.role) << r.row << QString::fromLatin1(r.stored) << r.defaultText;
    }

    void keysNameTheirValues()
    {
        QFETCH(int, row);
        QFETCH(QString, stored);
        QFETCH(QString, defaultText);
        QCOMPARE(QString::fromLatin1(kSettingsTable[static_cast<size_t>(row)].name), stored);
        const Settings fresh;
        QCOMPARE(ValueText(fresh, row), defaultText);
        QCOMPARE(Text(DefaultValue(kSettingsTable[static_cast<size_t>(row)])), defaultText);
    }

    void everyValueRoundTripsThroughTheFile()
    {
        Settings before;
        before.load(SettingsStore(path()), {QStringLiteral("eth0"), QStringLiteral("lo")});
        for (size_t i = 0; i < kSettingsTable.size(); ++i)
        {
            const SettingSpec& spec = kSettingsTable[i];
            const int row = static_cast<int>(i);
            if (spec.type == SettingType::Bool)
                before.set(SettingKey<bool>{row}, spec.intDefault == 0);
            else if (spec.type == SettingType::Int)
                before.set(SettingKey<int32_t>{row}, spec.max == INT32_MAX ? spec.intDefault + 7 : spec.max);
            else
                before.set(SettingKey<QString>{row}, QStringLiteral("0A0B0C"));
        }
        // Compact mode forces the graph hidden whatever was set before it.
        before.set(settings::MeterCompact, false);
        before.set(settings::MeterGraphShown, false);
        before.setMarks(1, {true, false, true});
        {
            SettingsStore store(path());
            QVERIFY(before.save(store));
        }
        Settings after;
        after.load(SettingsStore(path()), {QStringLiteral("LO"), QStringLiteral("eth0")});
        for (size_t i = 0; i < kSettingsTable.size(); ++i)
        {
            const int row = static_cast<int>(i);
            QCOMPARE(ValueText(after, row), ValueText(before, row));
            QVERIFY(after.wasStored(SettingKey<QString>{row})); // a save writes every value
        }
        // Marks follow the name (compared without case), not the position.
        QCOMPARE(after.statisticsMarks(), (std::vector<bool>{true, false}));
        QVERIFY(after.marks(0).graph2);
    }

    void nothingIsStoredOnAFirstRun()
    {
        Settings settings;
        settings.load(SettingsStore(path()), {});
        QVERIFY(!settings.wasStored(settings::GraphFolder));
        QCOMPARE(settings.value(settings::MeterFullScale), 65536);
    }

    void changesAreSignalledOnceAndKeptInRange_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("kept");
        QTest::newRow("inside") << 100 << 100;
        QTest::newRow("below 0 is 0") << -5 << 0;
        QTest::newRow("above 255 is 255") << 300 << 255;
    }
    void changesAreSignalledOnceAndKeptInRange()
    {
        QFETCH(int, asked);
        QFETCH(int, kept);
        Settings settings;
        QSignalSpy changed(&settings, &Settings::changed);
        settings.set(settings::MeterOpacity, asked);
        QCOMPARE(settings.value(settings::MeterOpacity), kept);
        QCOMPARE(changed.count(), kept == 255 ? 0 : 1);
        settings.set(settings::MeterOpacity, kept);
        QCOMPARE(changed.count(), kept == 255 ? 0 : 1);
        if (!changed.isEmpty())
            QVERIFY(Settings::is(changed.at(0).at(0).toInt(), settings::MeterOpacity));
    }

    void compactModeHidesTheGraph()
    {
        Settings settings;
        QSignalSpy changed(&settings, &Settings::changed);
        settings.set(settings::MeterCompact, true);
        QVERIFY(!settings.value(settings::MeterGraphShown));
        QCOMPARE(changed.count(), 2);
        settings.set(settings::MeterCompact, false);
        QVERIFY(settings.value(settings::MeterGraphShown));

        SettingsStore store(path());
        store.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
        store.writeBool(QStringLiteral("micro"), true);
        store.writeBool(QStringLiteral("tracegraph"), true);
        Settings loaded;
        loaded.load(store, {});
        QVERIFY(!loaded.value(settings::MeterGraphShown));
    }

    void marks()
    {
        Settings settings;
        settings.load(SettingsStore(path()), {QStringLiteral("eth0"), QStringLiteral("lo")});
        QSignalSpy checked(&settings, &Settings::statisticsChecked);
        QSignalSpy marksChanged(&settings, &Settings::marksChanged);

        settings.setPrimed(true);
        settings.setMarks(0, {true, false, false});
        QVERIFY(settings.primed()); // statistics marks leave the meter's readings alone
        QCOMPARE(checked.count(), 1);
        settings.setMarks(0, {true, true, false});
        QVERIFY(!settings.primed());
        // The newer graph mark wins; an unchanged statistics mark is not "checked" again.
        settings.setMarks(0, {true, true, true});
        QCOMPARE(settings.marks(0).graph1, false);
        QCOMPARE(settings.marks(0).graph2, true);
        QCOMPARE(checked.count(), 1);
        settings.setMarks(0, {true, false, true});
        QCOMPARE(marksChanged.count(), 3);
        // Positions outside the list are ignored.
        settings.setMarks(2, {true, true, false});
        settings.setMarks(-1, {true, true, false});
        QCOMPARE(settings.marks(2).statistics, false);
        QCOMPARE(marksChanged.count(), 3);
    }

    void interfacesThatDifferOnlyInCaseKeepTheirOwnMarks()
    {
        {
            SettingsStore store(path());
            Settings settings;
            settings.load(store, {QStringLiteral("Eth0"), QStringLiteral("eth0")});
            settings.setMarks(1, {true, false, true});
            QVERIFY(settings.save(store));
        }
        Settings settings;
        settings.load(SettingsStore(path()), {QStringLiteral("eth0"), QStringLiteral("Eth0")});
        QCOMPARE(settings.statisticsMarks(), (std::vector<bool>{true, false}));
        QVERIFY(settings.marks(0).graph2);
        QVERIFY(!settings.marks(1).graph2);
    }

    void aFoldedMarkOfAnOlderFileIsReadWhenItCanBeNoOtherInterfaces()
    {
        {
            // As written before marks kept their letter case: "Eth0" was stored as "eth0".
            SettingsStore store(path());
            store.writeBool(QStringLiteral("Eth0"), true);
            QVERIFY(store.sync());
        }
        Settings alone;
        alone.load(SettingsStore(path()), {QStringLiteral("Eth0"), QStringLiteral("lo")});
        QCOMPARE(alone.statisticsMarks(), (std::vector<bool>{true, false}));
        Settings both;
        both.load(SettingsStore(path()), {QStringLiteral("Eth0"), QStringLiteral("ETH0")});
        QCOMPARE(both.statisticsMarks(), (std::vector<bool>{false, false}));
    }

    void refreshPeriod()
    {
        Settings settings;
        QCOMPARE(settings.refreshPosition(), 20);
        QCOMPARE(settings.refreshPeriodMs(), 1000);
        settings.setPrimed(true);
        settings.setRefreshPosition(0);
        QCOMPARE(settings.refreshPosition(), 1);
        QVERIFY(!settings.primed());
        settings.setRefreshPosition(500);
        QCOMPARE(settings.refreshPeriodMs(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
