#include "QtTrayShell.h"

#include <QIcon>
#include <QSystemTrayIcon>

namespace {

QIcon IconResource(int id) {
    return QIcon(QString(":/res/icon%1.png").arg(id));
}

QString Tip(const std::u16string &tip) {
    return QString::fromStdU16String(tip.substr(0, kTrayTipLength - 1));
}

}  // namespace

QtTrayShell::QtTrayShell() = default;
QtTrayShell::~QtTrayShell() = default;

bool QtTrayShell::Shell_NotifyIcon(int action, const NotifyIconData &data) {
    auto key = std::make_pair(data.hWnd, data.uID);
    auto it = m_icons.find(key);
    switch (action) {
        case NIM_ADD: {
            if (it != m_icons.end())
                return false;
            auto icon = std::make_unique<QSystemTrayIcon>();
            if (data.uFlags & NIF_ICON)
                icon->setIcon(IconResource(data.icon));
            if (data.uFlags & NIF_TIP)
                icon->setToolTip(Tip(data.szTip));
            if (data.uFlags & NIF_MESSAGE) {
                HWND window = data.hWnd;
                UINT id = data.uID, message = data.uCallbackMessage;
                QObject::connect(icon.get(), &QSystemTrayIcon::activated,
                                 [window, id, message](QSystemTrayIcon::ActivationReason why) {
                                     if (why == QSystemTrayIcon::Trigger)
                                         ::PostMessage(window, message, id, WM_LBUTTONUP);
                                     else if (why == QSystemTrayIcon::Context)
                                         ::PostMessage(window, message, id, WM_RBUTTONUP);
                                 });
            }
            icon->show();
            m_icons.emplace(key, std::move(icon));
            return true;
        }
        case NIM_MODIFY:
            if (it == m_icons.end())
                return false;
            if (data.uFlags & NIF_ICON)
                it->second->setIcon(IconResource(data.icon));
            if (data.uFlags & NIF_TIP)
                it->second->setToolTip(Tip(data.szTip));
            return true;
        case NIM_DELETE:
            if (it == m_icons.end())
                return false;
            m_icons.erase(it);
            return true;
        default:
            return false;
    }
}
