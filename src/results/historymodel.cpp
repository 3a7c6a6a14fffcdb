#include "results/historymodel.h"

#include "formats/result/resultdocument.h"
#include "store/results/outbox.h"

namespace {

constexpr int kPage = 128;
constexpr int kPagesKept = 16;

} // namespace

const QList<HistoryModel::Column> &HistoryModel::columns()
{
    using Results::Record;
    static const QList<Column> all {
        { QStringLiteral("测试时间"),
            [](const Record &r) { return ResultDocument::dateText(r.takenAt); } },
        { QStringLiteral("测试项目"), [](const Record &r) { return r.test; } },
        { QStringLiteral("得分"), [](const Record &r) { return r.total; },
            Qt::AlignRight | Qt::AlignVCenter },
        { QStringLiteral("评价"), [](const Record &r) { return r.evaluation; } },
        { QStringLiteral("测试者"), [](const Record &r) { return r.taker; } },
        // Filled from the outbox (data()), for results handed in to a server bank.
        { QStringLiteral("交卷情况"), [](const Record &) { return QString(); } },
    };
    return all;
}

HistoryModel::HistoryModel(const QString &historyPath, QObject *parent)
    : QAbstractTableModel(parent)
    , m_history(historyPath)
{ }

StoreError HistoryModel::load(const QString &test, const QString &taker)
{
    StoreError error;
    beginResetModel();
    m_pages.clear();
    m_states.clear();
    m_ids = m_history.ids(test, taker, &error);
    endResetModel();
    return error;
}

void HistoryModel::prepend(const Results::Record &record)
{
    beginInsertRows({}, 0, 0);
    m_ids.prepend(record.id);
    Results::Record listed = record;
    listed.resultText.clear();
    listed.answers.clear();
    // Every row moved down one: the pages read before no longer start at a page.
    m_pages.clear();
    m_states.clear();
    m_pages.insert(record.id, listed);
    endInsertRows();
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columns().size());
}

const Results::Record *HistoryModel::listed(int row) const
{
    const qint64 id = idAt(row);
    auto at = m_pages.constFind(id);
    if (at != m_pages.constEnd())
        return &*at;
    if (m_pages.size() >= kPage * kPagesKept) {
        m_pages.clear();
        m_states.clear();
    }
    const int first = row / kPage * kPage;
    const QList<qint64> page = m_ids.mid(first, kPage);
    for (Results::Record &r : m_history.listed(page))
        m_pages.insert(r.id, std::move(r));
    const QHash<qint64, Results::Outbox::Entry> handedIn
        = Results::Outbox::entries(m_history.path(), page);
    for (auto e = handedIn.cbegin(); e != handedIn.cend(); ++e)
        m_states.insert(e.key(), Results::Outbox::stateText(e->state));
    // A record deleted by another copy of the program shows as an empty row.
    at = m_pages.constFind(id);
    if (at == m_pages.constEnd()) {
        Results::Record gone;
        gone.id = id;
        at = m_pages.insert(id, gone);
    }
    return &*at;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_ids.size() || index.column() >= columns().size())
        return {};
    const Column &column = columns().at(index.column());
    if (role == Qt::DisplayRole) {
        const Results::Record *r = listed(index.row());
        if (index.column() == handInColumn)
            return m_states.value(r->id);
        return r->takenAt.isValid() ? column.text(*r) : QString();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.alignment);
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= columns().size())
        return {};
    return columns().at(section).heading;
}
