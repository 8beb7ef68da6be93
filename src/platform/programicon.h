#pragma once

#include <QString>

class QWidget;

// The program's picture, an image resource: the icon of its window and of its tray icon.
inline QString programIconFile() {
    return QStringLiteral(":/miravon/icon.png");
}

// Gives the window the program's icon.
void setProgramIcon(QWidget& window);
