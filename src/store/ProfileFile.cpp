#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <unistd.h>

namespace
{
bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const std::vector<ProfileFile::Entry> kNoEntries;

// UTF-8 that keeps a U+FEFF at the start of a name, as QString::fromUtf8 would not, so that what is
// written back reads back the same.
QString Decode(const QByteArray& bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}
} // namespace

ProfileFile ProfileFile::parse(const QByteArray& text)
{
    ProfileFile file;
    Section* current = nullptr;
    // A byte order mark would hide the first section header.
    qsizetype start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (start < text.size())
    {
        // CR LF, or a lone CR or LF: a file whose line ends were converted must not read as one
        // line, or the next save would keep nothing of it.
        qsizetype end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        QByteArray line = text.mid(start, end - start);
        start = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++start;
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith('['))
        {
            const qsizetype close = line.indexOf(']');
            const QString name = Decode(line.mid(1, close < 0 ? -1 : close - 1).trimmed());
            file.m_sections.push_back(Section{name, {}});
            current = &file.m_sections.back();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || current == nullptr)
            continue;
        // Trimmed as bytes, like the line itself, so a key can never turn into a section header.
        current->entries.push_back(Entry{Decode(line.left(eq).trimmed()), Decode(line.mid(eq + 1).trimmed())});
    }
    return file;
}

std::optional<ProfileFile> ProfileFile::load(const QString& path)
{
    QFile f(path);
    if (!f.exists())
        return ProfileFile{};
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(f.readAll());
}

ProfileFile::Section* ProfileFile::find(const QString& section)
{
    for (Section& s : m_sections)
        if (SameName(s.name, section))
            return &s;
    return nullptr;
}

const ProfileFile::Section* ProfileFile::find(const QString& section) const
{
    for (const Section& s : m_sections)
        if (SameName(s.name, section))
            return &s;
    return nullptr;
}

bool ProfileFile::hasSection(const QString& section) const
{
    return find(section) != nullptr;
}

bool ProfileFile::hasKey(const QString& section, const QString& key) const
{
    return value(section, key).has_value();
}

std::optional<QString> ProfileFile::value(const QString& section, const QString& key) const
{
    if (const Section* s = find(section))
        for (const Entry& e : s->entries)
            if (SameName(e.key, key))
                return e.value;
    return std::nullopt;
}

void ProfileFile::setValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = find(section);
    if (s == nullptr)
    {
        m_sections.push_back(Section{section, {}});
        s = &m_sections.back();
    }
    for (Entry& e : s->entries)
        if (SameName(e.key, key))
        {
            e.value = value;
            return;
        }
    s->entries.push_back(Entry{key, value});
}

const std::vector<ProfileFile::Entry>& ProfileFile::entries(const QString& section) const
{
    const Section* s = find(section);
    return s ? s->entries : kNoEntries;
}

QByteArray ProfileFile::toText() const
{
    QByteArray text;
    for (const Section& s : m_sections)
    {
        text += '[' + s.name.toUtf8() + "]\r\n";
        for (const Entry& e : s.entries)
            text += e.key.toUtf8() + '=' + e.value.toUtf8() + "\r\n";
    }
    return text;
}

bool ProfileFile::save(const QString& path) const
{
    return WriteFileAtomically(path, toText());
}

bool WriteFileAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile reports success on a full disk, so every byte, the flush and the sync are checked.
    if (file.write(data) != data.size() || !file.flush() || ::fsync(file.handle()) != 0)
    {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0)
    {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
