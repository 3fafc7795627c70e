// The desktop program pellandrix: the application object runs everything
// and returns the process exit status.
#include <QApplication>

#include "ui/pellandrix_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    pellandrix::ui::CPellandrixApp app;
    return app.InitInstance(argc, argv);
}
