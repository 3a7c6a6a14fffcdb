// The tests' way of finding a control as a user does, by what it is called: which
// control each caption finds in a window of every kind of control, that a press or
// typing reaches it, and that a caption naming no control, or two, fails the test.
#include "forms/controls.h"
#include "support/userinput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace userinput;

namespace {

// A window with a control of every kind the windows have, by caption.
struct Window
{
    Window()
    {
        auto add = [&](QWidget *w, int row) {
            w->setGeometry(10, 10 + 30 * row, 180, 26);
            return w;
        };
        ok = static_cast<QPushButton *>(add(new QPushButton(QStringLiteral("确定(&O)"), &top), 0));
        ok->setToolTip(QStringLiteral("确定这个名称"));
        picture = static_cast<PictureButton *>(
            add(new PictureButton(
                    QStringLiteral("添加"), QStringLiteral(":/images/btn-add.svg"), 20, &top),
                1));
        tipOnly = static_cast<PictureButton *>(add(
            new PictureButton(QString(), QStringLiteral(":/images/btn-help.svg"), 20, &top), 2));
        tipOnly->setToolTip(QStringLiteral("求助"));
        hot = static_cast<HotLabel *>(add(new HotLabel(QStringLiteral("退出"), &top), 3));
        check = static_cast<QCheckBox *>(
            add(new QCheckBox(QStringLiteral("允许返回上一题"), &top), 4));
        auto *label = static_cast<QLabel *>(add(new QLabel(QStringLiteral("名称："), &top), 5));
        name = static_cast<QLineEdit *>(add(new QLineEdit(&top), 6));
        label->setBuddy(name);
        named = static_cast<QLineEdit *>(add(new QLineEdit(&top), 7));
        named->setAccessibleName(QStringLiteral("说明"));
        combo = static_cast<QComboBox *>(add(new QComboBox(&top), 8));
        combo->setAccessibleName(QStringLiteral("测试类"));
        combo->addItems({ QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙") });
        // Two of one caption, one of them hidden: the hidden one is no one's to press.
        twin = static_cast<QPushButton *>(add(new QPushButton(QStringLiteral("删除"), &top), 9));
        hiddenTwin = new QPushButton(QStringLiteral("删除"), &top);
        hiddenTwin->hide();
        top.setWindowTitle(QStringLiteral("窗口"));
        top.resize(420, 330);
        top.show();
    }

    QWidget top;
    QPushButton *ok, *twin, *hiddenTwin;
    PictureButton *picture, *tipOnly;
    HotLabel *hot;
    QCheckBox *check;
    QLineEdit *name, *named;
    QComboBox *combo;
};

} // namespace

class tst_userinput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        window = std::make_unique<Window>();
        QVERIFY(QTest::qWaitForWindowExposed(&window->top));
    }
    void cleanupTestCase() { window.reset(); }

    void findsByCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<QString>("found"); // the object name given to it below
        QTest::newRow("push button, its & mark dropped") << "确定(O)" << false << "ok";
        QTest::newRow("picture button") << "添加" << false << "picture";
        QTest::newRow("picture alone, by its tip") << "求助" << false << "tipOnly";
        QTest::newRow("hot label") << "退出" << false << "hot";
        QTest::newRow("a captioned button by its tip") << "确定这个名称" << false << "ok";
        QTest::newRow("check box") << "允许返回上一题" << false << "check";
        QTest::newRow("box by the label it is the buddy of") << "名称：" << true << "name";
        QTest::newRow("box by its accessible name") << "说明" << true << "named";
        QTest::newRow("combo") << "测试类" << true << "combo";
        QTest::newRow("a hidden twin does not count") << "删除" << false << "twin";
        QTest::newRow("a label is nothing to press") << "名称：" << false << "";
        QTest::newRow("a button is nothing to type into") << "添加" << true << "";
        QTest::newRow("the caption as typed, & and all") << "确定(&O)" << false << "";
        QTest::newRow("part of a caption") << "允许" << false << "";
    }

    void findsByCaption()
    {
        QFETCH(QString, caption);
        QFETCH(bool, editable);
        QFETCH(QString, found);
        const std::pair<const char *, QWidget *> names[] = { { "ok", window->ok },
            { "picture", window->picture }, { "tipOnly", window->tipOnly }, { "hot", window->hot },
            { "check", window->check }, { "name", window->name }, { "named", window->named },
            { "combo", window->combo }, { "twin", window->twin } };
        const QList<QWidget *> got
            = controlsCalled(&window->top, caption, editable ? Kind::Editable : Kind::Pressable);
        QStringList gotNames;
        for (QWidget *w : got)
            for (const auto &[n, widget] : names)
                if (widget == w)
                    gotNames << QString::fromLatin1(n);
        QCOMPARE(gotNames.size(), got.size()); // nothing found beyond the listed controls
        QCOMPARE(gotNames, found.isEmpty() ? QStringList() : QStringList { found });
    }

    // A press clicks as the mouse does, typing replaces the text, a pick goes by keys.
    void pressesTypesAndPicks()
    {
        QSignalSpy picture(window->picture, &QAbstractButton::clicked);
        QSignalSpy hot(window->hot, &HotLabel::Click);
        QSignalSpy twin(window->twin, &QAbstractButton::clicked);
        QSignalSpy hiddenTwin(window->hiddenTwin, &QAbstractButton::clicked);
        QVERIFY(press(&window->top, u"添加"));
        QVERIFY(press(&window->top, u"退出"));
        QVERIFY(press(&window->top, u"删除"));
        QCOMPARE(picture.size(), 1);
        QCOMPARE(hot.size(), 1);
        QCOMPARE(twin.size(), 1);
        QCOMPARE(hiddenTwin.size(), 0);

        // A wide check box is clicked on its box, not in the empty middle of its width.
        window->check->setGeometry(10, 130, 400, 26);
        QVERIFY(!window->check->isChecked());
        QVERIFY(press(&window->top, u"允许返回上一题"));
        QVERIFY(window->check->isChecked());

        window->name->setText(QStringLiteral("旧的"));
        QVERIFY(type(&window->top, u"名称：", QStringLiteral("新 name")));
        QCOMPARE(window->name->text(), QStringLiteral("新 name"));
        QCOMPARE(QApplication::focusWidget(), window->name);

        QVERIFY(pick(&window->top, u"测试类", QStringLiteral("丙")));
        QCOMPARE(window->combo->currentText(), QStringLiteral("丙"));
        QVERIFY(pick(&window->top, u"测试类", QStringLiteral("甲")));
        QCOMPARE(window->combo->currentIndex(), 0);
    }

    // Nothing found, or two found, fails the test where the caption was asked for.
    void failsLoudly_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("step"); // 0 press, 1 type, 2 pick 丁
        QTest::newRow("no such caption") << "保存" << 0;
        QTest::newRow("two shown") << "重名" << 0;
        QTest::newRow("a hidden control only") << "隐藏" << 0;
        QTest::newRow("no such box") << "备注" << 1;
        QTest::newRow("an entry the combo does not list") << "测试类" << 2;
    }

    void failsLoudly()
    {
        QFETCH(QString, caption);
        QFETCH(int, step);
        QPushButton one(QStringLiteral("重名"), &window->top);
        QPushButton other(QStringLiteral("重名"), &window->top);
        QPushButton hidden(QStringLiteral("隐藏"), &window->top);
        one.show();
        other.show();
        QSignalSpy clicks(&one, &QAbstractButton::clicked);
        QSignalSpy otherClicks(&other, &QAbstractButton::clicked);
        const QString text = window->name->text();
        const int entry = window->combo->currentIndex();

        QEXPECT_FAIL("", "the caption finds no single control", Continue);
        bool done = false;
        if (step == 0)
            done = press(&window->top, caption);
        else if (step == 1)
            done = type(&window->top, caption, QStringLiteral("x"));
        else
            done = pick(&window->top, caption, QStringLiteral("丁"));
        QVERIFY(!done);
        QCOMPARE(clicks.size() + otherClicks.size(), 0);
        QCOMPARE(window->name->text(), text);
        QCOMPARE(window->combo->currentIndex(), entry);
    }

private:
    std::unique_ptr<Window> window;
};

QTEST_MAIN(tst_userinput)
#include "tst_userinput.moc"
