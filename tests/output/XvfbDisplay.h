// XvfbDisplay: a private X server for tests and benchmarks - Xvfb on a free display number, with
// a small window manager for focus - that becomes this process's DISPLAY.
#pragma once

#include <sys/types.h>
#include <string>

namespace qvtest {

class XvfbDisplay {
  public:
    // Starts Xvfb (and matchbox-window-manager when `windowManager`); Ok() tells whether it
    // worked.
    explicit XvfbDisplay(bool windowManager = true);
    ~XvfbDisplay();

    bool Ok() const { return !m_name.empty(); }
    const std::string &Name() const { return m_name; }  // ":N"

  private:
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::string m_name;
};

}  // namespace qvtest
