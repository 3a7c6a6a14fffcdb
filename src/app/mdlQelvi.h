#pragma once

class QApplication;

// The start-up module: shows the cover window, which opens the main window.
namespace mdlQelvi {

// Prepares the application (name, icon, fonts, signals), shows the cover and runs
// the event loop.
int Main(QApplication &app);

// Sets up what every window relies on (fonts, icon, names) without showing anything.
void prepare(QApplication &app);

// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) end the program
// at once in any state, message boxes open or not: what the windows hold is
// committed as far as the bank takes it, without a question, and the program quits.
void endOnSignals(QApplication &app);

// Loads and shows the main window (once).
void openMainWindow();

} // namespace mdlQelvi
