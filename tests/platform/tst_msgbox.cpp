// The real message box, as a user meets it: a dialog titled "Qelvi" with the buttons of
// its style and no way to minimise or maximise it (a minimised box would hide the
// program and still hold it): minimised all the same, it comes straight back.
#include "platform/msgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class tst_msgbox : public QObject
{
    Q_OBJECT

private slots:
    void boxIsAPlainDialog_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("answer"); // the button pressed, by its place
        QTest::addColumn<int>("expected");
        QTest::newRow("notice") << int(MsgStyle::Information) << QStringList { "OK" }
                                << int(QMessageBox::Information) << 0 << int(MsgAnswer::Ok);
        QTest::newRow("question, yes") << int(MsgStyle::Question) << QStringList { "&Yes", "&No" }
                                       << int(QMessageBox::Question) << 0 << int(MsgAnswer::Yes);
        QTest::newRow("question, no") << int(MsgStyle::Question) << QStringList { "&Yes", "&No" }
                                      << int(QMessageBox::Question) << 1 << int(MsgAnswer::No);
    }
    void boxIsAPlainDialog()
    {
        QFETCH(int, style);
        QFETCH(QStringList, buttons);
        QFETCH(int, icon);
        QFETCH(int, answer);
        QFETCH(int, expected);
        QWidget main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.activateWindow();
        bool seen = false;
        Qt::WindowFlags flags;
        QString title;
        int shownIcon = -1;
        QStringList texts;
        bool restored = false;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = true;
            flags = box->windowFlags();
            title = box->windowTitle();
            shownIcon = int(box->icon());
            QList<QAbstractButton *> shown = box->buttons();
            std::sort(shown.begin(), shown.end(), [&](QAbstractButton *a, QAbstractButton *b) {
                return box->buttonRole(a) < box->buttonRole(b);
            });
            for (QAbstractButton *b : shown)
                texts << b->text();
            // Minimised (a window manager may offer that anyway), it comes back.
            box->setWindowState(Qt::WindowMinimized);
            QTRY_VERIFY(!box->isMinimized() && box->isVisible());
            restored = true;
            if (answer < shown.size())
                shown[answer]->click();
        });
        const MsgAnswer got = msgBox(QStringLiteral("要删除这道题吗？"), MsgStyle(style));
        QVERIFY(seen);
        QCOMPARE(title, QStringLiteral("Qelvi"));
        QCOMPARE(shownIcon, icon);
        QCOMPARE(texts, buttons);
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(restored);
        QCOMPARE(int(got), expected);
    }
};

QTEST_MAIN(tst_msgbox)
#include "tst_msgbox.moc"
