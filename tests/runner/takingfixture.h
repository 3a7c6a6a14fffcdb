#pragma once

// Tests that a taker may go back and that a run cut short can be continued share these:
// the test they take, how they open the runner, and the answers of a scripted taker.

#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "store/catalogue.h"
#include "support/testfolder.h"

#include <QApplication>
#include <QTextEdit>

namespace TakingFixture {

// A long test for the kills: every question has options A to C whose scores are
// tenths, so that the order of the additions shows in the last bits of the total.
inline QString longTest()
{
    return QStringLiteral("长测试");
}
inline constexpr int kLongQuestions = 30;

inline void addLongTest(TestFolder &folder)
{
    folder.addTest(QStringLiteral("情商"), longTest());
    QList<QStringList> rows;
    for (int q = 1; q <= kLongQuestions; ++q) {
        QStringList row { QStringLiteral("第%1题").arg(q) };
        for (int i = 0; i < 3; ++i)
            row << QStringLiteral("做法%1").arg(QChar(u'A' + i))
                << QString::number((q * 3 + i * 5) % 7 / 10.0);
        rows << row;
    }
    folder.addRows(longTest(), rows);
    folder.addRows(BankNames::scoringTable(longTest()),
        { { QStringLiteral("0"), QStringLiteral("5"), QStringLiteral("少") },
            { QStringLiteral("5"), QStringLiteral("100"), QStringLiteral("多") } });
}

// The scripted taker's answer to question (1, 2, ...): option 0..2, by its pattern.
inline int takerOption(int question, quint32 pattern)
{
    return int((question * 7 + pattern * 13 + question * question * pattern) % 3);
}

// Opens the runner as the chooser does: the name in temp.txt, then load, place, show.
inline frmTest *openRunner(const QString &test)
{
    if (!HandOff::writeTestName(test))
        return nullptr;
    frmTest *runner = Forms::load<frmTest>();
    Forms::place(runner);
    runner->Show();
    QApplication::setActiveWindow(runner->window());
    return runner;
}

inline QString resultText()
{
    frmResult *result = Forms::find<frmResult>();
    return result ? result->Text1->toPlainText() : QStringLiteral("<no result window>");
}

} // namespace TakingFixture
