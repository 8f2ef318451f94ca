// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <vector>

// The settings key: one INI file, in the format QSettings reads and writes, read in place and replaced as a
// whole. Value names compare without regard to letter case; each value is kept under one spelling, its
// case-folded name.
class SettingsStore final
{
public:
    // $XDG_CONFIG_HOME/VORP/VORP.conf, or ~/.config/VORP/VORP.conf; worked out at each call so
    // that a test can point XDG_CONFIG_HOME elsewhere before opening a store.
    static QString DefaultPath();

    // A settings file takes a few kilobytes: a larger one is refused without being read.
    static constexpr int64_t kSizeLimit = 1 << 20;

    enum class Access
    {
        ReadWrite,
        // Only read: a damaged file is read as the defaults and left where it is for its owner.
        ReadOnly
    };
    explicit SettingsStore(QString path = DefaultPath(), Access access = Access::ReadWrite);
    Q_DISABLE_COPY_MOVE(SettingsStore)

    const QString& path() const { return m_path; }
    // Where a damaged settings file was moved when the store opened (empty when it was sound).
    const QString& keptAside() const { return m_keptAside; }

    // What was found at the path when the store opened, or at its last successful sync. The values of a
    // file that could not be read are the defaults.
    enum class FileState
    {
        Read,
        Missing,
        Unreadable, // not a regular file, too large, damaged, or refused by the system
    };
    FileState fileState() const { return m_state; }
    // Why the file could not be read ("c'est un dossier", the system's error text...); empty otherwise.
    const QString& problem() const { return m_problem; }

    bool exists(const QString& name) const;
    // Nothing when the value is missing or does not hold that type.
    std::optional<QString> readString(const QString& name) const;
    std::optional<int32_t> readInt(const QString& name) const;
    // Stored as an integer; any non-zero integer reads as true.
    std::optional<bool> readBool(const QString& name) const;
    // The values of an INI section of the file, by their names below it as the file spells them ("eth0/cycle"
    // for "eth0\cycle" under [Plans]); the section's name compares without regard to case. A list value
    // ("80,100") gives its items joined by commas; values of other types are left out.
    QMap<QString, QString> readSection(const QString& section) const;

    // Values whose name's letter case counts (the marks of "Eth0" and "eth0" are two values).
    std::optional<bool> readBoolExact(const QString& name) const;
    void writeBoolExact(const QString& name, bool value);

    void writeString(const QString& name, const QString& value);
    void writeInt(const QString& name, int32_t value);
    void writeBool(const QString& name, bool value);
    void remove(const QString& name);

    // Puts the changes made since the last sync onto the file as it is now. False, with the file left
    // as it was and the changes kept for the next sync, when the file cannot be read, or the new text
    // cannot be produced, read back whole or installed in full.
    bool sync();

private:
    struct Change
    {
        QString name;
        std::optional<QString> value; // nothing: removed
        bool exact = false;           // the name's letter case counts
    };
    QVariant value(const QString& name, bool exact = false) const;
    void change(Change c);
    // Writes text beside the file under a name of this process, then renames it over the file.
    bool install(const QByteArray& text);

    QString m_path;
    QString m_keptAside;
    FileState m_state = FileState::Missing;
    QString m_problem;
    // By key as QSettings names it: "Group/key" outside [General].
    QMap<QString, QVariant> m_values;
    std::vector<Change> m_changes; // since the last successful sync
};
