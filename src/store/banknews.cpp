#include "store/banknews.h"

BankNews *BankNews::instance()
{
    static BankNews *news = new BankNews;
    return news;
}
