#include "CAboutDlg.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "QuorvexMessages.h"

CAboutDlg::CAboutDlg(QWidget *parent) : CDialog(IDD_ABOUTBOX, parent) {
    setWindowTitle(QStringLiteral("关于 Quorvex"));
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout();
    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/res/icon150.png")).pixmap(32, 32));
    row->addWidget(icon);
    row->addWidget(new QLabel(QStringLiteral("Quorvex，1.0 版"), this));
    layout->addLayout(row);
    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setDefault(true);
    SetDlgItem(IDOK, ok);
    layout->addWidget(ok, 0, Qt::AlignRight);
}
