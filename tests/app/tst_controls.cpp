// The shared controls: which keys click a picture button, how a caption is fitted,
// and what a clickable label reports, also while disabled.
#include "app/controls.h"
#include "platform/fonts.h"

#include <QSignalSpy>
#include <QTest>

class tst_controls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutes(); }

    void buttonKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << 1;
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
        QTest::newRow("a letter") << int(Qt::Key_A) << int(Qt::NoModifier) << 0;
    }
    void buttonKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, clicks);
        QWidget window;
        auto *button = new PictureButton(
            QStringLiteral("确定"), QStringLiteral(":/images/btn-ok.svg"), 24, &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicked(button, &QToolButton::clicked);
        // A click gives the button the focus, so the keys reach it afterwards.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), button);
        clicked.clear();
        QTest::keyClick(button, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicked.size(), clicks);
    }

    void buttonFaces()
    {
        QWidget window;
        window.setFont(designFont(QStringLiteral("SimSun"), 9));
        PictureButton bare({}, QStringLiteral(":/images/music-play.svg"), 16, &window);
        QCOMPARE(bare.toolButtonStyle(), Qt::ToolButtonIconOnly);

        // A caption wider than its button takes a smaller face until it fits.
        PictureButton thanks(
            QStringLiteral("谢谢Tovik！"), QStringLiteral(":/images/btn-thanks.svg"), 28, &window);
        QCOMPARE(thanks.toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        thanks.resize(56, 56);
        const qreal before = thanks.font().pointSizeF();
        thanks.fitCaption();
        QVERIFY(thanks.font().pointSizeF() < before);
        QVERIFY(QFontMetrics(thanks.font()).horizontalAdvance(thanks.text()) <= 48);
    }

    void labelReports()
    {
        QWidget window;
        auto *label = new HotLabel(QStringLiteral("退出"), &window);
        label->resize(60, 20);
        label->setForeColor(Qt::blue);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy moves(label, &HotLabel::MouseMove);
        QSignalSpy clicks(label, &HotLabel::Click);
        QCOMPARE(label->cursor().shape(), Qt::BitmapCursor);

        QTest::mouseMove(label, QPoint(5, 5));
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::mouseClick(label, Qt::RightButton);
        QCOMPARE(clicks.size(), 1);
        QVERIFY(moves.size() >= 1);

        // Disabled: no reports, and the text greys out instead of keeping its colour.
        label->setEnabled(false);
        moves.clear();
        clicks.clear();
        QTest::mouseMove(label, QPoint(8, 8));
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(moves.size() + clicks.size(), 0);
        QCOMPARE(label->ForeColor(), QColor(Qt::blue));
        QVERIFY(label->palette().color(QPalette::WindowText) != QColor(Qt::blue));
    }
};

QTEST_MAIN(tst_controls)
#include "tst_controls.moc"
