// QtTrayShell: tray icons as QSystemTrayIcon; icon resource N is ":/res/icon<N>.png".
#pragma once

#include <map>
#include <memory>
#include <utility>

#include "TrayShell.h"

class QSystemTrayIcon;

class QtTrayShell : public TrayShell {
  public:
    QtTrayShell();
    ~QtTrayShell() override;
    bool Shell_NotifyIcon(int action, const NotifyIconData &data) override;

  private:
    std::map<std::pair<HWND, UINT>, std::unique_ptr<QSystemTrayIcon>> m_icons;
};
