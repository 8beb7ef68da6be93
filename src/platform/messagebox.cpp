#include "platform/messagebox.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

int showMessageBox(const QString& text, const QString& title, int style) {
    // The box belongs to the main window: it stands over it, and closing it is never the
    // last window of the program closing.
    QWidget* owner = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(window)) owner = window;
    QMessageBox box(style & 32 ? QMessageBox::Question : QMessageBox::NoIcon, title, text,
                    QMessageBox::NoButton, owner);
    if (style & 1) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Ok ? 1 : 2;
}
