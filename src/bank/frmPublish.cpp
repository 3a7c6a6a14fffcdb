#include "bank/frmPublish.h"

#include "base/currentbank.h"
#include "base/fonts.h"
#include "forms/controls.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/banknews.h"
#include "store/classroom.h"

#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

const QString anonymousKeeps = QStringLiteral(
    "匿名测试的结果不记答题者的名字，也不记时间，只记哪一天；另有一份名单记下谁在哪一天做完了"
    "这个测试，但从名单上找不到他的结果。你能看到每个结果的总分、评价和所选的答案，"
    "看不到是谁做的。");

} // namespace

frmPublish::frmPublish()
    : Form(QStringLiteral("Qelvi——发布测试"), 7200, 4920)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    List1 = new QTreeWidget(this);
    List1->setGeometry(twipsRect(120, 120, 6960, 3000));
    List1->setRootIsDecorated(false);
    List1->setAllColumnsShowFocus(true);
    List1->setHeaderLabels({ QStringLiteral("测试类"), QStringLiteral("测试项目"),
        QStringLiteral("发布"), QStringLiteral("匿名"), QStringLiteral("版本") });
    List1->setAccessibleName(QStringLiteral("测试项目"));
    List1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    Label1 = new QLabel(anonymousKeeps, this);
    Label1->setGeometry(twipsRect(120, 3240, 6960, 720));
    Label1->setWordWrap(true);

    Command1 = new PictureButton(
        QStringLiteral("退出"), QStringLiteral(":/images/btn-exit.svg"), 24, this);
    Command1->setGeometry(twipsRect(3234, 4080, 732, 732));

    chainTabOrder({ List1, Command1 });
    connect(List1, &QTreeWidget::itemChanged, this, &frmPublish::List1_Change);
    connect(Command1, &QToolButton::clicked, this, &frmPublish::Command1_Click);
    connect(BankNews::instance(), &BankNews::changed, this, [this](const QString &location) {
        if (location == currentBank())
            Refresh();
    });
}

void frmPublish::Form_Load()
{
    Refresh();
    List1->setFocus();
}

void frmPublish::Refresh()
{
    QList<Classroom::TestState> tests;
    if (const StoreError e = Classroom::tests(currentBank(), &tests)) {
        msgBox(e.message());
        return;
    }
    const QTreeWidgetItem *current = List1->currentItem();
    const QString selected = current ? current->text(TestColumn) : QString();
    const QSignalBlocker blocker(List1);
    List1->clear();
    for (const Classroom::TestState &t : std::as_const(tests)) {
        auto *item = new QTreeWidgetItem(
            List1, { t.category, t.test, {}, {}, QStringLiteral("第%1版").arg(t.version) });
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(PublishedColumn, t.published ? Qt::Checked : Qt::Unchecked);
        item->setCheckState(AnonymousColumn, t.anonymous ? Qt::Checked : Qt::Unchecked);
        if (t.test == selected)
            List1->setCurrentItem(item);
    }
}

// A tick stores at once; one that cannot be stored is told and put back.
void frmPublish::List1_Change(QTreeWidgetItem *item, int column)
{
    if (column != PublishedColumn && column != AnonymousColumn)
        return;
    const bool on = item->checkState(column) == Qt::Checked;
    const QString test = item->text(TestColumn);
    const StoreError e = column == PublishedColumn
        ? Classroom::setPublished(currentBank(), test, on)
        : Classroom::setAnonymous(currentBank(), test, on);
    if (e)
        msgBox(e.message());
    Refresh();
}

void frmPublish::Command1_Click()
{
    Unload();
}
