// The desktop program pellandrix: the application object runs everything
// and returns the process exit status.
#include <QApplication>

#include <cstdio>

#include "ui/launch_options.h"
#include "ui/pellandrix_app.h"

int main(int argc, char** argv) {
    // Before Qt, which needs a display even to print the usage.
    if (pellandrix::ui::ParseLaunchOptions(argc, argv).where ==
        pellandrix::ui::LaunchOptions::Where::kHelp) {
        std::fputs(pellandrix::ui::kLaunchUsage, stdout);
        return 0;
    }
    QApplication application(argc, argv);
    pellandrix::ui::CPellandrixApp app;
    return app.InitInstance(argc, argv);
}
