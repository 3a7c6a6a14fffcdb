// Takes the long test of the program folder as a taker does, one click an answer, and
// reports each answer once the click has returned, for the test that kills it at random
// moments and then continues the run.
//
//   prog_taker <program folder> <pattern>
//
// It prints "A <question>" after each answer and "END" after the result.
#include "base/programfolder.h"
#include "platform/msgbox.h"
#include "support/mainwindow.h"
#include "takingfixture.h"

#include <QApplication>
#include <QTest>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: prog_taker <program folder> <pattern>\n");
        return 2;
    }
    setProgramFolder(QString::fromLocal8Bit(argv[1]));
    const quint32 pattern = QByteArray(argv[2]).toUInt();
    ScriptedMessages messages; // a run left before is started again
    MainWindowFixture main;
    frmTest *runner = TakingFixture::openRunner(TakingFixture::longTest());
    for (int q = 1; q <= TakingFixture::kLongQuestions; ++q) {
        QTest::mouseClick(
            runner->optionLabels()[TakingFixture::takerOption(q, pattern)], Qt::LeftButton);
        std::printf("A %d\n", q);
        std::fflush(stdout);
    }
    std::printf("END\n");
    std::fflush(stdout);
    return 0;
}
