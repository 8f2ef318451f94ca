// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/SettingsStore.h"

#include "store/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Values = QMap<QString, QVariant>;

// QSettings escapes every character of an INI key except '/', which separates groups, and it
// drops empty keys; so '%' and '/' are escaped here first and the empty name gets a key of its
// own ("%" alone cannot come from a non-empty name). Keys are case-folded, but for the values whose
// letter case counts (interface marks).
QString EncodedKey(const QString& name, bool exact = false)
{
    if (name.isEmpty())
        return QStringLiteral("%");
    QString key;
    key.reserve(name.size());
    for (const QChar c : exact ? name : name.toCaseFolded())
    {
        if (c == QLatin1Char('%'))
            key += QLatin1String("%25");
        else if (c == QLatin1Char('/'))
            key += QLatin1String("%2f");
        else
            key += c;
    }
    return key;
}

QString KeyIn(const Values& values, const QString& name, bool exact = false)
{
    const QString key = EncodedKey(name, exact);
    if (exact || values.contains(key))
        return key;
    // A key spelled otherwise (an edit by hand) still answers to its name.
    for (auto it = values.keyBegin(); it != values.keyEnd(); ++it)
    {
        if (!it->contains(QLatin1Char('/')) && it->toCaseFolded() == key)
            return *it;
    }
    return key;
}

std::optional<int32_t> ToInt32(const QVariant& v)
{
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

// The file as it stands at the path, read in place: never through a link, only a regular file, and never
// more than the limit.
struct FileText
{
    SettingsStore::FileState state = SettingsStore::FileState::Missing;
    QByteArray data;
    QString problem;
};

FileText ReadSettingsFile(const QString& path)
{
    FileText result;
    if (path.isEmpty())
        return result;
    const auto refused = [&result](QString why) {
        result.state = SettingsStore::FileState::Unreadable;
        result.problem = std::move(why);
        return result;
    };
    store::FileOps& ops = store::SystemFileOps();
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer. A link is followed: the settings file is
    // the user's, and dotfile managers keep it as a link to their own copy.
    store::OpenFile file(ops, ops.open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.valid())
    {
        if (errno == ENOENT)
            return result;
        return refused(qt_error_string(errno));
    }
    struct stat st
    {
    };
    if (ops.fstat(file.fd(), &st) != 0)
        return refused(qt_error_string(errno));
    if (S_ISDIR(st.st_mode))
        return refused(QStringLiteral("c'est un dossier"));
    if (!S_ISREG(st.st_mode))
        return refused(QStringLiteral("ce n'est pas un fichier ordinaire"));
    const auto tooLarge = [&refused](int64_t size) {
        return refused(
            QStringLiteral("trop grand : %1 octets, au plus %2 attendus").arg(size).arg(SettingsStore::kSizeLimit));
    };
    if (st.st_size > SettingsStore::kSizeLimit)
        return tooLarge(st.st_size);
    // Read to the end, as the file may have grown since, but never past the limit.
    QByteArray data(static_cast<qsizetype>(st.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;)
    {
        if (got == data.size())
        {
            if (got > SettingsStore::kSizeLimit)
                return tooLarge(got);
            data.resize(std::min<qsizetype>(got * 2, SettingsStore::kSizeLimit + 1));
        }
        const ssize_t n = ops.pread(file.fd(), data.data() + got, static_cast<size_t>(data.size() - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(qt_error_string(errno));
        if (n == 0)
            break;
        got += n;
    }
    data.truncate(got);
    result.state = SettingsStore::FileState::Read;
    result.data = std::move(data);
    return result;
}

bool IsHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A key or a section name as QSettings spells it: "%XX" and "%UXXXX" stand for a character, '\' for '/'.
QString UnescapedKey(QByteArrayView text)
{
    const QString spelled = QString::fromUtf8(text);
    QString key;
    key.reserve(spelled.size());
    for (qsizetype i = 0; i < spelled.size();)
    {
        const QChar c = spelled[i];
        if (c == QLatin1Char('\\'))
        {
            key += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c == QLatin1Char('%') && i + 1 < spelled.size())
        {
            const bool wide = spelled[i + 1] == QLatin1Char('U');
            const qsizetype first = i + (wide ? 2 : 1);
            const qsizetype digits = wide ? 4 : 2;
            bool ok = first + digits <= spelled.size();
            const ushort code = ok ? QStringView(spelled).sliced(first, digits).toUShort(&ok, 16) : 0;
            if (ok)
            {
                key += QChar(code);
                i = first + digits;
                continue;
            }
        }
        key += c;
        ++i;
    }
    return key;
}

QByteArray EscapedKey(const QString& key)
{
    QByteArray text;
    text.reserve(key.size());
    for (const QChar qc : key)
    {
        const char16_t c = qc.unicode();
        if (c == '/')
            text += '\\';
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                 c == '.')
            text += static_cast<char>(c);
        else if (c <= 0xff)
            text += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            text += "%U" + QByteArray::number(c, 16).toUpper().rightJustified(4, '0');
    }
    return text;
}

// QSettings marks values of its other types with a leading '@' ("@Rect(0 0 9 9)", "@Invalid()"), and puts a
// second '@' before a string that begins with one. Those other types are none of this store's: they are
// kept as their text in a byte array, which reads as neither a string nor a number.
QVariant TypedValue(const QString& s)
{
    if (!s.startsWith(QLatin1Char('@')))
        return s;
    if (s.endsWith(QLatin1Char(')')))
    {
        if (s == QLatin1String("@Invalid()"))
            return QVariant();
        if (s.startsWith(QLatin1String("@String("))) // how later versions write a string holding a NUL
            return s.sliced(8).chopped(1);
        for (const char* form : {"@ByteArray(", "@Variant(", "@DateTime("})
        {
            if (s.startsWith(QLatin1String(form)))
                return s.toUtf8();
        }
        // Geometry with the wrong number of figures stays a string.
        const std::pair<const char*, qsizetype> shapes[] = {{"@Rect(", 4}, {"@Size(", 2}, {"@Point(", 2}};
        for (const auto& [form, figures] : shapes)
        {
            if (s.startsWith(QLatin1String(form)) && s.count(QLatin1Char(' ')) + 1 == figures)
                return s.toUtf8();
        }
    }
    if (s.startsWith(QLatin1String("@@")))
        return s.sliced(1);
    return s;
}

// A value as QSettings writes it: a string, or a list where a comma stands outside quotes; blanks around an
// item are dropped unless quoted; a backslash starts an escape as in C, or joins the next line.
QVariant DecodedValue(QByteArrayView text)
{
    const qsizetype n = text.size();
    QStringList items;
    QString item;
    bool list = false;
    bool inQuotes = false;
    bool itemQuoted = false; // blanks of a quoted item all stay
    qsizetype kept = 0;      // trailing blanks are never taken from the first kept characters (escapes)
    bool chopAtEnd = true;
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    const auto chop = [&] {
        if (itemQuoted)
            return;
        qsizetype end = item.size();
        while (end > kept && (item[end - 1] == QLatin1Char(' ') || item[end - 1] == QLatin1Char('\t')))
            --end;
        item.truncate(end);
    };
    skipBlanks();
    while (i < n)
    {
        const char c = text[i];
        if (c == '\\')
        {
            if (++i == n)
            {
                chopAtEnd = false;
                break;
            }
            const char e = text[i++];
            static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                                   {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                                   {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
            const auto simple =
                std::find_if(std::begin(kEscapes), std::end(kEscapes), [e](const char(&p)[2]) { return p[0] == e; });
            if (simple != std::end(kEscapes))
                item += QLatin1Char((*simple)[1]);
            else if (e == 'x' && i == n)
            {
                chopAtEnd = false;
                break;
            }
            else if (e == 'x' && HexValue(text[i]) >= 0)
            {
                char16_t code = 0;
                for (; i < n && HexValue(text[i]) >= 0; ++i)
                    code = static_cast<char16_t>(code * 16 + HexValue(text[i]));
                item += QChar(code);
            }
            else if (e >= '0' && e <= '7')
            {
                char16_t code = static_cast<char16_t>(e - '0');
                for (; i < n && text[i] >= '0' && text[i] <= '7'; ++i)
                    code = static_cast<char16_t>(code * 8 + (text[i] - '0'));
                item += QChar(code);
            }
            else if ((e == '\n' || e == '\r') && i < n && (text[i] == '\n' || text[i] == '\r') && text[i] != e)
                ++i; // a line joined to the next, whatever its break
            // Any other character after a backslash is dropped.
            kept = item.size();
        }
        else if (c == '"')
        {
            ++i;
            itemQuoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
            {
                skipBlanks();
                kept = item.size();
            }
        }
        else if (c == ',' && !inQuotes)
        {
            chop();
            list = true;
            items.append(item);
            item.clear();
            itemQuoted = false;
            ++i;
            skipBlanks();
            kept = 0;
        }
        else
        {
            qsizetype j = i + 1;
            while (j < n && text[j] != '\\' && text[j] != '"' && text[j] != ',')
                ++j;
            item += QString::fromUtf8(text.sliced(i, j - i));
            i = j;
        }
    }
    if (chopAtEnd)
        chop();
    if (!list)
        return TypedValue(item);
    items.append(item);
    return items;
}

// A string as QSettings writes it, so that either reads what the other wrote.
QByteArray EscapedValue(const QString& value)
{
    const QString s = value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value;
    QByteArray text;
    text.reserve(s.size());
    bool quotes = false;
    bool numberEscape = false; // a hexadecimal digit right after it would be read as part of it
    for (qsizetype i = 0; i < s.size(); ++i)
    {
        const char16_t c = s[i].unicode();
        if (c == ';' || c == ',' || c == '=')
            quotes = true;
        if (numberEscape && IsHexDigit(c))
        {
            text += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        numberEscape = false;
        switch (c)
        {
        case '\0':
            text += "\\0";
            numberEscape = true;
            break;
        case '\a':
            text += "\\a";
            break;
        case '\b':
            text += "\\b";
            break;
        case '\f':
            text += "\\f";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\v':
            text += "\\v";
            break;
        case '"':
        case '\\':
            text += '\\';
            text += static_cast<char>(c);
            break;
        default:
            if (c < 0x20)
            {
                text += "\\x" + QByteArray::number(c, 16);
                numberEscape = true;
            }
            else if (c < 0x80)
                text += static_cast<char>(c);
            else
            {
                const qsizetype units =
                    QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate() ? 2 : 1;
                text += QStringView(s).sliced(i, units).toUtf8();
                i += units - 1;
            }
        }
    }
    if (quotes || text.startsWith(' ') || text.endsWith(' '))
        return '"' + text + '"';
    return text;
}

// The file's text line by line, so that a change rewrites the lines of its key and leaves every other byte
// (comments, other sections, blank lines) as it was.
struct IniText
{
    struct Line
    {
        QByteArray text; // with its line break
        std::optional<QString> key;
        bool root = false; // an entry or the header of the [General] part
    };
    QByteArray head;       // a byte order mark
    QByteArray eol = "\n"; // the file's own line break, for the lines added to it
    std::vector<Line> lines;
    Values values;
    // A section header without its ']', or a line that is neither an entry, a header nor a comment:
    // QSettings reports a format error.
    bool damaged = false;

    static IniText Parse(const QByteArray& data);
    QByteArray text() const;
    void set(const QString& key, const QString& value);
    void remove(const QString& key);
};

IniText IniText::Parse(const QByteArray& data)
{
    IniText ini;
    const QByteArrayView all(data);
    const qsizetype n = all.size();
    qsizetype pos = 0;
    if (all.startsWith("\xef\xbb\xbf"))
    {
        ini.head = data.first(3);
        pos = 3;
    }
    if (const qsizetype lf = all.indexOf('\n'); lf > 0 && all[lf - 1] == '\r')
        ini.eol = "\r\n";
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const auto pastLineBreak = [&all, n](qsizetype at) {
        while (at < n && all[at] != '\n' && all[at] != '\r')
            ++at;
        if (at < n && all[at++] == '\r' && at < n && all[at] == '\n')
            ++at;
        return at;
    };
    QString section; // "" for [General], else "Name/"
    while (pos < n)
    {
        const qsizetype start = pos;
        while (pos < n && isSpace(all[pos]))
            ++pos;
        if (pos > start)
        {
            ini.lines.push_back({data.sliced(start, pos - start), std::nullopt, false});
            continue;
        }
        if (all[pos] == ';')
        {
            pos = pastLineBreak(pos);
            ini.lines.push_back({data.sliced(start, pos - start), std::nullopt, false});
            continue;
        }
        // A line ends at a line break or a ';' outside quotes; a backslash keeps the next character, even a
        // line break, in it.
        bool inQuotes = false;
        qsizetype equals = -1;
        qsizetype end = pos;
        while (end < n)
        {
            const char c = all[end];
            if (c == '\\')
            {
                end += 2;
                if (end < n &&
                    ((all[end - 1] == '\n' && all[end] == '\r') || (all[end - 1] == '\r' && all[end] == '\n')))
                    ++end;
                continue;
            }
            if (c == '"')
                inQuotes = !inQuotes;
            else if (!inQuotes && (c == '\n' || c == '\r' || c == ';'))
                break;
            else if (c == '=' && !inQuotes && equals < 0)
                equals = end;
            ++end;
        }
        end = std::min(end, n);
        const QByteArrayView text = all.sliced(pos, end - pos);
        Line line;
        if (text.startsWith('['))
        {
            qsizetype close = text.indexOf(']');
            if (close < 0)
            {
                ini.damaged = true;
                close = text.size();
            }
            const QByteArrayView name = text.sliced(1, close - 1).trimmed();
            const QByteArray lower = name.toByteArray().toLower();
            if (lower == "general")
                section.clear();
            else if (lower == "%general")
                section = QString::fromLatin1(name.sliced(1)) + QLatin1Char('/');
            else
                section = UnescapedKey(name) + QLatin1Char('/');
            line.root = section.isEmpty();
        }
        else if (equals < 0)
            ini.damaged = true;
        else
        {
            const QString key = section + UnescapedKey(text.first(equals - pos).trimmed());
            ini.values.insert(key, DecodedValue(text.sliced(equals - pos + 1)));
            line.key = key;
            line.root = section.isEmpty();
        }
        pos = pastLineBreak(end);
        line.text = data.sliced(start, pos - start);
        ini.lines.push_back(std::move(line));
    }
    return ini;
}

QByteArray IniText::text() const
{
    QByteArray text = head;
    for (const Line& line : lines)
        text += line.text;
    return text;
}

void IniText::set(const QString& key, const QString& value)
{
    values.insert(key, value);
    const QByteArray entry = EscapedKey(key) + '=' + EscapedValue(value);
    const auto isKey = [&key](const Line& line) { return line.root && line.key == key; };
    // The last line of the key takes the new value (it is the one read), with its own line break; any earlier
    // one goes.
    const auto last = std::find_if(lines.rbegin(), lines.rend(), isKey);
    if (last != lines.rend())
    {
        qsizetype end = last->text.size();
        while (end > 0 && (last->text[end - 1] == '\n' || last->text[end - 1] == '\r'))
            --end;
        last->text = entry + last->text.sliced(end);
        lines.erase(std::remove_if(lines.begin(), last.base() - 1, isKey), last.base() - 1);
        return;
    }
    // A new key goes at the end of the [General] part, which is made at the top of the file when missing.
    const auto lastRoot = std::find_if(lines.rbegin(), lines.rend(), [](const Line& line) { return line.root; });
    auto at = lastRoot.base();
    if (lastRoot == lines.rend())
    {
        const bool more = !lines.empty();
        at = lines.insert(lines.begin(), Line{"[General]" + eol, std::nullopt, true}) + 1;
        if (more)
            at = lines.insert(at, Line{eol, std::nullopt, false});
    }
    else if (!lastRoot->text.endsWith('\n') && !lastRoot->text.endsWith('\r'))
        lastRoot->text += eol;
    lines.insert(at, Line{entry + eol, key, true});
}

void IniText::remove(const QString& key)
{
    values.remove(key);
    lines.erase(
        std::remove_if(lines.begin(), lines.end(), [&key](const Line& line) { return line.root && line.key == key; }),
        lines.end());
}

// Work files of a sync are ".<file name>.<pid>-<n>.tmp" beside the file: a process killed during a sync leaves
// one, which a later store removes once that process is gone.
const QLatin1StringView kWorkSuffix(".tmp");

QString WorkFilePrefix(const QFileInfo& file)
{
    return QLatin1Char('.') + file.fileName() + QLatin1Char('.');
}

void SweepLeftovers(const QString& path)
{
    const QFileInfo file(path);
    const QString prefix = WorkFilePrefix(file);
    const QDir dir = file.absoluteDir();
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
    {
        if (!name.startsWith(prefix) || !name.endsWith(kWorkSuffix))
            continue;
        const QStringView middle =
            QStringView(name).sliced(prefix.size(), name.size() - prefix.size() - kWorkSuffix.size());
        const qsizetype dash = middle.indexOf(QLatin1Char('-'));
        const auto digits = [](QStringView text) {
            return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
        };
        bool ok = dash > 0 && digits(middle.first(dash)) && digits(middle.sliced(dash + 1));
        const qlonglong pid = ok ? middle.first(dash).toLongLong(&ok) : 0;
        if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max() || pid == ::getpid())
            continue;
        // Signal 0 only asks whether the process exists.
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(dir.filePath(name));
    }
}
} // namespace

QString SettingsStore::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/VORP/VORP.conf");
}

SettingsStore::SettingsStore(QString path, Access access) : m_path(std::move(path))
{
    if (access == Access::ReadWrite && !m_path.isEmpty())
        SweepLeftovers(m_path);
    FileText file = ReadSettingsFile(m_path);
    m_state = file.state;
    m_problem = std::move(file.problem);
    if (m_state != FileState::Read)
        return;
    IniText ini = IniText::Parse(file.data);
    if (!ini.damaged)
    {
        m_values = std::move(ini.values);
        return;
    }
    m_state = FileState::Unreadable;
    m_problem = QStringLiteral("contenu endommagé");
    if (access == Access::ReadOnly)
        return;
    // A damaged file is kept aside, never overwritten, and the settings start from the defaults.
    QString aside = m_path + QStringLiteral(".endommage");
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".endommage%1").arg(n);
    if (QFile::rename(m_path, aside))
    {
        m_keptAside = aside;
        m_state = FileState::Missing;
        m_problem.clear();
    }
    else
        m_values = std::move(ini.values); // what could be read of it
}

QVariant SettingsStore::value(const QString& name, bool exact) const
{
    return m_values.value(KeyIn(m_values, name, exact));
}

bool SettingsStore::exists(const QString& name) const
{
    return m_values.contains(KeyIn(m_values, name));
}

std::optional<QString> SettingsStore::readString(const QString& name) const
{
    const QVariant v = value(name);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return std::nullopt;
}

std::optional<int32_t> SettingsStore::readInt(const QString& name) const
{
    return ToInt32(value(name));
}

std::optional<bool> SettingsStore::readBool(const QString& name) const
{
    const auto v = readInt(name);
    if (!v)
        return std::nullopt;
    return *v != 0;
}

QMap<QString, QString> SettingsStore::readSection(const QString& section) const
{
    QMap<QString, QString> values;
    const qsizetype prefix = section.size() + 1;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it)
    {
        const QString& key = it.key();
        if (key.size() <= prefix || key[section.size()] != QLatin1Char('/') ||
            QStringView(key).first(section.size()).compare(section, Qt::CaseInsensitive) != 0)
            continue;
        if (it->typeId() == QMetaType::QString)
            values.insert(key.sliced(prefix), it->toString());
        else if (it->typeId() == QMetaType::QStringList)
            values.insert(key.sliced(prefix), it->toStringList().join(QLatin1Char(',')));
    }
    return values;
}

std::optional<bool> SettingsStore::readBoolExact(const QString& name) const
{
    const auto v = ToInt32(value(name, true));
    if (!v)
        return std::nullopt;
    return *v != 0;
}

void SettingsStore::writeBoolExact(const QString& name, bool value)
{
    change({name, QString::number(value ? 1 : 0), true});
}

void SettingsStore::writeString(const QString& name, const QString& value)
{
    change({name, value});
}

void SettingsStore::writeInt(const QString& name, int32_t value)
{
    change({name, QString::number(value)});
}

void SettingsStore::writeBool(const QString& name, bool value)
{
    writeInt(name, value ? 1 : 0);
}

void SettingsStore::remove(const QString& name)
{
    change({name, std::nullopt});
}

void SettingsStore::change(Change c)
{
    const QString existing = KeyIn(m_values, c.name, c.exact);
    const QString key = EncodedKey(c.name, c.exact);
    if (existing != key || !c.value)
        m_values.remove(existing);
    if (c.value)
        m_values.insert(key, *c.value);
    m_changes.push_back(std::move(c));
}

bool SettingsStore::sync()
{
    // The changes go onto the file as it is now, so values written meanwhile by another store stay; a file
    // that exists but cannot be read, or is damaged, is never replaced.
    const FileText file = ReadSettingsFile(m_path);
    if (file.state == FileState::Unreadable)
        return false;
    IniText ini = IniText::Parse(file.data);
    if (ini.damaged)
        return false;
    for (const Change& c : m_changes)
    {
        const QString existing = KeyIn(ini.values, c.name, c.exact);
        const QString key = EncodedKey(c.name, c.exact);
        if (existing != key || !c.value)
            ini.remove(existing);
        if (c.value)
            ini.set(key, *c.value);
    }
    const QByteArray text = ini.text();
    // The new text must read back as the values it was made from, and be read at all.
    if (text.size() > kSizeLimit)
        return false;
    const IniText check = IniText::Parse(text);
    if (check.damaged || check.values != ini.values)
        return false;
    if ((file.state != FileState::Read || text != file.data) && !install(text))
        return false;
    m_values = std::move(ini.values);
    m_changes.clear();
    m_state = FileState::Read;
    m_problem.clear();
    return true;
}

bool SettingsStore::install(const QByteArray& text)
{
    store::FileOps& ops = store::SystemFileOps();
    // A settings file kept as a link (a dotfile manager's) is replaced where the link leads, so that it stays
    // a link to the user's copy.
    QString target = m_path;
    if (const QFileInfo link(m_path); link.isSymLink() && !link.canonicalFilePath().isEmpty())
        target = link.canonicalFilePath();
    const QFileInfo file(target);
    const QString dir = file.absolutePath();
    if (!QDir().mkpath(dir))
        return false;
    // The new file keeps an existing file's permissions (a settings file kept private stays so).
    mode_t mode = 0666;
    struct stat st
    {
    };
    if (ops.lstat(target, &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 0777;
    const QString prefix =
        dir + QLatin1Char('/') + WorkFilePrefix(file) + QString::number(::getpid()) + QLatin1Char('-');
    QString work;
    int fd = -1;
    // O_EXCL and O_NOFOLLOW: whatever already stands at a name, link or file, is never written through.
    for (int n = 0; n < 100 && fd < 0; ++n)
    {
        work = prefix + QString::number(n) + kWorkSuffix;
        fd = ops.open(work, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    store::OpenFile out(ops, fd);
    // Every byte is checked and synced before the new text takes the old one's place: a full disk never
    // leaves a truncated settings file.
    const bool written =
        store::WriteAllAt(ops, fd, text.constData(), static_cast<size_t>(text.size()), 0) && ops.fsync(fd) == 0;
    if (!out.close() || !written || ops.rename(work, target) != 0)
    {
        ops.unlink(work);
        return false;
    }
    store::SyncFolder(ops, dir);
    return true;
}
