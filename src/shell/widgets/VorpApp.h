#pragma once

#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "shell/CommandLine.h"

#include <QString>

#include <memory>

class TForm4;
class TOKBottomDlg;
class SignalBridge;

// Shows failures in the application's error box; the program goes on.
class MessageBoxErrorReporter final : public ErrorReporter
{
public:
    void showError(const QString& message) override;
};

// Creates the windows once, hidden, in their start-up order, and hands each the peers it uses.
class VorpApp final
{
public:
    VorpApp(const CommandLine& commandLine, const QString& executableDir, int trayWaitMs = 30000);
    ~VorpApp();
    VorpApp(const VorpApp&) = delete;
    VorpApp& operator=(const VorpApp&) = delete;

    TForm4& shell() { return *m_shell; }
    const QString& storeRoot() const { return m_storeRoot; }

private:
    SystemClock m_clock;
    MessageBoxErrorReporter m_errors;
    QString m_storeRoot;
    std::unique_ptr<TForm4> m_shell;
    std::unique_ptr<TOKBottomDlg> m_about;
    std::unique_ptr<SignalBridge> m_signals;
};
