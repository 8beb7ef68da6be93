#include "platform/programicon.h"

#include <QBuffer>
#include <QIcon>
#include <QImageReader>
#include <QWidget>

void setProgramIcon(QWidget& window) {
    window.setWindowIcon(QIcon(programIconFile()));
}

QImage decodePicture(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isEmpty() || size.width() > MaxPictureSide || size.height() > MaxPictureSide)
        return {};
    return reader.read();
}
