#pragma once

#include <QString>

// A modal message box over the main window, as Platform::messageBox describes it: style 0 OK,
// 1 OK and Cancel, 32 and 33 the same with a question icon. Returns 1 for OK, 2 for Cancel.
int showMessageBox(const QString& text, const QString& title, int style);
