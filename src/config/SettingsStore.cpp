#include "config/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace
{
// QSettings escapes every character of an INI key except '/', which separates groups, and it
// drops empty keys; so '%' and '/' are escaped here first and the empty name gets a key of its
// own ("%" alone cannot come from a non-empty name). Keys are all case-folded.
QString EncodedKey(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("%");
    QString key;
    key.reserve(name.size());
    for (const QChar c : name.toCaseFolded())
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
}

QString SettingsStore::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/VORP/VORP.conf");
}

SettingsStore::SettingsStore(QString path) : m_path(std::move(path))
{
    const QString work = m_work.filePath(QStringLiteral("VORP.conf"));
    if (QFileInfo::exists(m_path))
        QFile::copy(m_path, work);
    m_settings = std::make_unique<QSettings>(work, QSettings::IniFormat);
}

QString SettingsStore::keyFor(const QString& name) const
{
    const QString key = EncodedKey(name);
    if (m_settings->contains(key))
        return key;
    // A key spelled otherwise (an edit by hand) still answers to its name.
    const QStringList keys = m_settings->childKeys();
    for (const QString& other : keys)
    {
        if (other.toCaseFolded() == key)
            return other;
    }
    return key;
}

bool SettingsStore::exists(const QString& name) const
{
    return m_settings->contains(keyFor(name));
}

std::optional<QString> SettingsStore::readString(const QString& name) const
{
    const QVariant v = m_settings->value(keyFor(name));
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() == QMetaType::Int)
        return QString::number(v.toInt());
    return std::nullopt;
}

std::optional<int32_t> SettingsStore::readInt(const QString& name) const
{
    return ToInt32(m_settings->value(keyFor(name)));
}

std::optional<bool> SettingsStore::readBool(const QString& name) const
{
    const auto v = readInt(name);
    if (!v)
        return std::nullopt;
    return *v != 0;
}

void SettingsStore::write(const QString& name, const QVariant& value)
{
    const QString key = EncodedKey(name);
    const QString existing = keyFor(name);
    if (existing != key)
        m_settings->remove(existing);
    m_settings->setValue(key, value);
}

void SettingsStore::writeString(const QString& name, const QString& value)
{
    write(name, value);
}

void SettingsStore::writeInt(const QString& name, int32_t value)
{
    write(name, QVariant(static_cast<int>(value)));
}

void SettingsStore::writeBool(const QString& name, bool value)
{
    writeInt(name, value ? 1 : 0);
}

void SettingsStore::remove(const QString& name)
{
    m_settings->remove(keyFor(name));
}

bool SettingsStore::sync()
{
    if (!m_work.isValid())
        return false;
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        return false;
    QByteArray text;
    QFile work(m_settings->fileName());
    if (work.exists())
    {
        if (!work.open(QIODevice::ReadOnly))
            return false;
        text = work.readAll();
    }
    if (!verified(text))
        return false;

    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text) != text.size() || !file.flush() || ::fsync(file.handle()) != 0)
    {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    const int dir = ::open(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0)
    {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool SettingsStore::verified(const QByteArray& text)
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
        const QStringList keys = m_settings->allKeys();
        same = written.status() == QSettings::NoError && written.allKeys().size() == keys.size();
        for (qsizetype i = 0; same && i < keys.size(); ++i)
            same = written.value(keys[i]).toString() == m_settings->value(keys[i]).toString();
    }
    QFile::remove(path);
    return same;
}
