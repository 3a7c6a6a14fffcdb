#pragma once

// What prog_crashwriter prints, and the rows it writes, shared with the tests that
// read its output and check the bank it leaves.
//
// One line per event, fields separated by tabs, each line flushed at once:
//   READY                      the bank is open and read; commits follow
//   B <verb> <arg>...          an action begins (nothing of it is committed yet)
//   K                          the action begun last is committed
//   E <number> <message>       the store refused the action; the writer stops
//   T <table>                  after the writer's time is up: a table it sees
//   END                        the writer ends normally
// Verbs: cat <category>; test <test> <category>; ren <old> <new> <category>;
// del <test> <category>; q <test> <question>.

#include <QString>
#include <QStringList>

namespace WriterLines {

inline const QString kShared = QStringLiteral("共享"); // a category both copies add tests to
inline const QString kSharedTest = QStringLiteral("公共"); // a test both copies add questions to

// The option fields of a question row, derived from the question's name, so that a
// row written only in part shows: option L is "<name>/L", its score L's index + 0.5.
inline QString questionName(const QString &question)
{
    return question.section(u' ', 0, 0);
}
inline QString optionText(const QString &question, int option)
{
    return questionName(question) + u'/' + QChar(u'A' + option);
}
inline QString optionScore(int option)
{
    return QString::number(option + 0.5);
}

inline QStringList split(const QString &line)
{
    return line.split(u'\t');
}

} // namespace WriterLines
