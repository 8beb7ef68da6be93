#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>

#include <optional>

class QWidget;

// The frame a window manager draws around a top-level window, as the window manager reports
// it: _NET_FRAME_EXTENTS on X11, set once it manages the window and changed whenever the frame
// does. Wayland compositors and the offscreen platform report none.
class WindowFrame : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit WindowFrame(QWidget* window);
    ~WindowFrame() override;

    // The frame's widths, where the window manager reports them; nothing where it reports none
    // or the window is not on the screen yet.
    std::optional<QMargins> extents() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // The window manager reported another frame, or took its report back.
    void changed();

private:
    QWidget* window_;
    quint32 extentsAtom_ = 0; // _NET_FRAME_EXTENTS on this display; 0 without X11
};
