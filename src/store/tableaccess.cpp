#include "store/tableaccess.h"

TableAccess::TableAccess() = default;

TableAccess::~TableAccess() = default;

const QStringList &TableAccess::noFields()
{
    static const QStringList none;
    return none;
}

StoreError TableAccess::open(const QString &bank, const QString &table)
{
    if (!m_table || bank != m_bank) {
        m_table.reset();
        m_bank = bank;
        StoreError error;
        const std::unique_ptr<BankBackend> backend = BankBackend::forLocation(bank, &error);
        if (!backend)
            return error;
        m_table = backend->table();
    }
    return m_table->open(table);
}

void TableAccess::close()
{
    if (m_table)
        m_table->close();
}
