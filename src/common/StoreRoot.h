// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where statistics live: $VORP_HOME when set, else the executable's folder when it holds a file
// named "portable", else $XDG_DATA_HOME/VORP (~/.local/share/VORP). Ends with "/".
// The folder is created when missing.
QString StoreRoot(const QString& executableDir);
// The same folder, never created: for readers, to whom a missing store is an answer.
QString StoreRootPath(const QString& executableDir);
