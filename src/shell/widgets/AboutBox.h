// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The about box: the splash picture on black, the version in bold red, "OK".
class AboutBox final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutBox)

public:
    explicit AboutBox(const QString& versionText, QWidget* parent = nullptr);
};
