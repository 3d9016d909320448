// CDialog: the base of the program's windows. A Qt dialog that receives window messages - posted
// (from any thread, queued behind the handler that runs now) or sent (handled before the call
// returns) - and hands each to its message table; it keeps its controls by id.
#pragma once

#include <QDialog>
#include <cstddef>
#include <map>

#include "WindowMessage.h"

class QAbstractButton;

class CDialog;
using HWND = CDialog *;

// One row of a window's message table. For WM_COMMAND the row covers the command ids firstId to
// lastId (the low word of wParam), for WM_HOTKEY the hot-key ids (wParam); for other messages
// the ids are 0 and every message of that kind matches.
template <class Window>
struct MessageEntry {
    UINT message;
    UINT firstId;
    UINT lastId;
    LRESULT (Window::*handler)(WPARAM, LPARAM);
};

class CDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CDialog(int resourceId, QWidget *parent = nullptr);
    ~CDialog() override;

    int ResourceId() const { return m_resourceId; }

    // Queues the message behind everything queued before it; safe from any thread. Returns false
    // when the window is gone.
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Handles the message before returning. From another thread it blocks until the user-interface
    // thread has handled it, so never send from a thread that the user-interface thread waits for.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Where every message arrives: the window's message table first, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The handling of messages that no table row takes: WM_CLOSE and the OK and Cancel commands
    // close (hide) the dialog.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Sees key-downs before the dialog does; true swallows the key.
    virtual bool PreTranslateMessage(UINT message, WPARAM wParam, LPARAM lParam) { return false; }

    // SW_HIDE, SW_SHOWNOACTIVATE, SW_SHOW, SW_SHOWNORMAL.
    void ShowWindow(int showState);
    // A tool window has no taskbar button; otherwise the dialog is an application window. Takes
    // effect when the window is next shown.
    void SetToolWindow(bool tool);
    // Hides the dialog with a result; modeless dialogs stay alive.
    void EndDialog(int result);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // Controls by id. A button, once registered, sends WM_COMMAND with its id when clicked.
    void SetDlgItem(int id, QWidget *control);
    QWidget *GetDlgItem(int id) const;
    int IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, int checked);
    // Checks `checkId` among the radio buttons firstId..lastId; returns the checked one's id.
    void CheckRadioButton(int firstId, int lastId, int checkId);
    int GetCheckedRadioButton(int firstId, int lastId) const;

    // Blocks the user-interface thread for `ms` milliseconds as a sleep on it would: windows
    // still paint, but window messages, input and device events wait and are handled afterwards,
    // in their order. Only on the user-interface thread.
    static void SleepOnUiThread(int ms);

  protected:
    // Looks the message up in `table`; true (with *result) when a row took it.
    template <class Window, std::size_t N>
    bool DispatchTable(const MessageEntry<Window> (&table)[N], UINT message, WPARAM wParam,
                       LPARAM lParam, LRESULT *result) {
        for (const MessageEntry<Window> &row : table) {
            if (row.message != message)
                continue;
            if (row.firstId != 0 || row.lastId != 0) {
                UINT id = message == WM_COMMAND ? LOWORD(wParam) : static_cast<UINT>(wParam);
                if (id < row.firstId || id > row.lastId)
                    continue;
            }
            *result = (static_cast<Window *>(this)->*row.handler)(wParam, lParam);
            return true;
        }
        return false;
    }

    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void accept() override;
    void reject() override;

  private:
    const int m_resourceId;
    std::map<int, QWidget *> m_controls;
};

// The free forms, for code that holds a window handle (null-safe).
bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
