#include "MessageBoxes.h"

#include <QMessageBox>

int QtMessageBoxes::MessageBox(HWND owner, const std::u16string &text,
                               const std::u16string &caption, UINT type) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & 0xF0) {
        case MB_ICONERROR:
            icon = QMessageBox::Critical;
            break;
        case MB_ICONWARNING:
            icon = QMessageBox::Warning;
            break;
        case MB_ICONINFORMATION:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    QMessageBox box(icon, QString::fromStdU16String(caption), QString::fromStdU16String(text),
                    QMessageBox::Ok, owner);
    box.exec();
    return IDOK;
}
