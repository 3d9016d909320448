// quorvex: the tray program of the voice-input mouse.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "CQuorvexApp.h"
#include "platform/WriteLog.h"
#include "platform/XDisplayCheck.h"

int main(int argc, char **argv) {
    AppOptions options;
    std::string message;
    // Help needs no display.
    bool qtChoosesDisplay = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kAppUsage, stdout);
            return 0;
        }
        for (const char *option : {"-platform", "--platform", "-display", "--display"})
            qtChoosesDisplay = qtChoosesDisplay || std::strcmp(argv[i], option) == 0;
    }
    // Without a display Qt would abort; say why instead, where a user or a service log sees it.
    if (std::string why; !qtChoosesDisplay && UsesX11Platform() && !XDisplayAvailable(&why)) {
        const std::string text =
            why + "; the tray program needs an X11 session (on Wayland, XWayland's DISPLAY)";
        std::fprintf(stderr, "quorvex: %s\n", text.c_str());
        WriteLog(text);
        return 1;
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
