// Random sequences of record-set operations, run on a Data bound to a real table
// with real boxes and, side by side, on a plain model of the nine rules. After every
// step the position, the count, what the boxes show, the error returned and the rows
// in the file must agree.

#include "base/valuerules.h"
#include "binding/Data.h"
#include "store/catalogue.h"
#include "support/testfolder.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextEdit>

using namespace Qt::StringLiterals;

namespace {

// The scoring table: two Single fields and one Memo field.
const QStringList kFields = { u"分数下限"_s, u"分数上限"_s, u"评价"_s };
const QList<bool> kSingle = { true, true, false };

// The rules, written out plainly.
class Model
{
public:
    enum class At { Record, Before, After, Deleted };

    QList<QStringList> rows; // stored rows as the boxes show them
    At at = At::Before;
    int cur = 0; // Record: index; Deleted: index of the record after the deleted one
    bool adding = false;
    At addAt = At::Before;
    int addCur = 0;
    QStringList boxes = { {}, {}, {} };
    QList<bool> changed = { false, false, false };

    void open()
    {
        adding = false;
        at = rows.isEmpty() ? At::Before : At::Record;
        cur = 0;
        land();
    }

    int position() const { return !adding && at == At::Record ? cur : -1; }

    void land()
    {
        for (int i = 0; i < 3; ++i) {
            boxes[i] = !adding && at == At::Record ? rows[cur][i] : QString();
            changed[i] = false;
        }
    }

    // The stored form of a box's text, or the error that refuses it.
    static int normalise(int field, const QString &text, QString *out)
    {
        if (!kSingle[field] || text.trimmed().isEmpty()) {
            *out = kSingle[field] ? QString() : text;
            return 0;
        }
        double v = 0;
        if (!parseNumber(text, &v))
            return StoreError::NotANumber;
        if (!std::isfinite(float(v)))
            return StoreError::NumberOutOfRange;
        *out = singleText(float(v));
        return 0;
    }

    bool anyChanged() const { return changed.contains(true); }

    // Rule 6. Returns an error number; *landed when a new record was stored or dropped.
    int commit(bool *landed)
    {
        *landed = false;
        if (adding && !anyChanged()) {
            adding = false;
            *landed = true;
            return 0;
        }
        if (!adding && (at != At::Record || !anyChanged()))
            return 0;
        QStringList row = adding ? QStringList { {}, {}, {} } : rows[cur];
        for (int i = 0; i < 3; ++i) {
            if (!changed[i])
                continue;
            if (const int e = normalise(i, boxes[i], &row[i]))
                return e;
        }
        if (adding) {
            rows.append(row);
            adding = false;
            *landed = true;
            if (addAt == At::Record) {
                at = At::Record;
                cur = addCur;
            } else {
                at = At::Record;
                cur = int(rows.size()) - 1;
            }
        } else {
            rows[cur] = row;
        }
        return 0;
    }

    int move(int how) // 0 first, 1 last, 2 next, 3 previous
    {
        bool landed = false;
        if (const int e = commit(&landed))
            return e;
        const int n = int(rows.size());
        bool ok = n > 0;
        At to = at;
        int index = cur;
        if (ok && how == 0) {
            to = At::Record;
            index = 0;
        } else if (ok && how == 1) {
            to = At::Record;
            index = n - 1;
        } else if (ok && how == 2) {
            if (at == At::Record)
                to = cur + 1 < n ? At::Record : At::After, index = cur + 1;
            else if (at == At::Before)
                to = At::Record, index = 0;
            else if (at == At::Deleted)
                to = cur < n ? At::Record : At::After;
            else
                ok = false;
        } else if (ok && how == 3) {
            if (at == At::Record)
                to = cur > 0 ? At::Record : At::Before, index = cur - 1;
            else if (at == At::After)
                to = At::Record, index = n - 1;
            else if (at == At::Deleted)
                to = cur > 0 ? At::Record : At::Before, index = cur - 1;
            else
                ok = false;
        }
        if (!ok) {
            if (landed)
                land();
            return StoreError::NoCurrentRecord;
        }
        at = to;
        cur = index;
        land();
        return 0;
    }

    int addNew()
    {
        bool landed = false;
        if (const int e = commit(&landed))
            return e;
        adding = true;
        addAt = at;
        addCur = cur;
        land();
        return 0;
    }

    int update()
    {
        if (!adding && at != At::Record)
            return StoreError::NoCurrentRecord;
        if (!anyChanged())
            return StoreError::NothingPending;
        bool landed = false;
        if (const int e = commit(&landed))
            return e;
        land();
        return 0;
    }

    int remove()
    {
        if (adding) {
            adding = false;
            at = At::Deleted;
            cur = int(rows.size());
            land();
            return 0;
        }
        if (at != At::Record)
            return StoreError::NoCurrentRecord;
        rows.removeAt(cur);
        at = At::Deleted;
        land();
        return 0;
    }

    int find(int field, const QString &value)
    {
        bool landed = false;
        if (const int e = commit(&landed)) {
            return e;
        }
        QString wanted;
        const bool number = normalise(field, value, &wanted) == 0;
        for (int i = 0; number && i < rows.size(); ++i) {
            if (rows[i][field] == wanted) {
                at = At::Record;
                cur = i;
                land();
                return 0;
            }
        }
        at = At::Before;
        cur = 0;
        land();
        return StoreError::NotFound;
    }

    int refresh()
    {
        bool landed = false;
        if (const int e = commit(&landed))
            return e;
        open();
        return 0;
    }

    // Closing the window and opening the table again: a refused change is lost.
    int reopen()
    {
        bool landed = false;
        const int e = commit(&landed);
        adding = false;
        open();
        return e;
    }

    void type(int field, const QString &text)
    {
        if (boxes[field] != text)
            changed[field] = true;
        boxes[field] = text;
    }
};

QString pick(QRandomGenerator &random, const QStringList &from)
{
    return from.at(random.bounded(int(from.size())));
}

} // namespace

class tst_recordset_model : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithTheModel_data();
    void agreesWithTheModel();
};

void tst_recordset_model::agreesWithTheModel_data()
{
    QTest::addColumn<quint32>("start");
    QTest::addColumn<int>("initialRows");
    for (quint32 start : { 1u, 7u, 42u, 2024u, 31337u })
        QTest::addRow("fixed random start %u", start) << start << int(start % 4);
}

void tst_recordset_model::agreesWithTheModel()
{
    QFETCH(quint32, start);
    QFETCH(int, initialRows);

    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    const QString table = u"T评分"_s;
    Model model;
    for (int i = 0; i < initialRows; ++i) {
        const QStringList row
            = { QString::number(i * 10), QString::number(i * 10 + 9), u"第%1档"_s.arg(i) };
        folder.addRows(table, { row });
        model.rows.append(row);
    }

    QWidget window;
    auto *lower = new QLineEdit(&window);
    auto *upper = new QLineEdit(&window);
    auto *text = new QTextEdit(&window);
    auto *data = new Data(&window);
    data->bind(lower, kFields[0]);
    data->bind(upper, kFields[1]);
    data->bind(text, kFields[2]);
    data->setDatabaseName(folder.bank());
    data->setRecordSource(table);
    QVERIFY(!data->Refresh());
    model.open();
    Recordset &rs = data->recordset();

    const QStringList numbers = { u""_s, u"0"_s, u"2.5"_s, u"0.1"_s, u"30"_s, u"-7"_s, u" 12 "_s,
        u"1e3"_s, u"59.5"_s, u"16777217"_s };
    const QStringList refused = { u"abc"_s, u"1.2.3"_s, u"-"_s, u"1e40"_s };
    const QStringList texts = { u""_s, u" "_s, u"好"_s, u"it's \"ok\""_s, u"多行\n文字"_s };

    QRandomGenerator random(start);
    QString log;
    for (int step = 0; step < 2000; ++step) {
        const int op = random.bounded(100);
        int expected = 0;
        int actual = 0;
        QString what;
        if (op < 30) {
            const int field = random.bounded(3);
            const QString value = kSingle[field]
                ? (random.bounded(10) == 0 ? pick(random, refused) : pick(random, numbers))
                : pick(random, texts);
            what = u"type %1 '%2'"_s.arg(field).arg(value);
            model.type(field, value);
            if (field == 2)
                text->setPlainText(value);
            else
                (field == 0 ? lower : upper)->setText(value);
        } else if (op < 60) {
            const int how = random.bounded(4);
            what = u"move %1"_s.arg(how);
            expected = model.move(how);
            const StoreError e = how == 0 ? rs.MoveFirst()
                : how == 1                ? rs.MoveLast()
                : how == 2                ? rs.MoveNext()
                                          : rs.MovePrevious();
            actual = e.number();
        } else if (op < 72) {
            what = u"add new"_s;
            expected = model.addNew();
            actual = rs.AddNew().number();
        } else if (op < 80) {
            what = u"update"_s;
            expected = model.update();
            actual = rs.Update().number();
        } else if (op < 87) {
            what = u"delete"_s;
            expected = model.remove();
            actual = rs.Delete().number();
        } else if (op < 94) {
            const int field = random.bounded(3);
            QString value = kSingle[field] ? pick(random, numbers) : pick(random, texts);
            if (!model.rows.isEmpty() && random.bounded(2))
                value = model.rows[random.bounded(int(model.rows.size()))][field];
            what = u"find %1 '%2'"_s.arg(field).arg(value);
            expected = model.find(field, value);
            actual = rs.FindFirst(kFields[field], value).number();
        } else if (op < 98) {
            what = u"refresh"_s;
            expected = model.refresh();
            actual = data->Refresh().number();
        } else {
            what = u"close and open"_s;
            expected = model.reopen();
            actual = data->Unload().number();
            QVERIFY(!data->Refresh());
        }
        log = u"step %1: %2"_s.arg(step).arg(what);
        if (qEnvironmentVariableIsSet("MODEL_TRACE"))
            qDebug("%s -> %d/%d pos %d/%d", qPrintable(log), actual, expected,
                rs.AbsolutePosition(), model.position());
        const QByteArray where = log.toUtf8();

        QVERIFY2(actual == expected,
            where + " error " + QByteArray::number(actual) + " expected "
                + QByteArray::number(expected));
        QVERIFY2(rs.AbsolutePosition() == model.position(),
            where + " position " + QByteArray::number(rs.AbsolutePosition()) + " expected "
                + QByteArray::number(model.position()));
        QVERIFY2(rs.RecordCount() == model.rows.size(), where + " count");
        QVERIFY2(rs.isAdding() == model.adding, where + " adding");
        const QStringList shown = { lower->text(), upper->text(), text->toPlainText() };
        QVERIFY2(shown == model.boxes,
            where + " boxes " + shown.join(u'|').toUtf8() + " expected "
                + model.boxes.join(u'|').toUtf8());
        QVERIFY2(folder.rows(table) == model.rows, where + " stored rows");
    }
}

QTEST_MAIN(tst_recordset_model)
#include "tst_recordset_model.moc"
