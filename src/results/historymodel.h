#pragma once

#include "store/results/history.h"

#include <QAbstractTableModel>
#include <QHash>
#include <functional>

// The records a history list shows, newest first. Only their ids are held; the listed
// fields of a record are read with those of its page when the list first shows one of
// them, and a few pages are kept. A column is one row of columns(): a heading and what
// the column shows of a record.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString heading;
        std::function<QString(const Results::Record &)> text;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };
    static const QList<Column> &columns();
    // What became of a result handed in to a server bank.
    static constexpr int handInColumn = 5;

    explicit HistoryModel(const QString &historyPath, QObject *parent = nullptr);

    // Lists the records of the test and taker (every test, every taker when empty).
    StoreError load(const QString &test, const QString &taker = {});
    // A record just stored, newest of all, put first.
    void prepend(const Results::Record &record);

    const QList<qint64> &ids() const { return m_ids; }
    qint64 idAt(int row) const { return row >= 0 && row < m_ids.size() ? m_ids.at(row) : 0; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const Results::Record *listed(int row) const;

    Results::History m_history;
    QList<qint64> m_ids;
    mutable QHash<qint64, Results::Record> m_pages; // the listed fields of the pages read
    mutable QHash<qint64, QString> m_states; // their outbox states, where handed in
};
