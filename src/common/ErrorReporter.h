// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Where failures go: the windows show them in the application's error box, tests collect them.
class ErrorReporter
{
public:
    virtual ~ErrorReporter() = default;
    virtual void showError(const QString& message) = 0;
};

class CollectingErrorReporter final : public ErrorReporter
{
public:
    void showError(const QString& message) override { messages.append(message); }
    QStringList messages;
};
