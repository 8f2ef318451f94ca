// SPDX-License-Identifier: GPL-3.0-or-later
// The day-file append over any file contents: the reader then takes the lines it took before and the
// new one, nothing else; the store's sums of a day file are the reader's.
#include "graph/HistoryLoader.h"
#include "store/DayFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <limits>

namespace
{
// The system's calls but fsync, which would make every run wait on the disk.
class NoSync final : public store::FileOps
{
public:
    int open(const QString& path, int flags, mode_t mode) override { return m_system.open(path, flags, mode); }
    int close(int fd) override { return m_system.close(fd); }
    int fstat(int fd, struct stat* st) override { return m_system.fstat(fd, st); }
    int lstat(const QString& path, struct stat* st) override { return m_system.lstat(path, st); }
    ssize_t pread(int fd, void* buffer, size_t size, off_t offset) override
    {
        return m_system.pread(fd, buffer, size, offset);
    }
    ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) override
    {
        return m_system.pwrite(fd, data, size, offset);
    }
    int fsync(int) override { return 0; }
    int ftruncate(int fd, off_t length) override { return m_system.ftruncate(fd, length); }
    int rename(const QString& from, const QString& to) override { return m_system.rename(from, to); }
    int unlink(const QString& path) override { return m_system.unlink(path); }
    int mkdir(const QString& path, mode_t mode) override { return m_system.mkdir(path, mode); }

private:
    store::FileOps& m_system = store::SystemFileOps();
};

QList<QByteArray> Lines(const QByteArray& data, store::DaySums* sums = nullptr)
{
    QList<QByteArray> lines;
    graph::SampleLineReader reader(data);
    while (const auto line = reader.next())
    {
        lines.append(line->toByteArray());
        const auto sample = graph::ParseSampleLine(*line);
        if (sums && sample)
        {
            constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
            const auto in = static_cast<uint64_t>(sample->in);
            const auto out = static_cast<uint64_t>(sample->out);
            sums->in = sums->in > kMax - in ? kMax : sums->in + in;
            sums->out = sums->out > kMax - out ? kMax : sums->out + out;
        }
    }
    return lines;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QTemporaryDir dir;
    static NoSync ops;
    const QByteArray line = "23:59:59123U45\r\n";
    if (size + static_cast<size_t>(line.size()) > static_cast<size_t>(store::kDayFileLimit))
        return 0;
    const QByteArray before(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = dir.filePath(QStringLiteral("38153.mdf"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(before) != before.size())
            std::abort();
    }
    store::DaySums expected;
    const QList<QByteArray> lines = Lines(before, &expected);
    const store::DaySums sums = store::SumDayLines(before);
    if (sums.in != expected.in || sums.out != expected.out)
        std::abort();
    if (store::AppendDayLine(path, line, ops).status != store::DayAppend::Status::Appended)
        std::abort();
    if (Lines(ReadAll(path)) != lines + QList<QByteArray>{line.chopped(2)})
        std::abort();
    return 0;
}
