// Windows draws the icon the program file carries (IDI_ICON1, the same picture) on each of the
// program's windows by itself. Setting it again through Qt would read the image at start-up,
// and the first image Qt reads has it look through its image plugins: 5 ms under Wine.
#include "platform/programicon.h"

void setProgramIcon(QWidget&) {}
