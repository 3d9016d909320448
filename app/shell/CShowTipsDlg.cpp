#include "CShowTipsDlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "ProgramState.h"
#include "QuorvexMessages.h"

CShowTipsDlg::CShowTipsDlg(QWidget *parent) : CDialog(IDD_TIPS_DIALOG, parent) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(268, 42);
    m_text = new QLabel(this);
    m_text->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(m_text);
}

QString CShowTipsDlg::ComposeText(bool *centred) {
    const QString status = QString::fromStdU16String(g_statusText);
    const QString language = QString::fromStdU16String(g_languageName);
    *centred = status == QStringLiteral("请重说") || status == QStringLiteral("已经连接到Zelvo") ||
               status == QStringLiteral("请连接Zelvo") ||
               status == QStringLiteral("Zelvo已经断开") ||
               status.contains(QStringLiteral("识别语言切换为:"));
    if (*centred)
        return status;
    if (g_tipMode == 1)
        return QStringLiteral("搜索[") + language + QStringLiteral("]:") + status;
    if (g_tipMode == 0)
        return QStringLiteral("打字[") + language + QStringLiteral("]:") + status;
    return language + status;
}

LRESULT CShowTipsDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOWWINDOW) {
        bool centred = false;
        m_text->setText(ComposeText(&centred));
        m_text->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        // Grey-blue for command mode, blue for dictation, the dialog's own after a failed start.
        QString background =
            g_tipMode == 1   ? QStringLiteral("CShowTipsDlg { background: rgb(108,123,139); }")
            : g_tipMode == 0 ? QStringLiteral("CShowTipsDlg { background: rgb(0,50,200); }")
                             : QString();
        setStyleSheet(background + QStringLiteral(" QLabel { color: white; }"));
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->availableGeometry();
            move(screen->geometry().width() - width() - 20,
                 area.bottom() + 1 - height() - area.top());
        }
        if (wParam)
            repaint();
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
