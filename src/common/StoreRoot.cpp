// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/StoreRoot.h"

#include <QDir>
#include <QFileInfo>

QString StoreRootPath(const QString& executableDir)
{
    QString root = qEnvironmentVariable("VORP_HOME");
    if (root.isEmpty())
    {
        if (!executableDir.isEmpty() && QFileInfo::exists(executableDir + QStringLiteral("/portable")))
            root = executableDir;
        else
        {
            // The base-directory rules say a relative path is to be ignored.
            QString data = qEnvironmentVariable("XDG_DATA_HOME");
            if (data.isEmpty() || QDir::isRelativePath(data))
                data = QDir::homePath() + QStringLiteral("/.local/share");
            root = data + QStringLiteral("/VORP");
        }
    }
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root;
}

QString StoreRoot(const QString& executableDir)
{
    const QString root = StoreRootPath(executableDir);
    QDir().mkpath(root);
    return root;
}
