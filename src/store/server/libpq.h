#pragma once

#include <QString>
#include <libpq-fe.h>

// The PostgreSQL client library, loaded when the first server bank is connected rather
// than with the program: with the TLS, Kerberos and LDAP libraries it needs it holds
// about 5 MB, which a copy that never connects to a server need not carry. The members
// are libpq's own functions, under their own names.
struct LibPq
{
    decltype(&::PQbackendPID) PQbackendPID;
    decltype(&::PQclear) PQclear;
    decltype(&::PQcmdTuples) PQcmdTuples;
    decltype(&::PQconnectPoll) PQconnectPoll;
    decltype(&::PQconnectStartParams) PQconnectStartParams;
    decltype(&::PQconnectionNeedsPassword) PQconnectionNeedsPassword;
    decltype(&::PQconsumeInput) PQconsumeInput;
    decltype(&::PQerrorMessage) PQerrorMessage;
    decltype(&::PQescapeIdentifier) PQescapeIdentifier;
    decltype(&::PQexecParams) PQexecParams;
    decltype(&::PQfinish) PQfinish;
    decltype(&::PQfreemem) PQfreemem;
    decltype(&::PQgetisnull) PQgetisnull;
    decltype(&::PQgetlength) PQgetlength;
    decltype(&::PQgetvalue) PQgetvalue;
    decltype(&::PQhost) PQhost;
    decltype(&::PQnfields) PQnfields;
    decltype(&::PQnotifies) PQnotifies;
    decltype(&::PQntuples) PQntuples;
    decltype(&::PQresetPoll) PQresetPoll;
    decltype(&::PQresetStart) PQresetStart;
    decltype(&::PQresultErrorField) PQresultErrorField;
    decltype(&::PQresultStatus) PQresultStatus;
    decltype(&::PQsetErrorVerbosity) PQsetErrorVerbosity;
    decltype(&::PQsetNoticeProcessor) PQsetNoticeProcessor;
    decltype(&::PQsocket) PQsocket;
    decltype(&::PQstatus) PQstatus;
};

// The library, loaded at the first call; null when it cannot be (libpq5 is not
// installed), *why then saying what is missing.
const LibPq *libPq(QString *why = nullptr);
