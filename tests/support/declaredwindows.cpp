#include "app/windows.h"

#include <QtGlobal>

// A test program of windows knows every window from its start, as the program does
// once its main window is up: a window opens one of another area by class name.
Q_CONSTRUCTOR_FUNCTION(declareWindows)
