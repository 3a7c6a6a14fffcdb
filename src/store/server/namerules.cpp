#include "store/server/namerules.h"

#include "store/storeerror.h"

namespace ServerNames {

int storeNumber(const PgError &error)
{
    const QString &c = error.constraint;
    if (error.sqlstate == QLatin1String("23505") && c == QLatin1String("names_folded_key"))
        return StoreError::TableExists;
    if (error.sqlstate == QLatin1String("23514")) {
        if (c == QLatin1String("name_not_reserved"))
            return StoreError::ReservedName;
        if (c == QLatin1String("name_not_empty"))
            return StoreError::EmptyName;
        if (c == QLatin1String("name_no_control"))
            return StoreError::InvalidName;
    }
    if (error.sqlstate == QLatin1String("23503") && c == QLatin1String("tests_category_id_fkey"))
        return StoreError::CategoryNotEmpty;
    // A NUL character or broken UTF-16, refused before the server saw it.
    if (error.kind == PgError::InvalidValue)
        return StoreError::InvalidName;
    return StoreError::None;
}

} // namespace ServerNames
