#include "store/classroom.h"

#include "base/programfolder.h"
#include "base/safefile.h"
#include "store/bankbackend.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace {

StoreError noClassroom()
{
    return StoreError(StoreError::UnknownBank,
        QStringLiteral("本机题库文件不发布测试，也不收交来的结果：这要连接题库服务器。"));
}

// Runs verb on the bank at location, connected.
template<typename Verb>
StoreError onBank(const QString &location, Verb verb)
{
    StoreError error;
    const std::unique_ptr<BankBackend> bank = BankBackend::forLocation(location, &error);
    if (!bank)
        return error;
    if (const StoreError e = bank->connect())
        return e;
    return verb(*bank);
}

// A snapshot's keys file: "server=<location>", then a line "<id>\t<version>\t<test>" for
// every test in it.
QString keysPath(const QString &snapshot)
{
    return snapshot + QStringLiteral(".keys");
}

struct Keys
{
    QString server;
    QHash<QString, Classroom::Key> tests;
};

Keys readKeys(const QString &snapshot)
{
    Keys keys;
    if (!BankBackend::isFile(snapshot) || !QFileInfo(snapshot).fileName().startsWith(u"offline-"))
        return keys;
    const QByteArray bytes = readRegularFile(keysPath(snapshot), 1 << 20).value_or(QByteArray());
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || !lines.first().startsWith("server="))
        return keys;
    keys.server = QString::fromUtf8(lines.first().mid(7));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split('\t');
        if (fields.size() == 3)
            keys.tests.insert(QString::fromUtf8(fields[2]),
                { fields[0].toLongLong(), fields[1].toLongLong(), keys.server });
    }
    return keys;
}

} // namespace

StoreError BankBackend::classTests(QList<Classroom::TestState> *tests)
{
    tests->clear();
    return noClassroom();
}

StoreError BankBackend::setClassFlag(const QString &, ClassFlag, bool)
{
    return noClassroom();
}

StoreError BankBackend::handIn(
    const QString &, const Classroom::Key &, const QString &, Classroom::Scored *)
{
    return noClassroom();
}

StoreError BankBackend::classResults(qint64, int, QList<Classroom::Result> *results)
{
    results->clear();
    return noClassroom();
}

namespace Classroom {

QString snapshotPath(const QString &server)
{
    const QByteArray hash = QCryptographicHash::hash(server.toUtf8(), QCryptographicHash::Sha256);
    return programFile(
        QStringLiteral("offline-%1.mdb").arg(QString::fromLatin1(hash.toHex().left(16))));
}

QString snapshotServer(const QString &path)
{
    return readKeys(path).server;
}

StoreError keepSnapshotKeys(
    const QString &path, const QString &server, const QList<TestState> &tests)
{
    QByteArray text = "server=" + server.toUtf8() + '\n';
    for (const TestState &t : tests)
        if (t.published)
            text += QByteArray::number(t.id) + '\t' + QByteArray::number(t.version) + '\t'
                + t.test.toUtf8() + '\n';
    QString reason;
    if (!replaceFile(keysPath(path), text, &reason))
        return StoreError(StoreError::BankReadOnly, reason);
    return {};
}

StoreError role(const QString &location, Role *role)
{
    *role = Role::Author;
    if (BankBackend::isFile(location)) {
        if (!snapshotServer(location).isEmpty())
            *role = Role::Taker;
        return {};
    }
    return onBank(location, [&](BankBackend &bank) { return bank.role(role); });
}

StoreError tests(const QString &location, QList<TestState> *tests)
{
    tests->clear();
    return onBank(location, [&](BankBackend &bank) { return bank.classTests(tests); });
}

StoreError setPublished(const QString &location, const QString &test, bool published)
{
    return onBank(location, [&](BankBackend &bank) {
        return bank.setClassFlag(test, BankBackend::ClassFlag::Published, published);
    });
}

StoreError setAnonymous(const QString &location, const QString &test, bool anonymous)
{
    return onBank(location, [&](BankBackend &bank) {
        return bank.setClassFlag(test, BankBackend::ClassFlag::Anonymous, anonymous);
    });
}

StoreError key(const QString &location, const QString &test, Key *key)
{
    *key = {};
    if (BankBackend::isFile(location)) {
        *key = readKeys(location).tests.value(test);
        return {};
    }
    return onBank(location, [&](BankBackend &bank) { return bank.handInKey(test, key); });
}

StoreError handIn(const QString &location, const QString &submission, const Key &key,
    const QString &answers, Scored *scored)
{
    *scored = {};
    return onBank(
        location, [&](BankBackend &bank) { return bank.handIn(submission, key, answers, scored); });
}

StoreError results(const QString &location, qint64 after, int limit, QList<Result> *results)
{
    results->clear();
    return onBank(
        location, [&](BankBackend &bank) { return bank.classResults(after, limit, results); });
}

} // namespace Classroom
