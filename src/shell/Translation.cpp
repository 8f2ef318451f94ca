// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallToolkitTranslation(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
