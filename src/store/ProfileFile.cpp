#include "store/ProfileFile.h"

#include "store/StoreFile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

namespace
{
bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const std::vector<ProfileFile::Entry> kNoEntries;

const QLatin1StringView kLeftoverPrefix(".vorp-");
const QLatin1StringView kLeftoverSuffix(".tmp");
constexpr int kLeftoverRandomLength = 8;

bool IsNameCharacter(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// A hidden name of its own, so that no reader of the folder takes the file for one of the store's.
QString TemporaryName()
{
    static const char kCharacters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QString name = kLeftoverPrefix;
    for (int i = 0; i < kLeftoverRandomLength; ++i)
        name += QLatin1Char(kCharacters[QRandomGenerator::global()->bounded(int(sizeof kCharacters) - 1)]);
    return name + kLeftoverSuffix;
}

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

std::optional<ProfileFile> ProfileFile::load(const QString& path, store::FileOps& ops)
{
    const store::FileRead read = store::ReadStoreFile(path, store::kDescriptorLimit, ops);
    if (read.status == store::FileRead::Status::Missing)
        return ProfileFile{};
    if (read.status != store::FileRead::Status::Read)
        return std::nullopt;
    return parse(read.data);
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

bool ProfileFile::save(const QString& path, store::FileOps& ops) const
{
    return WriteFileAtomically(path, toText(), ops);
}

bool WriteFileAtomically(const QString& path, const QByteArray& data, store::FileOps& ops)
{
    const QString dir = QFileInfo(path).absolutePath();
    // The new file is made as any new file would be, but keeps an existing file's permissions (a settings
    // file kept private stays so).
    mode_t mode = 0666;
    struct stat st
    {
    };
    if (ops.lstat(path, &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 0777;
    QString temporary;
    int fd = -1;
    // O_EXCL and O_NOFOLLOW: whatever already stands at a name, link or file, is never written through.
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt)
    {
        temporary = dir + QLatin1Char('/') + TemporaryName();
        fd = ops.open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    store::OpenFile file(ops, fd);
    const bool synced =
        store::WriteAllAt(ops, fd, data.constData(), static_cast<size_t>(data.size()), 0) && ops.fsync(fd) == 0;
    // rename(2) replaces a link at path by the new file; it never writes through it.
    if (!file.close() || !synced || ops.rename(temporary, path) != 0)
    {
        ops.unlink(temporary);
        return false;
    }
    // The new text is in place from here on: reporting a failure now would have the caller write its
    // change a second time.
    store::SyncFolder(ops, dir);
    return true;
}

bool IsAtomicWriteLeftover(const QString& fileName)
{
    if (fileName.size() != kLeftoverPrefix.size() + kLeftoverRandomLength + kLeftoverSuffix.size() ||
        !fileName.startsWith(kLeftoverPrefix) || !fileName.endsWith(kLeftoverSuffix))
        return false;
    const QStringView random = QStringView(fileName).sliced(kLeftoverPrefix.size(), kLeftoverRandomLength);
    return std::all_of(random.begin(), random.end(), IsNameCharacter);
}
