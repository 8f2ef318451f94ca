#include "reports/Descriptor.h"

#include "common/NumberText.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace reports
{
namespace
{
// Sections and keys compare without regard to case; the first section of a name is the one read,
// as the profile functions do.
DescriptorContents Parse(const QByteArray& bytes)
{
    DescriptorContents contents;
    const QString text = QString::fromUtf8(bytes);
    enum class Where { Other, Header, Data } where = Where::Other;
    bool seenHeader = false, seenData = false;
    for (QStringView raw : QStringView(text).split(QLatin1Char('\n')))
    {
        const QStringView line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
        {
            const QStringView name = line.mid(1, line.size() - 2).trimmed();
            where = Where::Other;
            if (name.compare(QLatin1String("VORP DB"), Qt::CaseInsensitive) == 0 && !seenHeader)
            {
                where = Where::Header;
                seenHeader = true;
            }
            else if (name.compare(QLatin1String("data"), Qt::CaseInsensitive) == 0 && !seenData)
            {
                where = Where::Data;
                seenData = true;
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (where == Where::Data)
            contents.dataLines.append(line.toString());
        else if (where == Where::Header && !contents.ifname &&
                 line.left(eq).trimmed().compare(QLatin1String("ifname"), Qt::CaseInsensitive) == 0)
            contents.ifname = line.mid(eq + 1).trimmed().toString();
    }
    return contents;
}
}

QString DescriptorPathIn(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + QStringLiteral("nic.inf") : dir + QStringLiteral("/nic.inf");
}

std::optional<DescriptorContents> ReadDescriptor(const QString& dir)
{
    QFile file(DescriptorPathIn(dir));
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Parse(file.readAll());
}

bool IsDayLine(const QString& line)
{
    if (line.size() < 5)
        return false;
    for (int i = 0; i < 5; ++i)
        if (line[i] < QLatin1Char('0') || line[i] > QLatin1Char('9'))
            return false;
    return true;
}

int DayOfLine(const QString& line)
{
    return QStringView(line).left(5).toInt();
}

QChar LetterOfLine(const QString& line)
{
    return line.size() > 5 ? line[5] : QChar();
}

float AmountOfLine(const QString& line)
{
    long double value = 0;
    if (line.size() <= 7 || !ParseFloatText(line.mid(7), value))
        return 0.0f;
    // Beyond single precision the amount is no day total at all.
    if (std::fabs(value) > 3.0e38L)
        return 0.0f;
    return static_cast<float>(value);
}
}
