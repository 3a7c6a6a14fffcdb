#include "store/server/libpq.h"

#include <QLibrary>
#include <mutex>

namespace {

struct Loaded
{
    LibPq functions {};
    bool ok = false;
    QString why;
};

const Loaded &loaded()
{
    static Loaded library;
    static std::once_flag once;
    std::call_once(once, [] {
        QLibrary file(QStringLiteral("pq"), 5);
        if (!file.load()) {
            library.why = file.errorString();
            return;
        }
        bool all = true;
        const auto take = [&](auto &function, const char *name) {
            function
                = reinterpret_cast<std::remove_reference_t<decltype(function)>>(file.resolve(name));
            if (!function) {
                all = false;
                library.why = QStringLiteral("%1 里没有 %2")
                                  .arg(file.fileName(), QString::fromLatin1(name));
            }
        };
        LibPq &f = library.functions;
        take(f.PQbackendPID, "PQbackendPID");
        take(f.PQclear, "PQclear");
        take(f.PQcmdTuples, "PQcmdTuples");
        take(f.PQconnectPoll, "PQconnectPoll");
        take(f.PQconnectStartParams, "PQconnectStartParams");
        take(f.PQconnectionNeedsPassword, "PQconnectionNeedsPassword");
        take(f.PQconsumeInput, "PQconsumeInput");
        take(f.PQerrorMessage, "PQerrorMessage");
        take(f.PQescapeIdentifier, "PQescapeIdentifier");
        take(f.PQexecParams, "PQexecParams");
        take(f.PQfinish, "PQfinish");
        take(f.PQfreemem, "PQfreemem");
        take(f.PQgetisnull, "PQgetisnull");
        take(f.PQgetlength, "PQgetlength");
        take(f.PQgetvalue, "PQgetvalue");
        take(f.PQhost, "PQhost");
        take(f.PQnfields, "PQnfields");
        take(f.PQnotifies, "PQnotifies");
        take(f.PQntuples, "PQntuples");
        take(f.PQresetPoll, "PQresetPoll");
        take(f.PQresetStart, "PQresetStart");
        take(f.PQresultErrorField, "PQresultErrorField");
        take(f.PQresultStatus, "PQresultStatus");
        take(f.PQsetErrorVerbosity, "PQsetErrorVerbosity");
        take(f.PQsetNoticeProcessor, "PQsetNoticeProcessor");
        take(f.PQsocket, "PQsocket");
        take(f.PQstatus, "PQstatus");
        // The library stays loaded for the rest of the run: connections live in it.
        library.ok = all;
    });
    return library;
}

} // namespace

const LibPq *libPq(QString *why)
{
    const Loaded &library = loaded();
    if (why)
        *why = library.why;
    return library.ok ? &library.functions : nullptr;
}
