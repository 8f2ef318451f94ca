// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The settings key: one INI file read and written through QSettings. Value names compare without
// regard to letter case; each value is kept under one spelling, its case-folded name.
class SettingsStore final
{
public:
    // $XDG_CONFIG_HOME/VORP/VORP.conf, or ~/.config/VORP/VORP.conf; worked out at each call so
    // that a test can point XDG_CONFIG_HOME elsewhere before opening a store.
    static QString DefaultPath();

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

    bool exists(const QString& name) const;
    // Nothing when the value is missing or does not hold that type.
    std::optional<QString> readString(const QString& name) const;
    std::optional<int32_t> readInt(const QString& name) const;
    // Stored as an integer; any non-zero integer reads as true.
    std::optional<bool> readBool(const QString& name) const;

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
        std::optional<QVariant> value; // nothing: removed
        bool exact = false;            // the name's letter case counts
    };
    static QString KeyIn(const QSettings& settings, const QString& name, bool exact = false);
    static void Apply(QSettings& settings, const Change& change);
    std::unique_ptr<QSettings> openCopy();
    void change(Change c);
    bool verified(const QSettings& expected, const QByteArray& text);

    QString m_path;
    QString m_keptAside;
    // QSettings works on private copies: on a full disk it reports success and installs a truncated
    // file, so the real file is only ever replaced by text that has been read back whole.
    QTemporaryDir m_work;
    int m_copies = 0;
    int m_checks = 0;
    bool m_copied = false;
    std::vector<Change> m_changes; // since the last successful sync
    std::unique_ptr<QSettings> m_settings;
};
