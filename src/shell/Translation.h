// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;

// Installs Qt's own French texts (standard buttons, file and colour dialogs) on app, whatever the
// locale, so that no English word shows in a French program. False when the translation is missing.
bool InstallToolkitTranslation(QCoreApplication& app);
