// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Gives a control its given name as objectName, so tests find it by name.
template <typename T> T* Named(T* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}
