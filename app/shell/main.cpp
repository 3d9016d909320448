// quorvex: the tray program of the voice-input mouse.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "CQuorvexApp.h"

int main(int argc, char **argv) {
    AppOptions options;
    std::string message;
    // Help needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kAppUsage, stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);  // takes Qt's own options out of argv
    if (!ParseAppOptions(argc, argv, &options, &message)) {
        std::fputs(message.c_str(), stderr);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Quorvex"));
    // The program lives in the notification area; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    CQuorvexApp theApp(options);
    theApp.InitInstance();
    return theApp.ExitInstance();
}
