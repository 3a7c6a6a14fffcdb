#include "store/classroom.h"

#include "store/bankbackend.h"

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

StoreError role(const QString &location, Role *role)
{
    *role = Role::Author;
    if (BankBackend::isFile(location))
        return {};
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
    if (BankBackend::isFile(location))
        return {};
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
