// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrometheusText.h"

#include "reports/DataPlan.h"
#include "store/FileOps.h"
#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>

namespace reports
{
namespace
{
struct Metric
{
    const char* name;
    const char* type;
    const char* help;
    QByteArray (*value)(const InterfaceMetrics&);
};

QByteArray Number(long double v)
{
    if (std::isnan(v))
        return QByteArrayLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QByteArrayLiteral("+Inf") : QByteArrayLiteral("-Inf");
    if (v == 0)
        return QByteArrayLiteral("0"); // not "-0"
    // Whole numbers without an exponent, however large; anything else in the shortest form that reads
    // back as the same long double.
    char buffer[LDBL_MAX_10_EXP + 32];
    const std::chars_format format = std::floor(v) == v ? std::chars_format::fixed : std::chars_format::general;
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, v, format);
    return QByteArray(buffer, result.ptr - buffer);
}

QByteArray Number(uint64_t v)
{
    return QByteArray::number(static_cast<qulonglong>(v));
}

const Metric kMetrics[] = {
    {"vorp_received_bytes_total", "counter", "Bytes received since the recorder started.",
     [](const InterfaceMetrics& m) { return Number(m.receivedSinceStart); }},
    {"vorp_sent_bytes_total", "counter", "Bytes sent since the recorder started.",
     [](const InterfaceMetrics& m) { return Number(m.sentSinceStart); }},
    {"vorp_today_received_bytes", "gauge", "Bytes received today.",
     [](const InterfaceMetrics& m) { return Number(m.todayReceived); }},
    {"vorp_today_sent_bytes", "gauge", "Bytes sent today.",
     [](const InterfaceMetrics& m) { return Number(m.todaySent); }},
    {"vorp_month_received_bytes", "gauge", "Bytes received this month.",
     [](const InterfaceMetrics& m) { return Number(m.monthReceived); }},
    {"vorp_month_sent_bytes", "gauge", "Bytes sent this month.",
     [](const InterfaceMetrics& m) { return Number(m.monthSent); }},
    {"vorp_month_forecast_bytes", "gauge", "Forecast of this month's bytes, received and sent together.",
     [](const InterfaceMetrics& m) { return Number(m.monthForecast); }},
    {"vorp_pending_samples", "gauge", "Samples taken from the counters and not yet in the store.",
     [](const InterfaceMetrics& m) { return Number(m.pendingSamples); }},
};

void AppendHeader(QByteArray& text, const char* name, const char* type, const char* help)
{
    text += "# HELP ";
    text += name;
    text += ' ';
    text += help;
    text += "\n# TYPE ";
    text += name;
    text += ' ';
    text += type;
    text += '\n';
}

struct PlanMetric
{
    const char* name;
    const char* help;
    bool perDirection; // a series per direction, labelled
    bool ofAllowance;  // left out without an allowance
    long double (*value)(const PlanMetrics&, bool sent);
};

const PlanMetric kPlanMetrics[] = {
    {"vorp_plan_allowance_bytes", "Bytes the data plan allows per cycle.", false, true,
     [](const PlanMetrics& p, bool) { return static_cast<long double>(p.allowance); }},
    {"vorp_plan_used_bytes", "Bytes the data plan counts in the current cycle so far.", false, false,
     [](const PlanMetrics& p, bool) { return p.used; }},
    {"vorp_plan_projected_bytes", "Bytes the data plan will count by the end of the cycle at the pace so far.", false,
     false, [](const PlanMetrics& p, bool) { return p.projected; }},
    {"vorp_plan_cycle_end_timestamp_seconds", "Unix time the current cycle of the data plan ends.", false, false,
     [](const PlanMetrics& p, bool) { return static_cast<long double>(p.cycleEndSeconds); }},
    {"vorp_plan_p95_bytes_per_second",
     "95th percentile of the five-minute rate in the current cycle of the data plan, bytes per second.", true, false,
     [](const PlanMetrics& p, bool sent) { return sent ? p.p95Sent : p.p95Received; }},
};

// The format escapes exactly these three in a label value; the rest is UTF-8 as it is.
QByteArray LabelValue(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size() + 2);
    for (const char c : utf8)
    {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

constexpr mode_t kTextfileMode = 0644;

// The store's file calls, except that a file they create is readable by all whatever the umask or the
// mode of the file it replaces: the collector runs as another user.
class ReadableByAll final : public store::FileOps
{
public:
    int open(const QString& path, int flags, mode_t mode) override
    {
        if (!(flags & O_CREAT))
            return m_ops.open(path, flags, mode);
        const int fd = m_ops.open(path, flags, kTextfileMode);
        if (fd >= 0 && ::fchmod(fd, kTextfileMode) != 0)
        {
            const int error = errno;
            m_ops.close(fd);
            m_ops.unlink(path);
            errno = error;
            return -1;
        }
        return fd;
    }
    int close(int fd) override { return m_ops.close(fd); }
    int fstat(int fd, struct stat* st) override { return m_ops.fstat(fd, st); }
    int lstat(const QString& path, struct stat* st) override { return m_ops.lstat(path, st); }
    ssize_t pread(int fd, void* buffer, size_t size, off_t offset) override
    {
        return m_ops.pread(fd, buffer, size, offset);
    }
    ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) override
    {
        return m_ops.pwrite(fd, data, size, offset);
    }
    int fsync(int fd) override { return m_ops.fsync(fd); }
    int ftruncate(int fd, off_t length) override { return m_ops.ftruncate(fd, length); }
    int rename(const QString& from, const QString& to) override { return m_ops.rename(from, to); }
    int unlink(const QString& path) override { return m_ops.unlink(path); }
    int mkdir(const QString& path, mode_t mode) override { return m_ops.mkdir(path, mode); }

private:
    store::FileOps& m_ops = store::SystemFileOps();
};
} // namespace

QByteArray PrometheusText(const std::vector<InterfaceMetrics>& interfaces, const RecorderHealth& health)
{
    // Two users' recorders may write into one collector folder: the user label keeps their series apart.
    const QByteArray user = health.user.isEmpty() ? QByteArray() : "user=\"" + LabelValue(health.user) + '"';
    const auto labels = [&user](const QByteArray& first) {
        if (first.isEmpty() && user.isEmpty())
            return QByteArray();
        return '{' + first + (first.isEmpty() || user.isEmpty() ? "" : ",") + user + '}';
    };
    QByteArray text;
    for (const Metric& metric : kMetrics)
    {
        AppendHeader(text, metric.name, metric.type, metric.help);
        for (const InterfaceMetrics& itf : interfaces)
        {
            text += metric.name;
            text += labels("interface=\"" + LabelValue(itf.name) + '"');
            text += ' ';
            text += metric.value(itf);
            text += '\n';
        }
    }
    // The plan families only where a plan is set, so that a machine without one carries none of them.
    if (std::any_of(interfaces.begin(), interfaces.end(), [](const auto& itf) { return itf.plan; }))
        for (const PlanMetric& metric : kPlanMetrics)
        {
            AppendHeader(text, metric.name, "gauge", metric.help);
            for (const InterfaceMetrics& itf : interfaces)
            {
                if (!itf.plan || (metric.ofAllowance && itf.plan->allowance == 0))
                    continue;
                const QByteArray interface = "interface=\"" + LabelValue(itf.name) + '"';
                for (int direction = 0; direction < (metric.perDirection ? 2 : 1); ++direction)
                {
                    const bool sent = direction == 1;
                    text += metric.name;
                    text +=
                        labels(metric.perDirection ? interface + ",direction=\"" + (sent ? "sent" : "received") + '"'
                                                   : interface);
                    text += ' ';
                    text += Number(metric.value(*itf.plan, sent));
                    text += '\n';
                }
            }
        }
    const auto single = [&](const char* name, const char* type, const char* help, const QByteArray& value,
                            const QByteArray& first = QByteArray()) {
        AppendHeader(text, name, type, help);
        text += name;
        text += labels(first);
        text += ' ';
        text += value;
        text += '\n';
    };
    single("vorp_recording", "gauge",
           "1 while this recorder records, 0 while it waits for the store or after it stopped.",
           health.recording ? "1" : "0");
    single("vorp_write_errors_total", "counter",
           "Writes that failed (store files and this file) since the recorder started.", Number(health.writeErrors));
    if (!health.version.isEmpty())
        single("vorp_build_info", "gauge", "The recorder's version.", "1",
               "version=\"" + LabelValue(health.version) + '"');
    if (health.lastSampleSeconds)
        single("vorp_last_sample_timestamp_seconds", "gauge", "Unix time of the reading of the last sample stored.",
               QByteArray::number(*health.lastSampleSeconds));
    return text;
}

QByteArray PrometheusText(const std::vector<InterfaceMetrics>& interfaces, std::optional<qint64> lastSampleSeconds)
{
    RecorderHealth health;
    health.lastSampleSeconds = lastSampleSeconds;
    return PrometheusText(interfaces, health);
}

PlanMetrics PlanMetricsOf(const PlanFigures& figures)
{
    return {figures.plan.allowance, figures.used,    figures.projected, figures.cycle.end.toSecsSinceEpoch(),
            figures.p95.received,   figures.p95.sent};
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    // The store's new file is named ".vorp-XXXXXXXX.tmp": hidden, and not a ".prom" the collector reads.
    ReadableByAll ops;
    errno = 0;
    if (::WriteFileAtomically(path, bytes, ops))
        return true;
    const int why = errno;
    if (error)
        *error = why != 0 ? QStringLiteral("Impossible d'écrire dans %1 : %2").arg(path, qt_error_string(why))
                          : QStringLiteral("Impossible d'écrire dans %1").arg(path);
    return false;
}

void SweepLeftovers(const QString& path, const QDateTime& now)
{
    // Another recorder may be writing into the same folder this very moment: only files long abandoned go.
    const QDir dir = QFileInfo(path).absoluteDir();
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries)
        if (IsAtomicWriteLeftover(entry.fileName()) && !entry.isSymLink() &&
            entry.lastModified().secsTo(now) > kLeftoverAgeSecs)
            QFile::remove(entry.absoluteFilePath());
}
} // namespace reports
