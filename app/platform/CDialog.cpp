#include "CDialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>

#if defined(__SANITIZE_THREAD__)
#define QV_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_THREAD_SANITIZER 1
#endif
#endif
#ifdef QV_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kSentMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct MessageEvent : QEvent {
    MessageEvent(UINT m, WPARAM w, LPARAM l, Type type = kMessageEvent)
        : QEvent(type), message(m), wParam(w), lParam(l) {}
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What a thread that sends to the user-interface thread waits on.
struct Reply {
    std::mutex mutex;
    std::condition_variable done;
    bool handled = false;
    LRESULT result = 0;
};

// A message sent from another thread. It answers when it is done with, run or not: Qt deletes
// the events of a window that goes away, so the sender never waits for ever.
struct SentMessageEvent : MessageEvent {
    SentMessageEvent(UINT m, WPARAM w, LPARAM l, std::shared_ptr<Reply> r)
        : MessageEvent(m, w, l, kSentMessageEvent), reply(std::move(r)) {}
    ~SentMessageEvent() override {
        std::lock_guard<std::mutex> lock(reply->mutex);
        reply->result = result;
        reply->handled = true;
        reply->done.notify_all();
    }
    std::shared_ptr<Reply> reply;
    LRESULT result = 0;
};

// Qt's event queue is not built with the race checker, so it cannot see that a posted event
// passes from the posting thread to the receiving one; we tell it.
#ifdef QV_THREAD_SANITIZER
void HandOver(QEvent *event) { __tsan_release(event); }
void TakeOver(QEvent *event) { __tsan_acquire(event); }
#else
void HandOver(QEvent *) {}
void TakeOver(QEvent *) {}
#endif

// Windows that can receive posted messages; a post to one that is gone is refused. The lock is
// held across the post so that a window cannot be destroyed in between.
std::mutex g_windowsMutex;
std::set<const CDialog *> g_windows;

// Queues the event for the window, which need not exist any more; a refused event is deleted.
bool Post(CDialog *window, MessageEvent *event) {
    std::unique_ptr<MessageEvent> owned(event);
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    if (!g_windows.count(window))
        return false;
    HandOver(event);
    QCoreApplication::postEvent(window, owned.release());
    return true;
}

// While the user-interface thread sleeps (SleepOnUiThread) its messages wait here, in order.
int g_sleepDepth = 0;
struct Deferred {
    CDialog *window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::deque<Deferred> g_deferred;

bool OnUiThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

CDialog::CDialog(int resourceId, QWidget *parent) : QDialog(parent), m_resourceId(resourceId) {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    g_windows.insert(this);
}

CDialog::~CDialog() {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    g_windows.erase(this);
    for (auto it = g_deferred.begin(); it != g_deferred.end();)
        it = it->window == this ? g_deferred.erase(it) : it + 1;
}

bool CDialog::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Post(this, new MessageEvent(message, wParam, lParam));
}

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (OnUiThread())
        return WindowProc(message, wParam, lParam);
    // Another thread waits until the user-interface thread has handled the message, or has
    // dropped it with the window. The wait is ours (not Qt's) so that race checkers see it.
    auto reply = std::make_shared<Reply>();
    Post(this, new SentMessageEvent(message, wParam, lParam, reply));
    std::unique_lock<std::mutex> lock(reply->mutex);
    reply->done.wait(lock, [&] { return reply->handled; });
    return reply->result;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            OnCancel();
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK)
                OnOK();
            if (LOWORD(wParam) == IDCANCEL)
                OnCancel();
            return 0;
        default:
            return 0;
    }
}

void CDialog::ShowWindow(int showState) {
    switch (showState) {
        case SW_HIDE:
            hide();
            break;
        case SW_SHOWNOACTIVATE:
            setAttribute(Qt::WA_ShowWithoutActivating, true);
            show();
            break;
        default:
            setAttribute(Qt::WA_ShowWithoutActivating, false);
            show();
            break;
    }
}

void CDialog::SetToolWindow(bool tool) {
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | (tool ? Qt::Tool : Qt::Dialog));
}

void CDialog::EndDialog(int result) {
    setResult(result);
    hide();
}

void CDialog::SetDlgItem(int id, QWidget *control) {
    m_controls[id] = control;
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        connect(button, &QAbstractButton::clicked, this,
                [this, id] { SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0); });
    }
}

QWidget *CDialog::GetDlgItem(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

int CDialog::IsDlgButtonChecked(int id) const {
    auto *button = qobject_cast<QAbstractButton *>(GetDlgItem(id));
    return button && button->isChecked() ? 1 : 0;
}

void CDialog::CheckDlgButton(int id, int checked) {
    auto *button = qobject_cast<QAbstractButton *>(GetDlgItem(id));
    if (!button)
        return;
    // Qt refuses to uncheck the checked button of an exclusive radio group; a dialog must be
    // able to show a group with none chosen.
    const bool exclusive = button->autoExclusive();
    if (!checked && exclusive)
        button->setAutoExclusive(false);
    button->setChecked(checked != 0);
    button->setAutoExclusive(exclusive);
}

void CDialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id)
        CheckDlgButton(id, id == checkId);
}

int CDialog::GetCheckedRadioButton(int firstId, int lastId) const {
    for (int id = firstId; id <= lastId; ++id)
        if (IsDlgButtonChecked(id))
            return id;
    return 0;
}

void CDialog::SleepOnUiThread(int ms) {
    ++g_sleepDepth;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
    // Whatever was posted meanwhile joins the waiting messages, so that they keep their order.
    QCoreApplication::sendPostedEvents(nullptr, kMessageEvent);
    if (--g_sleepDepth > 0)
        return;
    std::deque<Deferred> waiting;
    {
        std::lock_guard<std::mutex> lock(g_windowsMutex);
        waiting.swap(g_deferred);
    }
    for (const Deferred &d : waiting)
        d.window->PostMessage(d.message, d.wParam, d.lParam);
}

bool CDialog::event(QEvent *event) {
    TakeOver(event);
    if (event->type() == kSentMessageEvent) {  // the sender waits: it is never deferred
        auto *m = static_cast<SentMessageEvent *>(event);
        m->result = WindowProc(m->message, m->wParam, m->lParam);
        return true;
    }
    if (event->type() != kMessageEvent)
        return QDialog::event(event);
    auto *m = static_cast<MessageEvent *>(event);
    if (g_sleepDepth > 0) {
        std::lock_guard<std::mutex> lock(g_windowsMutex);
        g_deferred.push_back({this, m->message, m->wParam, m->lParam});
    } else {
        WindowProc(m->message, m->wParam, m->lParam);
    }
    return true;
}

void CDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        WindowProc(WM_SHOWWINDOW, 1, 0);
}

void CDialog::hideEvent(QHideEvent *event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        WindowProc(WM_SHOWWINDOW, 0, 0);
}

void CDialog::closeEvent(QCloseEvent *event) {
    // The window decides itself what closing means (by default: Cancel, which hides it).
    event->ignore();
    SendMessage(WM_CLOSE, 0, 0);
}

void CDialog::keyPressEvent(QKeyEvent *event) {
    UINT vk = 0;
    switch (event->key()) {
        case Qt::Key_Escape:
            vk = VK_ESCAPE;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            vk = VK_RETURN;
            break;
        default:
            break;
    }
    if (vk && PreTranslateMessage(WM_KEYDOWN, vk, 0)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::accept() {
    SendMessage(WM_COMMAND, IDOK, 0);
}

void CDialog::reject() {
    SendMessage(WM_COMMAND, IDCANCEL, 0);
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The handle is looked up before it is used: it may name a window that is gone.
    return Post(window, new MessageEvent(message, wParam, lParam));
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return window ? window->SendMessage(message, wParam, lParam) : 0;
}
