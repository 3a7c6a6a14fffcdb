#pragma once

// The signals that end the program (a logout, Ctrl+C, a closed terminal), counted as
// they come: a wait that was under way when one came gives up instead of going on, so
// that the program can end in order.
namespace EndSignals {

// Counts one. Safe inside a signal handler.
void count();
// How many have come so far.
int seen();

} // namespace EndSignals
