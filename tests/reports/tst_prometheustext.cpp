// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrometheusText.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using reports::InterfaceMetrics;

Q_DECLARE_METATYPE(std::vector<InterfaceMetrics>)
Q_DECLARE_METATYPE(std::optional<qint64>)

namespace
{
// The system's own interpreter: another one comes first in PATH on some machines, without the module.
const QString kPython = QStringLiteral("/usr/bin/python3");

// Parses stdin with the reference parser and prints what it found; 77 when the module is missing.
const QString kParse = QStringLiteral(R"(
import json, math, sys
try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    sys.exit(77)

def value(v):
    if math.isnan(v):
        return 'NaN'
    if math.isinf(v):
        return '+Inf' if v > 0 else '-Inf'
    return v

text = sys.stdin.buffer.read().decode('utf-8')
print(json.dumps([{'name': f.name, 'type': f.type, 'help': f.documentation,
                   'samples': [{'name': s.name, 'labels': s.labels, 'value': value(s.value)} for s in f.samples]}
                  for f in text_string_to_metric_families(text)]))
)");

struct Family
{
    const char* name; // as the parser names it: a counter's family drops "_total"
    const char* sample;
    const char* type;
};

const Family kFamilies[] = {
    {"vorp_received_bytes", "vorp_received_bytes_total", "counter"},
    {"vorp_sent_bytes", "vorp_sent_bytes_total", "counter"},
    {"vorp_today_received_bytes", "vorp_today_received_bytes", "gauge"},
    {"vorp_today_sent_bytes", "vorp_today_sent_bytes", "gauge"},
    {"vorp_month_received_bytes", "vorp_month_received_bytes", "gauge"},
    {"vorp_month_sent_bytes", "vorp_month_sent_bytes", "gauge"},
    {"vorp_month_forecast_bytes", "vorp_month_forecast_bytes", "gauge"},
    {"vorp_pending_samples", "vorp_pending_samples", "gauge"},
};

QJsonValue Text(const char* s)
{
    return QJsonValue(QLatin1StringView(s));
}

QJsonObject Sample(const char* name, const QJsonObject& labels, const QJsonValue& value)
{
    return {{QStringLiteral("name"), Text(name)}, {QStringLiteral("labels"), labels}, {QStringLiteral("value"), value}};
}

QJsonObject FamilyObject(const char* name, const char* type, const QJsonArray& samples)
{
    return {{QStringLiteral("name"), Text(name)},
            {QStringLiteral("type"), Text(type)},
            {QStringLiteral("samples"), samples}};
}

// What the parser should find: per interface, its name and its values in the order of kFamilies (a number,
// or "NaN", "+Inf", "-Inf"; those left out are 0), then a recorder that does not record and has no error.
using Expected = std::pair<QString, std::vector<QJsonValue>>;

QJsonArray Families(const std::vector<Expected>& interfaces, std::optional<qint64> lastSample)
{
    QJsonArray families;
    for (size_t m = 0; m < std::size(kFamilies); ++m)
    {
        QJsonArray samples;
        for (const auto& [name, values] : interfaces)
            samples.append(Sample(kFamilies[m].sample, {{QStringLiteral("interface"), name}},
                                  m < values.size() ? values[m] : QJsonValue(0)));
        families.append(FamilyObject(kFamilies[m].name, kFamilies[m].type, samples));
    }
    families.append(FamilyObject("vorp_recording", "gauge", {Sample("vorp_recording", {}, 0)}));
    families.append(FamilyObject("vorp_write_errors", "counter", {Sample("vorp_write_errors_total", {}, 0)}));
    if (lastSample)
        families.append(FamilyObject("vorp_last_sample_timestamp_seconds", "gauge",
                                     {Sample("vorp_last_sample_timestamp_seconds", {}, double(*lastSample))}));
    return families;
}

InterfaceMetrics Metrics(const QString& name, uint64_t received, uint64_t sent, long double todayReceived,
                         long double todaySent, long double monthReceived, long double monthSent, long double forecast)
{
    return {name, received, sent, todayReceived, todaySent, monthReceived, monthSent, forecast};
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteText(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// One line per family and per sample. Numbers are compared as doubles: QJsonDocument keeps some as integers.
QStringList Flatten(const QJsonArray& families)
{
    QStringList lines;
    for (const QJsonValue& family : families)
    {
        lines += family[u"name"].toString() + QLatin1Char(' ') + family[u"type"].toString();
        for (const QJsonValue& sample : family[u"samples"].toArray())
        {
            const QJsonValue value = sample[u"value"];
            lines +=
                QStringLiteral("  %1 %2 %3")
                    .arg(sample[u"name"].toString(),
                         QString::fromUtf8(QJsonDocument(sample[u"labels"].toObject()).toJson(QJsonDocument::Compact)),
                         value.isString() ? value.toString() : QString::number(value.toDouble(), 'g', 17));
        }
    }
    return lines;
}

mode_t Mode(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}
} // namespace

class TestPrometheusText : public QObject
{
    Q_OBJECT
private slots:
    void parsedByReferenceParser_data();
    void parsedByReferenceParser();
    void writeReplacesFileReadableByAll();
    void failedWriteLeavesFolderAsItWas_data();
    void failedWriteLeavesFolderAsItWas();
    void leftoversOfAKilledWriterAreSwept();
    void healthAndUserLabel();
    void planSeries();
};

void TestPrometheusText::parsedByReferenceParser_data()
{
    QTest::addColumn<std::vector<InterfaceMetrics>>("interfaces");
    QTest::addColumn<std::optional<qint64>>("lastSample");
    QTest::addColumn<QJsonArray>("expected");
    // Lines the text must hold as they are: the parser reads numbers as doubles and is lenient with escapes.
    QTest::addColumn<QByteArrayList>("lines");

    const QString eth0 = QStringLiteral("eth0");
    const std::optional<qint64> noSample;

    QTest::newRow("no interface, no sample yet: headers only")
        << std::vector<InterfaceMetrics>{} << noSample << Families({}, noSample)
        << QByteArrayList{"# TYPE vorp_received_bytes_total counter\n"};

    // 15 June 2004, 14:35:07 UTC.
    const std::optional<qint64> sample = 1087310107;
    QTest::newRow("one interface and a sample: whole numbers without an exponent")
        << std::vector<InterfaceMetrics>{Metrics(eth0, 1000000, 2000000, 3000000, 4000000, 5000000, 6000000, 22000000)}
        << sample << Families({{eth0, {1e6, 2e6, 3e6, 4e6, 5e6, 6e6, 22e6}}}, sample)
        << QByteArrayList{"vorp_received_bytes_total{interface=\"eth0\"} 1000000\n",
                          "vorp_today_received_bytes{interface=\"eth0\"} 3000000\n",
                          "vorp_month_forecast_bytes{interface=\"eth0\"} 22000000\n",
                          "vorp_last_sample_timestamp_seconds 1087310107\n"};

    const QString quote = QStringLiteral("say \"hi\"");
    const QString backslash = QStringLiteral("C:\\temp\\");
    const QString lineFeed = QStringLiteral("two\nlines");
    const QString accented = QStringLiteral("Connexion réseau sans fil");
    QTest::newRow("odd characters in names, in the order given")
        << std::vector<InterfaceMetrics>{Metrics(quote, 1, 2, 3, 4, 5, 6, 7), Metrics(backslash, 0, 0, 0, 0, 0, 0, 0),
                                         Metrics(lineFeed, 0, 0, 0, 0, 0, 0, 0), Metrics(accented, 0, 0, 0, 0, 0, 0, 0)}
        << noSample
        << Families({{quote, {1, 2, 3, 4, 5, 6, 7}},
                     {backslash, {0, 0, 0, 0, 0, 0, 0}},
                     {lineFeed, {0, 0, 0, 0, 0, 0, 0}},
                     {accented, {0, 0, 0, 0, 0, 0, 0}}},
                    noSample)
        << QByteArrayList{"vorp_received_bytes_total{interface=\"say \\\"hi\\\"\"} 1\n",
                          "vorp_received_bytes_total{interface=\"C:\\\\temp\\\\\"} 0\n",
                          "vorp_received_bytes_total{interface=\"two\\nlines\"} 0\n",
                          "vorp_received_bytes_total{interface=\"Connexion r\xc3\xa9seau sans fil\"} 0\n"};

    // 2^53 + 1, 2^64 - 1 and 2^60 + 1: a double would round them to 2^53, 2^64 and 2^60.
    QTest::newRow("counters above 2^53 stay exact")
        << std::vector<InterfaceMetrics>{Metrics(eth0, 9007199254740993u, 18446744073709551615u, 1152921504606846977.0L,
                                                 0, 0, 0, 0)}
        << noSample
        << Families({{eth0, {9007199254740992.0, 18446744073709551616.0, 1152921504606846976.0, 0, 0, 0, 0}}}, noSample)
        << QByteArrayList{"vorp_received_bytes_total{interface=\"eth0\"} 9007199254740993\n",
                          "vorp_sent_bytes_total{interface=\"eth0\"} 18446744073709551615\n",
                          "vorp_today_received_bytes{interface=\"eth0\"} 1152921504606846977\n"};

    // A third needs all its digits to come back as the double nearest to it.
    QTest::newRow("fractions in gauges") << std::vector<InterfaceMetrics>{Metrics(eth0, 0, 0, 1234.5L, 0.1L, 0, 0,
                                                                                  1.0L / 3)}
                                         << noSample
                                         << Families({{eth0, {0, 0, 1234.5, 0.1, 0, 0, 0.3333333333333333}}}, noSample)
                                         << QByteArrayList{"vorp_today_received_bytes{interface=\"eth0\"} 1234.5\n",
                                                           "vorp_today_sent_bytes{interface=\"eth0\"} 0.1\n"};

    constexpr long double inf = std::numeric_limits<long double>::infinity();
    QTest::newRow("not a number and infinities")
        << std::vector<InterfaceMetrics>{Metrics(eth0, 0, 0, std::numeric_limits<long double>::quiet_NaN(), inf, -inf,
                                                 0, 0)}
        << noSample << Families({{eth0, {0, 0, Text("NaN"), Text("+Inf"), Text("-Inf"), 0, 0}}}, noSample)
        << QByteArrayList{"vorp_today_received_bytes{interface=\"eth0\"} NaN\n",
                          "vorp_today_sent_bytes{interface=\"eth0\"} +Inf\n",
                          "vorp_month_received_bytes{interface=\"eth0\"} -Inf\n"};
}

void TestPrometheusText::parsedByReferenceParser()
{
    QFETCH(std::vector<InterfaceMetrics>, interfaces);
    QFETCH(std::optional<qint64>, lastSample);
    QFETCH(QJsonArray, expected);
    QFETCH(QByteArrayList, lines);

    const QByteArray text = reports::PrometheusText(interfaces, lastSample);
    QVERIFY(text.endsWith('\n'));
    QVERIFY(!text.contains('\r'));
    for (const QByteArray& line : lines)
        QVERIFY2(text.contains(line), line.constData());

    if (!QFileInfo(kPython).isExecutable())
        QSKIP("no /usr/bin/python3");
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), kParse});
    QVERIFY(python.waitForStarted(-1));
    python.write(text);
    python.closeWriteChannel();
    QVERIFY(python.waitForFinished(-1));
    if (python.exitCode() == 77)
        QSKIP("the prometheus_client module is not installed for /usr/bin/python3");
    QVERIFY2(python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0,
             python.readAllStandardError().constData());

    QJsonParseError error{};
    const QJsonArray families = QJsonDocument::fromJson(python.readAllStandardOutput(), &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    for (const QJsonValue& family : families)
        QVERIFY2(!family[u"help"].toString().isEmpty(), qPrintable(family[u"name"].toString()));
    QCOMPARE(Flatten(families), Flatten(expected));
}

void TestPrometheusText::writeReplacesFileReadableByAll()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vorp.prom"));
    // A private umask must not hide the file from a collector running as another user.
    const mode_t umaskBefore = ::umask(077);
    const auto restore = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });

    QString error;
    QVERIFY(reports::WriteFileAtomically(path, "first\n", &error));
    QCOMPARE(ReadAll(path), QByteArray("first\n"));
    QCOMPARE(Mode(path), mode_t(0644));

    // Nor does a replaced file's mode carry over.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(reports::WriteFileAtomically(path, "second\n", &error));
    QCOMPARE(ReadAll(path), QByteArray("second\n"));
    QCOMPARE(Mode(path), mode_t(0644));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("vorp.prom")});
}

void TestPrometheusText::failedWriteLeavesFolderAsItWas_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<int>("reason"); // the system's, told with the path
    QTest::newRow("the target is a folder: the rename fails") << QStringLiteral("target folder") << EISDIR;
    QTest::newRow("the folder is a regular file") << QStringLiteral("file as folder") << ENOTDIR;
    QTest::newRow("read-only folder with an old file") << QStringLiteral("read-only folder") << EACCES;
}

void TestPrometheusText::failedWriteLeavesFolderAsItWas()
{
    QFETCH(QString, obstacle);
    QFETCH(int, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path;
    QString folder = dir.path();
    QString oldFile; // a file whose text must survive
    if (obstacle == QLatin1String("target folder"))
    {
        path = dir.filePath(QStringLiteral("vorp.prom"));
        QVERIFY(QDir().mkdir(path));
        oldFile = path + QStringLiteral("/inside");
    }
    else if (obstacle == QLatin1String("file as folder"))
    {
        oldFile = dir.filePath(QStringLiteral("plain"));
        path = oldFile + QStringLiteral("/vorp.prom");
    }
    else
    {
        if (::geteuid() == 0)
            QSKIP("root writes in a read-only folder");
        folder = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(folder));
        path = oldFile = folder + QStringLiteral("/vorp.prom");
    }
    QVERIFY(WriteText(oldFile, "old\n"));
    const auto unlock = qScopeGuard(
        [folder] { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    if (obstacle == QLatin1String("read-only folder"))
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    // The folder the new file would be made in.
    const QStringList before = Entries(folder);

    QString error;
    QVERIFY(!reports::WriteFileAtomically(path, "new\n", &error));
    QCOMPARE(error, QStringLiteral("Impossible d'écrire dans %1 : %2").arg(path, qt_error_string(reason)));
    QCOMPARE(ReadAll(oldFile), QByteArray("old\n"));
    QCOMPARE(Entries(folder), before);
}

// A recorder killed between writing its new file and renaming it leaves the new file behind; only such
// files long abandoned go, never another writer's fresh one nor anything else in the folder.
void TestPrometheusText::leftoversOfAKilledWriterAreSwept()
{
    QTemporaryDir folder;
    const QDateTime now = QDateTime::currentDateTime();
    const auto make = [&](const QString& name, qint64 ageSecs) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("vorp_recording 1\n");
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(now.addSecs(-ageSecs), QFileDevice::FileModificationTime));
    };
    make(QStringLiteral(".vorp-a1B2c3D4.tmp"), reports::kLeftoverAgeSecs + 60); // abandoned
    make(QStringLiteral(".vorp-Zz9Yy8Xx.tmp"), 5);                              // being written by another
    make(QStringLiteral(".vorp-short.tmp"), reports::kLeftoverAgeSecs + 60);    // not a name of ours
    make(QStringLiteral("node.prom"), reports::kLeftoverAgeSecs + 60);
    reports::SweepLeftovers(folder.filePath(QStringLiteral("vorp.prom")), now);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{QStringLiteral(".vorp-Zz9Yy8Xx.tmp"), QStringLiteral(".vorp-short.tmp"),
                          QStringLiteral("node.prom")}));
}

// Every series carries the user, so that two users' recorders writing into one folder never clash, and
// the health series say whether this machine records.
void TestPrometheusText::healthAndUserLabel()
{
    reports::RecorderHealth health;
    health.user = QStringLiteral("alice");
    health.version = QStringLiteral("1.10.11.213");
    health.recording = false;
    health.writeErrors = 3;
    InterfaceMetrics eth0 = Metrics(QStringLiteral("eth0"), 10, 20, 30, 40, 50, 60, 700);
    eth0.pendingSamples = 2;
    QByteArray text = reports::PrometheusText({eth0}, health);
    for (const QByteArray& line :
         {QByteArray("vorp_received_bytes_total{interface=\"eth0\",user=\"alice\"} 10\n"),
          QByteArray("vorp_pending_samples{interface=\"eth0\",user=\"alice\"} 2\n"),
          QByteArray("vorp_recording{user=\"alice\"} 0\n"), QByteArray("vorp_write_errors_total{user=\"alice\"} 3\n"),
          QByteArray("vorp_build_info{version=\"1.10.11.213\",user=\"alice\"} 1\n")})
        QVERIFY2(text.contains(line), line.constData());
    // No sample stored yet: no time to give.
    QVERIFY(!text.contains("vorp_last_sample_timestamp_seconds{"));
    health.recording = true;
    health.lastSampleSeconds = 1087310107;
    text = reports::PrometheusText({eth0}, health);
    QVERIFY(text.contains("vorp_recording{user=\"alice\"} 1\n"));
    QVERIFY(text.contains("vorp_last_sample_timestamp_seconds{user=\"alice\"} 1087310107\n"));

    if (!QFileInfo(kPython).isExecutable())
        QSKIP("no /usr/bin/python3");
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), kParse});
    QVERIFY(python.waitForStarted(-1));
    python.write(text);
    python.closeWriteChannel();
    QVERIFY(python.waitForFinished(-1));
    if (python.exitCode() == 77)
        QSKIP("the prometheus_client module is not installed for /usr/bin/python3");
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonArray families = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QStringList names;
    for (const QJsonValue& family : families)
        names.append(family[u"name"].toString());
    for (const char* name : {"vorp_pending_samples", "vorp_recording", "vorp_write_errors", "vorp_build_info",
                             "vorp_last_sample_timestamp_seconds"})
        QVERIFY2(names.contains(QString::fromLatin1(name)), name);
}

// The plan series of the interfaces with a plan, read by the reference parser; the allowance only where there
// is one, so that a ratio to it is never infinite.
void TestPrometheusText::planSeries()
{
    reports::PlanMetrics eth0Plan;
    eth0Plan.allowance = 60000000000;
    eth0Plan.used = 50000000000;
    eth0Plan.projected = 500000000000;
    eth0Plan.cycleEndSeconds = 1814392800; // 1 July 2027 in Paris
    eth0Plan.p95Received = 500;
    eth0Plan.p95Sent = 100.5L;
    reports::PlanMetrics wlanPlan;
    wlanPlan.used = 7;
    wlanPlan.projected = 70;
    wlanPlan.cycleEndSeconds = 1814392800;
    InterfaceMetrics eth0 = Metrics(QStringLiteral("eth0"), 0, 0, 0, 0, 0, 0, 0);
    eth0.plan = eth0Plan;
    InterfaceMetrics wlan0 = Metrics(QStringLiteral("wlan0"), 0, 0, 0, 0, 0, 0, 0);
    wlan0.plan = wlanPlan;
    const InterfaceMetrics lo = Metrics(QStringLiteral("lo"), 0, 0, 0, 0, 0, 0, 0);
    reports::RecorderHealth health;
    health.user = QStringLiteral("alice");
    const QByteArray text = reports::PrometheusText({eth0, lo, wlan0}, health);
    QVERIFY(!reports::PrometheusText({lo}, health).contains("vorp_plan_"));

    if (!QFileInfo(kPython).isExecutable())
        QSKIP("no /usr/bin/python3");
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), kParse});
    QVERIFY(python.waitForStarted(-1));
    python.write(text);
    python.closeWriteChannel();
    QVERIFY(python.waitForFinished(-1));
    if (python.exitCode() == 77)
        QSKIP("the prometheus_client module is not installed for /usr/bin/python3");
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    QJsonArray plans;
    for (const QJsonValue& family : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        if (family[u"name"].toString().startsWith(QLatin1String("vorp_plan_")))
            plans.append(family);
    const auto labels = [](const char* interface, const char* direction = nullptr) {
        QJsonObject o{{QStringLiteral("interface"), Text(interface)}, {QStringLiteral("user"), Text("alice")}};
        if (direction)
            o.insert(QStringLiteral("direction"), Text(direction));
        return o;
    };
    const QJsonArray expected = {
        FamilyObject("vorp_plan_allowance_bytes", "gauge", {Sample("vorp_plan_allowance_bytes", labels("eth0"), 6e10)}),
        FamilyObject(
            "vorp_plan_used_bytes", "gauge",
            {Sample("vorp_plan_used_bytes", labels("eth0"), 5e10), Sample("vorp_plan_used_bytes", labels("wlan0"), 7)}),
        FamilyObject("vorp_plan_projected_bytes", "gauge",
                     {Sample("vorp_plan_projected_bytes", labels("eth0"), 5e11),
                      Sample("vorp_plan_projected_bytes", labels("wlan0"), 70)}),
        FamilyObject("vorp_plan_cycle_end_timestamp_seconds", "gauge",
                     {Sample("vorp_plan_cycle_end_timestamp_seconds", labels("eth0"), 1814392800.0),
                      Sample("vorp_plan_cycle_end_timestamp_seconds", labels("wlan0"), 1814392800.0)}),
        FamilyObject("vorp_plan_p95_bytes_per_second", "gauge",
                     {Sample("vorp_plan_p95_bytes_per_second", labels("eth0", "received"), 500),
                      Sample("vorp_plan_p95_bytes_per_second", labels("eth0", "sent"), 100.5),
                      Sample("vorp_plan_p95_bytes_per_second", labels("wlan0", "received"), 0),
                      Sample("vorp_plan_p95_bytes_per_second", labels("wlan0", "sent"), 0)}),
    };
    QCOMPARE(Flatten(plans), Flatten(expected));
}

QTEST_GUILESS_MAIN(TestPrometheusText)
#include "tst_prometheustext.moc"
