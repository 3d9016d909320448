// CAboutDlg: the about box: the icon, the version and a button.
#pragma once

#include "platform/CDialog.h"

class CAboutDlg : public CDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget *parent = nullptr);
    void OnOK() override { done(IDOK); }
    void OnCancel() override { done(IDCANCEL); }
};
