// SPDX-License-Identifier: GPL-3.0-or-later
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
QString Decode(QByteArrayView bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

// The lines of a profile file: onSection(name) for a section header, whose false ends the scan, then
// onEntry(key, value) for each key=value line within a section; names, keys and values trimmed, in UTF-8.
template <typename OnSection, typename OnEntry>
void ScanLines(const QByteArray& text, OnSection onSection, OnEntry onEntry)
{
    bool inSection = false;
    const char* const bytes = text.constData();
    const qsizetype size = text.size();
    // A byte order mark would hide the first section header.
    qsizetype start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (start < size)
    {
        // CR LF, or a lone CR or LF: a file whose line ends were converted must not read as one
        // line, or the next save would keep nothing of it.
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView line = QByteArrayView(bytes + start, end - start).trimmed();
        start = end + 1;
        if (end + 1 < size && bytes[end] == '\r' && bytes[end + 1] == '\n')
            ++start;
        if (line.isEmpty())
            continue;
        if (line.startsWith('['))
        {
            const qsizetype close = line.indexOf(']');
            if (!onSection((close < 0 ? line.sliced(1) : line.sliced(1, close - 1)).trimmed()))
                return;
            inSection = true;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || !inSection)
            continue;
        // Trimmed as bytes, like the line itself, so a key can never turn into a section header.
        onEntry(line.first(eq).trimmed(), line.sliced(eq + 1).trimmed());
    }
}

// Sections this small are searched key by key: a table would cost more than it saves.
constexpr size_t kTableFrom = 64;

// The same for two names that compare equal without case. QString::compare folds each UTF-16 unit on its
// own: a unit is hashed as its fold when that is ASCII (the Kelvin sign as "k"), any other unit as one
// and the same value, so no folding can part two names that compare equal.
uint32_t FoldedHash(QStringView name)
{
    uint32_t h = 2166136261u;
    for (const QChar c : name)
    {
        char32_t u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            u += 'a' - 'A';
        else if (u >= 0x80)
        {
            const char32_t folded = QChar::toCaseFolded(u);
            u = folded < 0x80 ? folded : 0x80;
        }
        h = (h ^ u) * 16777619u;
    }
    return h;
}

// Text written into a buffer sized once for the whole file, ASCII (all a store holds) byte for byte.
class TextBuffer final
{
public:
    explicit TextBuffer(qsizetype expected) { m_text.resize(expected); }

    void append(QByteArrayView bytes)
    {
        char* to = room(bytes.size());
        std::copy(bytes.begin(), bytes.end(), to);
    }
    void append(char c) { *room(1) = c; }
    // As QString::toUtf8() would write it.
    void appendUtf8(QStringView text)
    {
        const char16_t* from = text.utf16();
        const qsizetype n = text.size();
        char* to = room(n);
        char16_t all = 0;
        for (qsizetype i = 0; i < n; ++i)
        {
            all |= from[i];
            to[i] = static_cast<char>(from[i]);
        }
        if (all >= 0x80)
        {
            m_used -= n;
            append(text.toUtf8());
        }
    }
    QByteArray take()
    {
        m_text.resize(m_used);
        return std::move(m_text);
    }

private:
    char* room(qsizetype n)
    {
        if (m_used + n > m_text.size())
            m_text.resize(std::max(2 * m_text.size(), m_used + n));
        char* at = m_text.data() + m_used;
        m_used += n;
        return at;
    }

    QByteArray m_text;
    qsizetype m_used = 0;
};
} // namespace

ProfileFile ProfileFile::parse(const QByteArray& text)
{
    ProfileFile file;
    ScanLines(
        text,
        [&](QByteArrayView name) {
            file.m_sections.push_back(Section{Decode(name), {}});
            return true;
        },
        [&](QByteArrayView key, QByteArrayView value) {
            file.m_sections.back().entries.push_back(Entry{Decode(key), Decode(value)});
        });
    return file;
}

QString ProfileFile::RawEntry::keyText() const
{
    return Decode(key);
}

QString ProfileFile::RawEntry::valueText() const
{
    return Decode(value);
}

std::vector<ProfileFile::RawEntry> ProfileFile::rawEntries(const QByteArray& text, const QString& section)
{
    // The first section of that name, as find() takes it.
    enum
    {
        Before,
        Inside,
        After
    } where = Before;
    std::vector<RawEntry> entries;
    ScanLines(
        text,
        [&](QByteArrayView name) {
            if (where == Inside)
                where = After;
            else if (where == Before && SameName(Decode(name), section))
                where = Inside;
            return where != After;
        },
        [&](QByteArrayView key, QByteArrayView value) {
            if (where == Inside)
                entries.push_back(RawEntry{key, value});
        });
    return entries;
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

qsizetype ProfileFile::sectionIndex(const QString& section) const
{
    for (size_t i = 0; i < m_sections.size(); ++i)
        if (SameName(m_sections[i].name, section))
            return static_cast<qsizetype>(i);
    return -1;
}

ProfileFile::Section* ProfileFile::find(const QString& section)
{
    const qsizetype i = sectionIndex(section);
    return i < 0 ? nullptr : &m_sections[static_cast<size_t>(i)];
}

const ProfileFile::Section* ProfileFile::find(const QString& section) const
{
    const qsizetype i = sectionIndex(section);
    return i < 0 ? nullptr : &m_sections[static_cast<size_t>(i)];
}

void ProfileFile::insert(KeyTable& t, uint32_t hash, size_t position)
{
    // At most half full, so that a probe soon meets a free cell.
    if (2 * (t.used + 1) > t.cells.size())
    {
        std::vector<uint64_t> old = std::move(t.cells);
        t.cells.assign(std::max<size_t>(2 * old.size(), 4 * kTableFrom), 0);
        const size_t mask = t.cells.size() - 1;
        for (const uint64_t cell : old)
        {
            if (cell == 0)
                continue;
            size_t i = static_cast<size_t>(cell >> 32) & mask;
            while (t.cells[i] != 0)
                i = (i + 1) & mask;
            t.cells[i] = cell;
        }
    }
    const size_t mask = t.cells.size() - 1;
    size_t i = hash & mask;
    while (t.cells[i] != 0)
        i = (i + 1) & mask;
    t.cells[i] = (uint64_t(hash) << 32) | (position + 1);
    ++t.used;
}

qsizetype ProfileFile::probe(size_t s, const KeyTable& t, uint32_t hash, const QString& key) const
{
    if (t.cells.empty())
        return -1;
    const std::vector<Entry>& entries = m_sections[s].entries;
    const size_t mask = t.cells.size() - 1;
    for (size_t i = hash & mask; t.cells[i] != 0; i = (i + 1) & mask)
    {
        const uint64_t cell = t.cells[i];
        const size_t p = static_cast<size_t>(cell & 0xFFFFFFFFu) - 1;
        if (static_cast<uint32_t>(cell >> 32) == hash && SameName(entries[p].key, key))
            return static_cast<qsizetype>(p);
    }
    return -1;
}

ProfileFile::KeyTable& ProfileFile::table(size_t s) const
{
    if (m_tables.size() < m_sections.size())
        m_tables.resize(m_sections.size());
    KeyTable& t = m_tables[s];
    if (!t.built)
    {
        // Only the first entry of a key goes in: a search from the top finds that one.
        const std::vector<Entry>& entries = m_sections[s].entries;
        for (size_t p = 0; p < entries.size(); ++p)
        {
            const uint32_t hash = FoldedHash(entries[p].key);
            if (probe(s, t, hash, entries[p].key) < 0)
                insert(t, hash, p);
        }
        t.built = true;
    }
    return t;
}

qsizetype ProfileFile::position(size_t s, const QString& key) const
{
    const std::vector<Entry>& entries = m_sections[s].entries;
    if (entries.size() < kTableFrom && (s >= m_tables.size() || !m_tables[s].built))
    {
        for (size_t p = 0; p < entries.size(); ++p)
            if (SameName(entries[p].key, key))
                return static_cast<qsizetype>(p);
        return -1;
    }
    return probe(s, table(s), FoldedHash(key), key);
}

bool ProfileFile::hasSection(const QString& section) const
{
    return sectionIndex(section) >= 0;
}

bool ProfileFile::hasKey(const QString& section, const QString& key) const
{
    return value(section, key).has_value();
}

std::optional<QString> ProfileFile::value(const QString& section, const QString& key) const
{
    const qsizetype s = sectionIndex(section);
    if (s < 0)
        return std::nullopt;
    const qsizetype p = position(static_cast<size_t>(s), key);
    if (p < 0)
        return std::nullopt;
    return m_sections[static_cast<size_t>(s)].entries[static_cast<size_t>(p)].value;
}

void ProfileFile::setValue(const QString& section, const QString& key, const QString& value)
{
    qsizetype s = sectionIndex(section);
    if (s < 0)
    {
        m_sections.push_back(Section{section, {}});
        s = static_cast<qsizetype>(m_sections.size()) - 1;
    }
    std::vector<Entry>& entries = m_sections[static_cast<size_t>(s)].entries;
    const qsizetype p = position(static_cast<size_t>(s), key);
    if (p >= 0)
    {
        entries[static_cast<size_t>(p)].value = value;
        return;
    }
    entries.push_back(Entry{key, value});
    if (static_cast<size_t>(s) < m_tables.size() && m_tables[static_cast<size_t>(s)].built)
        insert(m_tables[static_cast<size_t>(s)], FoldedHash(key), entries.size() - 1);
}

const std::vector<ProfileFile::Entry>& ProfileFile::entries(const QString& section) const
{
    const Section* s = find(section);
    return s ? s->entries : kNoEntries;
}

QByteArray ProfileFile::toText() const
{
    // The exact size when every name and value is ASCII.
    qsizetype expected = 0;
    for (const Section& section : m_sections)
    {
        expected += section.name.size() + 4;
        for (const Entry& e : section.entries)
            expected += e.key.size() + e.value.size() + 3;
    }
    TextBuffer text(expected);
    for (const Section& section : m_sections)
    {
        text.append('[');
        text.appendUtf8(section.name);
        text.append("]\r\n");
        for (const Entry& e : section.entries)
        {
            text.appendUtf8(e.key);
            text.append('=');
            text.appendUtf8(e.value);
            text.append("\r\n");
        }
    }
    return text.take();
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
