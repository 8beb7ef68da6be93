#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QWidget;

// The program's picture, an image resource: the icon of its window and of its tray icon.
inline QString programIconFile() {
    return QStringLiteral(":/miravon/icon.png");
}

// The about panel's picture, a JPEG image resource.
inline QString aboutPictureFile() {
    return QStringLiteral(":/miravon/about.jpg");
}

// Gives the window the program's icon.
void setProgramIcon(QWidget& window);

// The image a picture file holds (JPEG or PNG); a null image for bytes that are no picture, or
// one larger than MaxPictureSide on a side. Windows reads it with its own imaging component:
// the program then carries no image plugin of Qt's, which Qt would load at start-up with the
// first image it reads (the menu bar's own).
constexpr int MaxPictureSide = 4096;
QImage decodePicture(const QByteArray& bytes);
