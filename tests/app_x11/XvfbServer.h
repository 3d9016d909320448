// XvfbServer: a private X server for one test program. It starts Xvfb on a free display, sets
// DISPLAY for the process and its children, and stops the server at the end. Tests never rely on
// a display being there.
#pragma once

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class XvfbServer {
  public:
    XvfbServer() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24",
                   "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buffer[32] = {};
        ssize_t n = 0, got = 0;
        // Xvfb writes the display number once it accepts connections.
        while (got < static_cast<ssize_t>(sizeof buffer) - 1 &&
               (n = read(fds[0], buffer + got, sizeof buffer - 1 - got)) > 0) {
            got += n;
            if (buffer[got - 1] == '\n')
                break;
        }
        close(fds[0]);
        if (got > 0) {
            m_display = ":" + std::string(buffer, buffer[got - 1] == '\n' ? got - 1 : got);
            setenv("DISPLAY", m_display.c_str(), 1);
        }
    }
    ~XvfbServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    bool Running() const { return !m_display.empty(); }
    const std::string &Display() const { return m_display; }

  private:
    pid_t m_pid = -1;
    std::string m_display;
};
