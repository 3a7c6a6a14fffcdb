#pragma once

// Tells the registry how to open every window, so that a window can open one of another
// area by its class name (Forms::show("frmTest")). The main window does it at start;
// doing it again changes nothing.
void declareWindows();
