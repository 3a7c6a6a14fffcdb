#pragma once

// Keeps the program alive whatever a screen reader asks over the accessibility bus.
//
// Qt 6.4's bridge to that bus takes every org.freedesktop.DBus.Properties call for a
// Get or a Set and reads their second argument unchecked; a GetAll (one argument)
// reads past the arguments and ends the program. Once the bridge has put its objects
// on the bus, this puts a guard in front of them that answers a GetAll itself and
// passes every other call on unchanged.
void guardAccessibilityBus();
