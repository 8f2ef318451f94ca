#include "shell/CommandLine.h"
#include "shell/widgets/Application.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = ParseCommandLine(arguments);
    if (line.action == CommandLine::Action::Help)
    {
        std::fputs(HelpText(QString::fromLocal8Bit(argv[0])).toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (line.action == CommandLine::Action::Version)
    {
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    // Stay-on-top, tool windows and translucency need X11; under Wayland go through XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qgetenv("XDG_SESSION_TYPE") == "wayland")
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VORP"));
    QApplication::setApplicationVersion(QStringLiteral("1.10.11.213"));
    QApplication::setDesktopFileName(QStringLiteral("vorp"));
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<Application> vorp;
    try
    {
        vorp = std::make_unique<Application>(line, AppEnvironment{QCoreApplication::applicationDirPath(), nullptr, 30000});
    }
    catch (const std::exception& e)
    {
        // A failure while the windows are created ends the program.
        QMessageBox::critical(nullptr, QStringLiteral("VORP Beta4"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
    return QApplication::exec();
}
