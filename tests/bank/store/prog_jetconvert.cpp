// Converts one Access 2000 bank through the store, for the tests that kill a
// conversion at random moments, run two at once, or fill the disk under one.
//
//   prog_jetconvert <bank> [<largest file in bytes>]
//
// Prints "S" when it starts, then "CONVERTED <kept as>", "NOTHING" (the bank was no
// Jet file, or another copy converted it meanwhile) or "ERROR <number> <message>".
// With a size, no file it writes may grow past it, as on a disk that is full.
#include "formats/access2000/jetbank.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fputs("usage: prog_jetconvert <bank> [<largest file in bytes>]\n", stderr);
        return 2;
    }
    if (args.size() > 2) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
        const rlim_t limit = args.at(2).toULongLong();
        const rlimit size { limit, limit };
        setrlimit(RLIMIT_FSIZE, &size);
    }
    std::puts("S");
    std::fflush(stdout);
    JetBank::Conversion done;
    const StoreError e = JetBank::convertIfJet(args.at(1), &done);
    QByteArray line;
    if (e)
        line = "ERROR " + QByteArray::number(e.number()) + ' ' + e.message().toUtf8();
    else if (done.keptAs.isEmpty())
        line = "NOTHING";
    else
        line = "CONVERTED " + done.keptAs.toUtf8();
    std::puts(line.constData());
    return e ? 1 : 0;
}
