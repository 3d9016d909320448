#include "CMiniBar.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>

#include "ProgramState.h"
#include "QuorvexMessages.h"

namespace {

constexpr int kDictationButton = 1101;
constexpr int kCommandButton = 1102;
constexpr int kCloseButton = 1103;

}  // namespace

CMiniBar::CMiniBar(QWidget *parent) : CDialog(IDD_MINIBAR, parent) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_microphone = new QPushButton(QStringLiteral("🎤"), this);
    auto *dictation = new QPushButton(QStringLiteral("打字"), this);
    auto *command = new QPushButton(QStringLiteral("搜索"), this);
    auto *close = new QPushButton(QStringLiteral("×"), this);
    for (QPushButton *b : {m_microphone, dictation, command, close}) {
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    // The microphone works like the voice key: down while pressed, up when released.
    connect(m_microphone, &QPushButton::pressed, this,
            [] { ::PostMessage(g_mainWnd, WM_HOTKEY, HOTKEY_VOICE_DOWN, kVoiceDownLParam); });
    connect(m_microphone, &QPushButton::released, this,
            [] { ::PostMessage(g_mainWnd, WM_HOTKEY, HOTKEY_VOICE_UP, kVoiceUpLParam); });
    SetDlgItem(kDictationButton, dictation);
    SetDlgItem(kCommandButton, command);
    SetDlgItem(kCloseButton, close);
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.width() - 400, area.height() - 120);
    }
}

LRESULT CMiniBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
            case kDictationButton:
                ::SendMessage(g_mainWnd, UM_SETMODE, 0, 0);
                return 0;
            case kCommandButton:
                ::SendMessage(g_mainWnd, UM_SETMODE, 1, 0);
                return 0;
            case kCloseButton:
                ShowWindow(SW_HIDE);
                return 0;
            default:
                break;
        }
    }
    if (message == UM_BARREFRESH)
        return 0;  // the plain bar has no pressed images to redraw
    return CDialog::WindowProc(message, wParam, lParam);
}
