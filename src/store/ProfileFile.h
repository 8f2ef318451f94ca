// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/FileOps.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
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

    // An entry as it stands in the text: UTF-8, trimmed, pointing into the text.
    struct RawEntry
    {
        QByteArrayView key;
        QByteArrayView value;
        // As parse() decodes them.
        QString keyText() const;
        QString valueText() const;
    };
    // The entries of section as parse() would read them, without making a string of each: for a reader
    // that only goes through them once.
    static std::vector<RawEntry> rawEntries(const QByteArray& text, const QString& section);
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
    // Open addressing over the entries of one section: where the first entry of each key stands, found
    // by a hash that names comparing equal without case share.
    struct KeyTable
    {
        std::vector<uint64_t> cells; // the hash in the high half, the position + 1 in the low half; 0 is free
        size_t used = 0;
        bool built = false;
    };

    Section* find(const QString& section);
    const Section* find(const QString& section) const;
    qsizetype sectionIndex(const QString& section) const;
    // Position of the first entry of key in section s, or -1.
    qsizetype position(size_t s, const QString& key) const;
    KeyTable& table(size_t s) const;
    qsizetype probe(size_t s, const KeyTable& t, uint32_t hash, const QString& key) const;
    static void insert(KeyTable& t, uint32_t hash, size_t position);

    std::vector<Section> m_sections;
    // One per section, built on the first lookup in a large one (years of day totals) and kept up to date
    // by setValue, so that a lookup does not compare the key with every key of the section. Built by const
    // lookups too: a file is read from one thread at a time.
    mutable std::vector<KeyTable> m_tables;
};

// Writes data to path atomically: a new file beside it (created exclusively, never through a link),
// every byte checked, synced, renamed over path, then the folder synced. A link at path is replaced, not
// followed; an existing file's permissions are kept. Returns false and leaves path as it was when any
// step up to the rename fails, and the new file is removed.
bool WriteFileAtomically(const QString& path, const QByteArray& data, store::FileOps& ops = store::SystemFileOps());

// Whether a file name is that of the new file WriteFileAtomically writes before its rename (left behind
// only by a crash, or by a failure to remove it).
bool IsAtomicWriteLeftover(const QString& fileName);
