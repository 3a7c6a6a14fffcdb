#pragma once

// Tests of files that cannot be written run as root in CI, who may write anything; so
// such a case runs again in a child process of the unprivileged user "nobody":
//
//     if (asnobody::runsAsRoot()) {
//         asnobody::rerun(u"cannotWrite:"_s + QString::fromUtf8(QTest::currentDataTag()));
//         return;
//     }
//     ... the case itself, as a user who cannot write there
//
// and the program's main is QELVI_TEST_MAIN_AS_NOBODY(tst_x, QApplication).

#include <QString>
#include <QTest>
#include <vector>

namespace asnobody {

bool runsAsRoot();

// Runs this test program again as nobody on one test function (with ":tag" for one
// row) and checks that it passed there; fails with the child's output when not. Skips
// when the program is out of reach of other users.
void rerun(const QString &function);

// The arguments of main without the switch that asks for nobody; dropping to nobody
// when it was there. False when the switch was there and the drop failed.
bool takeSwitch(std::vector<char *> &args);

} // namespace asnobody

// A test program's main that honours the switch rerun() starts it with.
#define QELVI_TEST_MAIN_AS_NOBODY(TestObject, Application)                                         \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        std::vector<char *> args(argv, argv + argc);                                               \
        if (!asnobody::takeSwitch(args))                                                           \
            return 3;                                                                              \
        int count = int(args.size());                                                              \
        Application app(count, args.data());                                                       \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, count, args.data());                                            \
    }
