// On Windows Qt knows the frame of its windows itself (frameGeometry()), so there is no report
// of a window manager's to follow.
#include "platform/windowframe.h"

#include <QWidget>

WindowFrame::WindowFrame(QWidget* window) : QObject(window), window_(window) {}

WindowFrame::~WindowFrame() = default;

std::optional<QMargins> WindowFrame::extents() const {
    return std::nullopt;
}

bool WindowFrame::nativeEventFilter(const QByteArray&, void*, qintptr*) {
    return false;
}
