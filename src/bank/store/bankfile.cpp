#include "bank/store/bankfile.h"

namespace BankFile {
QSqlDatabase connection(const QString &, StoreError *error)
{
    if (error)
        *error = StoreError(StoreError::Engine, QString());
    return {};
}
StoreError check(const QString &) { return {}; }
void closeConnection() { }
quint64 connectionSerial() { return 0; }
QString connectedPath() { return {}; }
QString quoteName(const QString &name)
{
    QString n = name;
    return u'"' + n.replace(u'"', QStringLiteral("\"\"")) + u'"';
}
StoreError createFreshBank(const QString &) { return {}; }
} // namespace BankFile
