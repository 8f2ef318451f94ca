#include "shell/widgets/VorpApp.h"

#include "common/StoreRoot.h"
#include "shell/SignalBridge.h"
#include "shell/widgets/Genmain.h"
#include "shell/widgets/TOKBottomDlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>

void MessageBoxErrorReporter::showError(const QString& message)
{
    QMessageBox::critical(nullptr, QStringLiteral("VORP Beta4"), message);
}

VorpApp::VorpApp(const CommandLine& commandLine, const QString& executableDir, int trayWaitMs)
    : m_storeRoot(StoreRoot(executableDir))
{
    m_shell = std::make_unique<TForm4>(commandLine.pictureBase);
    m_about = std::make_unique<TOKBottomDlg>(m_shell->Label1->text());

    ShellPeers peers;
    peers.showAbout = [this] {
        m_about->show();
        m_about->raise();
    };
    m_shell->setPeers(std::move(peers));

    // SIGTERM, SIGINT and the end of the desktop session run the same close chain as "&Quitter".
    m_signals = std::make_unique<SignalBridge>();
    QObject::connect(m_signals.get(), &SignalBridge::terminationRequested, m_shell.get(), [this] { m_shell->close(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_shell.get(), [this](QSessionManager&) { m_shell->close(); });

    m_shell->start(trayWaitMs);
}

VorpApp::~VorpApp() = default;
