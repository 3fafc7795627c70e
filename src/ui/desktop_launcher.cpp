#include "ui/desktop_launcher.h"

#include <QProcess>
#include <QStringList>

#include <cstdlib>

#include "support/desktop_entry.h"

namespace pellandrix::ui {

namespace {

// The application entry a desktop tool names on its first line of output.
std::string AskTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::SeparateChannels);
    tool.start(program, arguments, QIODevice::ReadOnly);
    // Asked when the user chose a menu entry, so the window waits: briefly.
    constexpr int kWaitMs = 3000;
    if (!tool.waitForFinished(kWaitMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        return {};
    }
    const QString answer = QString::fromLocal8Bit(tool.readAllStandardOutput());
    return answer.section(QLatin1Char('\n'), 0, 0).trimmed().toStdString();
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

DesktopChoices AskDesktop(bool browser, bool editor) {
    DesktopChoices desktop;
    desktop.browserVariable = Variable("BROWSER");
    desktop.searchPath = Variable("PATH");
    desktop.applicationFolders = ApplicationFolders(
        std::getenv("XDG_DATA_HOME"), std::getenv("HOME"), std::getenv("XDG_DATA_DIRS"));
    if (browser) {
        desktop.defaultBrowser =
            AskTool(QStringLiteral("xdg-settings"),
                    {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    }
    if (editor) {
        desktop.textEditor = AskTool(
            QStringLiteral("xdg-mime"),
            {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    }
    return desktop;
}

bool StartDetached(const LaunchCommand& command) {
    QStringList arguments;
    for (const std::string& argument : command.arguments) {
        arguments << QString::fromStdString(argument);
    }
    return QProcess::startDetached(QString::fromStdString(command.program), arguments);
}

}  // namespace pellandrix::ui
