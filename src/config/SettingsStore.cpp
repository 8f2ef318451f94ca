// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/SettingsStore.h"

#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{
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

std::optional<int32_t> ToInt32(const QVariant& v)
{
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::Int)
        return v.toInt();
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return static_cast<int32_t>(value);
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
    m_settings = openCopy();
    if (m_settings->status() == QSettings::FormatError && access == Access::ReadOnly)
    {
        m_settings =
            std::make_unique<QSettings>(m_work.filePath(QStringLiteral("defaults.conf")), QSettings::IniFormat);
    }
    else if (m_settings->status() == QSettings::FormatError)
    {
        // A damaged file is kept aside, never overwritten, and the settings start from the defaults.
        QString aside = m_path + QStringLiteral(".endommage");
        for (int n = 2; QFileInfo::exists(aside); ++n)
            aside = m_path + QStringLiteral(".endommage%1").arg(n);
        if (QFile::rename(m_path, aside))
        {
            m_keptAside = aside;
            m_settings = openCopy();
        }
    }
}

std::unique_ptr<QSettings> SettingsStore::openCopy()
{
    const QString work = m_work.filePath(QStringLiteral("VORP%1.conf").arg(m_copies++));
    m_copied = !QFileInfo::exists(m_path) || QFile::copy(m_path, work);
    return std::make_unique<QSettings>(work, QSettings::IniFormat);
}

QString SettingsStore::KeyIn(const QSettings& settings, const QString& name, bool exact)
{
    const QString key = EncodedKey(name, exact);
    if (exact || settings.contains(key))
        return key;
    // A key spelled otherwise (an edit by hand) still answers to its name.
    const QStringList keys = settings.childKeys();
    for (const QString& other : keys)
    {
        if (other.toCaseFolded() == key)
            return other;
    }
    return key;
}

void SettingsStore::Apply(QSettings& settings, const Change& change)
{
    const QString existing = KeyIn(settings, change.name, change.exact);
    const QString key = EncodedKey(change.name, change.exact);
    if (existing != key || !change.value)
        settings.remove(existing);
    if (change.value)
        settings.setValue(key, *change.value);
}

bool SettingsStore::exists(const QString& name) const
{
    return m_settings->contains(KeyIn(*m_settings, name));
}

std::optional<QString> SettingsStore::readString(const QString& name) const
{
    const QVariant v = m_settings->value(KeyIn(*m_settings, name));
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() == QMetaType::Int)
        return QString::number(v.toInt());
    return std::nullopt;
}

std::optional<int32_t> SettingsStore::readInt(const QString& name) const
{
    return ToInt32(m_settings->value(KeyIn(*m_settings, name)));
}

std::optional<bool> SettingsStore::readBool(const QString& name) const
{
    const auto v = readInt(name);
    if (!v)
        return std::nullopt;
    return *v != 0;
}

std::optional<bool> SettingsStore::readBoolExact(const QString& name) const
{
    const auto v = ToInt32(m_settings->value(KeyIn(*m_settings, name, true)));
    if (!v)
        return std::nullopt;
    return *v != 0;
}

void SettingsStore::writeBoolExact(const QString& name, bool value)
{
    change({name, QVariant(value ? 1 : 0), true});
}

void SettingsStore::change(Change c)
{
    Apply(*m_settings, c);
    m_changes.push_back(std::move(c));
}

void SettingsStore::writeString(const QString& name, const QString& value)
{
    change({name, QVariant(value)});
}

void SettingsStore::writeInt(const QString& name, int32_t value)
{
    change({name, QVariant(static_cast<int>(value))});
}

void SettingsStore::writeBool(const QString& name, bool value)
{
    writeInt(name, value ? 1 : 0);
}

void SettingsStore::remove(const QString& name)
{
    change({name, std::nullopt});
}

bool SettingsStore::sync()
{
    if (!m_work.isValid())
        return false;
    // The changes go onto the file as it is now, so values written meanwhile by another store stay;
    // a file that exists but cannot be read is never replaced.
    std::unique_ptr<QSettings> fresh = openCopy();
    if (!m_copied)
        return false;
    for (const Change& c : m_changes)
        Apply(*fresh, c);
    fresh->sync();
    if (fresh->status() != QSettings::NoError)
        return false;
    QByteArray text;
    QFile work(fresh->fileName());
    if (work.exists())
    {
        if (!work.open(QIODevice::ReadOnly))
            return false;
        text = work.readAll();
    }
    if (!verified(*fresh, text))
        return false;

    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    if (!WriteFileAtomically(m_path, text))
        return false;
    const QString old = m_settings->fileName();
    m_settings = std::move(fresh);
    m_changes.clear();
    QFile::remove(old);
    return true;
}

bool SettingsStore::verified(const QSettings& expected, const QByteArray& text)
{
    // QSettings caches files by name, so the text is read back under a name never used before.
    const QString path = m_work.filePath(QStringLiteral("check%1.conf").arg(++m_checks));
    {
        QFile copy(path);
        if (!copy.open(QIODevice::WriteOnly) || copy.write(text) != text.size() || !copy.flush())
            return false;
    }
    bool same = false;
    {
        QSettings written(path, QSettings::IniFormat);
        const QStringList keys = expected.allKeys();
        same = written.status() == QSettings::NoError && written.allKeys().size() == keys.size();
        for (qsizetype i = 0; same && i < keys.size(); ++i)
            same = written.value(keys[i]).toString() == expected.value(keys[i]).toString();
    }
    QFile::remove(path);
    return same;
}
