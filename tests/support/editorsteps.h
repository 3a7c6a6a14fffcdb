#pragma once

// What the editors' tests do as an author: open an editor on a test the way its
// openers do, press buttons, type into boxes, and read the bank back.

#include "authoring/frmEdittest.h"
#include "authoring/frmScore.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"
#include "support/userinput.h"

#include <QLineEdit>
#include <QTextEdit>
#include <QToolButton>

namespace editorsteps {

using namespace userinput;

// A question row: text, then option and score for A..F. Options A and B are filled
// (title + "A", score 1; title + "B", score 2), the rest empty.
inline QStringList question(const QString &title)
{
    QStringList row { title, title + u'A', QStringLiteral("1"), title + u'B', QStringLiteral("2") };
    while (row.size() < 13)
        row << QString();
    return row;
}

inline QList<QStringList> questions(int count)
{
    QList<QStringList> out;
    for (int i = 1; i <= count; ++i)
        out << question(QStringLiteral("题%1").arg(i));
    return out;
}

inline QList<QStringList> bands(int count)
{
    QList<QStringList> out;
    for (int i = 1; i <= count; ++i)
        out << QStringList { QString::number(i * 10), QString::number(i * 10 + 9),
            QStringLiteral("评价%1").arg(i) };
    return out;
}

// The first field of every row.
inline QStringList firsts(const QList<QStringList> &rows)
{
    QStringList out;
    for (const QStringList &row : rows)
        out << row.value(0);
    return out;
}

// A button of a Data's navigation bar by its tip ("首记录", "末记录", ...).
inline QToolButton *barButton(QWidget *data, const QString &tip)
{
    for (QToolButton *button : data->findChildren<QToolButton *>()) {
        if (button->toolTip() == tip)
            return button;
    }
    return nullptr;
}

// Opens the question editor as the new-test dialog and the chooser do.
inline frmEdittest *openEditor(MainWindowFixture &main, const QString &test)
{
    if (!HandOff::writeTestName(test))
        return nullptr;
    frmEdittest *w = Forms::show<frmEdittest>();
    main->activateWindow();
    if (!QTest::qWaitForWindowActive(main.main))
        return nullptr;
    QCoreApplication::processEvents();
    return w;
}

} // namespace editorsteps
