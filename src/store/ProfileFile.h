#pragma once

#include "store/FileOps.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// An INI file with the Windows profile semantics: section and key names compare without regard to
// case, an existing key keeps its place, a new key goes at the end of its section and a new section
// at the end of the file; lines end with CR LF; blank lines between sections are tolerated.
class ProfileFile final
{
public:
    struct Entry
    {
        QString key;
        QString value;
    };
    struct Section
    {
        QString name;
        std::vector<Entry> entries;
    };

    // Parses text (lines end with CR LF, CR or LF; a leading UTF-8 byte order mark is skipped); lines
    // that are neither a section, nor key=value, nor blank are dropped.
    static ProfileFile parse(const QByteArray& text);
    // Reads a file as the store reads nic.inf (no link, only a regular file, bounded); a missing file
    // reads as empty, one that cannot be read or is refused returns nothing.
    static std::optional<ProfileFile> load(const QString& path, store::FileOps& ops = store::SystemFileOps());

    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;
    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    // Entries of a section in file order (empty when the section is missing).
    const std::vector<Entry>& entries(const QString& section) const;
    const std::vector<Section>& sections() const { return m_sections; }

    QByteArray toText() const;
    // Replaces the file atomically: written and synced before it takes the old one's place.
    bool save(const QString& path, store::FileOps& ops = store::SystemFileOps()) const;

private:
    Section* find(const QString& section);
    const Section* find(const QString& section) const;

    std::vector<Section> m_sections;
};

// Writes data to path atomically: a new file beside it (created exclusively, never through a link),
// every byte checked, synced, renamed over path, then the folder synced. A link at path is replaced, not
// followed; an existing file's permissions are kept. Returns false and leaves path as it was when any
// step up to the rename fails, and the new file is removed.
bool WriteFileAtomically(const QString& path, const QByteArray& data, store::FileOps& ops = store::SystemFileOps());

// Whether a file name is that of the new file WriteFileAtomically writes before its rename (left behind
// only by a crash, or by a failure to remove it).
bool IsAtomicWriteLeftover(const QString& fileName);
