#include "platform/programicon.h"

#include <QIcon>
#include <QWidget>

void setProgramIcon(QWidget& window) {
    window.setWindowIcon(QIcon(programIconFile()));
}
