#include "XvfbDisplay.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace qvtest {

namespace {

pid_t Spawn(const char *const argv[], int keepFd = -1) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        for (int fd = 3; fd < 256; ++fd)
            if (fd != keepFd)
                close(fd);
        execvp(argv[0], const_cast<char *const *>(argv));
        _exit(127);
    }
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

XvfbDisplay::XvfbDisplay(bool windowManager) {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    // Xvfb picks a free display number and writes it to the pipe once it accepts clients.
    const std::string fd = std::to_string(fds[1]);
    const char *server[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen",  "0",
                            "1280x800x24", "-nolisten",  "tcp",      "-noreset", nullptr};
    m_server = Spawn(server, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        Stop(m_server);
        m_server = -1;
        return;
    }
    m_name = ":" + number;
    setenv("DISPLAY", m_name.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (windowManager) {
        const char *wm[] = {"matchbox-window-manager", "-use_titlebar", "no", nullptr};
        m_windowManager = Spawn(wm);
        // It is ready once it owns the window-manager selection of the screen.
        if (Display *d = XOpenDisplay(m_name.c_str())) {
            Atom wmSelection = XInternAtom(d, "WM_S0", False);
            for (int i = 0; i < 200 && XGetSelectionOwner(d, wmSelection) == None; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            XCloseDisplay(d);
        }
    }
}

XvfbDisplay::~XvfbDisplay() {
    Stop(m_windowManager);
    Stop(m_server);
}

}  // namespace qvtest
