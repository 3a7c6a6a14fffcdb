#pragma once

#include <QString>
#include <optional>

// Who takes a test: when the user switches it on (off unless taker.ini in the program
// folder says "ask=1"), the runner asks for a name or code before the first question
// and the history keeps it with the result.
namespace Taker {

// The longest name or code kept.
inline constexpr int longest = 100;

bool asking();
// Switches the question on or off; false with *reason when the setting cannot be kept.
bool setAsking(bool on, QString *reason);

// Asks before the test starts: the name or code given (trimmed, possibly empty), or
// nothing when the taker cancelled (the test then does not start).
std::optional<QString> ask(const QString &test);

} // namespace Taker
