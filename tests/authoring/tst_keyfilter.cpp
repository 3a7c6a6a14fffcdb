// The numeric key filter of the score and bound boxes, and the character codes the
// editors' key handling reads from key presses.
#include "authoring/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

class tst_keyfilter : public QObject
{
    Q_OBJECT

private slots:
    void filterPassesControlCodesAndTwelveCharacters()
    {
        const QString twelve = QStringLiteral("0123456789.-");
        int passed = 0;
        for (int code = 0; code <= 0x10ffff; ++code) {
            const int out = numericKeyFilter(code);
            const bool expectPass = code <= 26 || twelve.contains(QChar(char16_t(code)));
            if (code > 0xffff) {
                QCOMPARE(out, 0);
                continue;
            }
            if (out != (expectPass ? code : 0))
                QFAIL(qPrintable(QStringLiteral("code %1 gave %2").arg(code).arg(out)));
            passed += out != 0;
        }
        QCOMPARE(passed, 26 + 12); // code 0 passes as itself
        // Characters whose code is negative as a 16-bit number are not let through.
        QCOMPARE(numericKeyFilter(0x8bd5), 0);
        QCOMPARE(numericKeyFilter(0xff10), 0); // full-width digit zero
    }

    void typedCodes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code"); // -1: types nothing
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << "\r" << 13;
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "\r" << 13;
        QTest::newRow("Ctrl+Enter") << int(Qt::Key_Return) << ctrl << "" << 10;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << "\b" << 8;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << 0 << "\x1b" << 27;
        QTest::newRow("Ctrl+N, no text") << int(Qt::Key_N) << ctrl << "" << 14;
        QTest::newRow("Ctrl+N, control text") << int(Qt::Key_N) << ctrl << "\x0e" << 14;
        QTest::newRow("Ctrl+]") << int(Qt::Key_BracketRight) << ctrl << "\x1d" << 29;
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << ctrl << "\x16" << 22;
        QTest::newRow("Ctrl+Alt+N")
            << int(Qt::Key_N) << int(ctrl | Qt::AltModifier) << "n" << int('n');
        QTest::newRow("plus") << int(Qt::Key_Plus) << 0 << "+" << 43;
        QTest::newRow("keypad plus") << int(Qt::Key_Plus) << int(Qt::KeypadModifier) << "+" << 43;
        QTest::newRow("letter") << int(Qt::Key_A) << int(Qt::ShiftModifier) << "A" << 65;
        QTest::newRow("Chinese") << int(Qt::Key_unknown) << 0 << "分" << 0x5206;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << "\x7f" << -1;
        QTest::newRow("Left") << int(Qt::Key_Left) << 0 << "" << -1;
        QTest::newRow("F1") << int(Qt::Key_F1) << 0 << "" << -1;
        QTest::newRow("Shift") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << "" << -1;
    }
    void typedCodes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(int, code);
        const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
        const std::optional<int> typed = typedCode(&event);
        QCOMPARE(typed.value_or(-1), code);
    }

    void filterOnABox()
    {
        QLineEdit box;
        installNumericKeyFilter(&box);
        QVERIFY(!box.testAttribute(Qt::WA_InputMethodEnabled));
        QTest::keyClicks(&box, QStringLiteral("-1a2 .5e+3,x"));
        QCOMPARE(box.text(), QStringLiteral("-12.53"));
        // Editing keys still work: Backspace, Delete, the arrows, select and cut.
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClick(&box, Qt::Key_Home);
        QTest::keyClick(&box, Qt::Key_Delete);
        QTest::keyClick(&box, Qt::Key_Right);
        QTest::keyClick(&box, Qt::Key_0);
        QCOMPARE(box.text(), QStringLiteral("102.5"));
        QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(box.text(), QString());
    }
};

QTEST_MAIN(tst_keyfilter)
#include "tst_keyfilter.moc"
