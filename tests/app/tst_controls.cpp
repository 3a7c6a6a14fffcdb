// The shared controls: which keys click a picture button, how a caption is fitted,
// and what a clickable label reports, also while disabled.
#include "base/fonts.h"
#include "forms/controls.h"

#include <QAccessible>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <memory>

class tst_controls : public QObject
{
    Q_OBJECT

private slots:
    // A background picture read at the size that it covers: that size or larger in one
    // direction, cut from the whole picture (its middle shows what the full picture
    // scaled down shows there), and nothing for no picture or no room.
    void coverPictureCoversItsSize_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("drawn");
        const QString background = QStringLiteral(":/images/background.jpg");
        QTest::newRow("the main window") << background << QSize(1018, 690) << true;
        QTest::newRow("narrow and tall") << background << QSize(200, 900) << true;
        QTest::newRow("larger than the picture") << background << QSize(1600, 1300) << true;
        QTest::newRow("the runner")
            << QStringLiteral(":/images/runner.jpg") << QSize(569, 496) << true;
        QTest::newRow("no room") << background << QSize(0, 400) << false;
        QTest::newRow("no picture")
            << QStringLiteral(":/images/none.jpg") << QSize(100, 100) << false;
    }

    void coverPictureCoversItsSize()
    {
        QFETCH(QString, resource);
        QFETCH(QSize, size);
        QFETCH(bool, drawn);
        const QPixmap picture = coverPicture(resource, size);
        QCOMPARE(!picture.isNull(), drawn);
        if (!drawn)
            return;
        const QImage full(resource);
        const QImage scaled
            = full.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        QCOMPARE(picture.size(), scaled.size());
        QVERIFY(picture.width() == size.width() || picture.height() == size.height());
        const QPoint middle(scaled.width() / 2, scaled.height() / 2);
        const QColor mine = picture.toImage().pixelColor(middle);
        const QColor theirs = scaled.pixelColor(middle);
        QVERIFY2(qAbs(mine.red() - theirs.red()) + qAbs(mine.green() - theirs.green())
                    + qAbs(mine.blue() - theirs.blue())
                < 60,
            qPrintable(mine.name() + u' ' + theirs.name()));
    }

    void initTestCase() { installFontSubstitutes(); }

    // The keys that click a picture button, and a hot label that takes the focus.
    void buttonKeys_data()
    {
        QTest::addColumn<bool>("label");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("clicks");
        for (const bool label : { false, true }) {
            const char *kind = label ? "label, " : "button, ";
            const auto row = [&](const char *name, int key, int modifiers, int clicks) {
                QTest::newRow((QByteArray(kind) + name).constData())
                    << label << key << modifiers << clicks;
            };
            row("Return", Qt::Key_Return, Qt::NoModifier, 1);
            row("keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, 1);
            row("Space", Qt::Key_Space, Qt::NoModifier, 1);
            row("Ctrl+Return", Qt::Key_Return, Qt::ControlModifier, 0);
            row("a letter", Qt::Key_A, Qt::NoModifier, 0);
        }
    }
    void buttonKeys()
    {
        QFETCH(bool, label);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, clicks);
        QWidget window;
        QWidget *control;
        std::unique_ptr<QSignalSpy> clicked;
        if (label) {
            auto *hot = new HotLabel(QStringLiteral("退出"), &window);
            hot->setFocusPolicy(Qt::TabFocus);
            clicked = std::make_unique<QSignalSpy>(hot, &HotLabel::Click);
            control = hot;
        } else {
            auto *button = new PictureButton(
                QStringLiteral("确定"), QStringLiteral(":/images/btn-ok.svg"), 24, &window);
            clicked = std::make_unique<QSignalSpy>(button, &QToolButton::clicked);
            control = button;
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        control->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), control);
        QTest::keyClick(control, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicked->size(), clicks);
    }

    // A double click is one click (the second press is the double click itself), on
    // every kind of clickable control; a plain tool button shows the sequence is real.
    void doubleClickIsOneClick_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("clicks");
        QTest::newRow("hot label") << 0 << 1;
        QTest::newRow("picture button") << 1 << 1;
        QTest::newRow("plain tool button") << 2 << 2;
    }
    void doubleClickIsOneClick()
    {
        QFETCH(int, kind);
        QFETCH(int, clicks);
        QWidget window;
        QWidget *control;
        std::unique_ptr<QSignalSpy> clicked;
        if (kind == 0) {
            auto *hot = new HotLabel(QStringLiteral("当场沉下脸"), &window);
            clicked = std::make_unique<QSignalSpy>(hot, &HotLabel::Click);
            control = hot;
        } else {
            auto *button = kind == 1 ? new PictureButton(QStringLiteral("确定"),
                               QStringLiteral(":/images/btn-ok.svg"), 24, &window)
                                     : new QToolButton(&window);
            clicked = std::make_unique<QSignalSpy>(button, &QToolButton::clicked);
            control = button;
        }
        control->resize(80, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // A double click arrives as a click, then the double click and its release.
        QTest::mouseClick(control, Qt::LeftButton);
        QTest::mouseDClick(control, Qt::LeftButton);
        QTest::mouseRelease(control, Qt::LeftButton);
        QCOMPARE(clicked->size(), clicks);
    }

    // A screen reader sees a hot label as a push button named by its text, and its
    // press action is offered and clicks it only while it is shown and enabled.
    void hotLabelForScreenReaders()
    {
        QWidget window;
        auto *label = new HotLabel(QStringLiteral("当场沉下脸，数落对方不守时"), &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicks(label, &HotLabel::Click);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(label);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Button);
        QCOMPARE(a->text(QAccessible::Name), label->text());
        QAccessibleActionInterface *actions = a->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks.size(), 1);
        const auto offered = [actions] {
            return actions->actionNames().contains(QAccessibleActionInterface::pressAction());
        };
        label->setEnabled(false);
        QVERIFY(!offered());
        actions->doAction(QAccessibleActionInterface::pressAction());
        label->setEnabled(true);
        label->hide();
        QVERIFY(!offered());
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks.size(), 1);
        label->show();
        QVERIFY(offered());

        // A button with its picture alone goes by its tool tip.
        PictureButton bare({}, QStringLiteral(":/images/music-play.svg"), 16, &window);
        bare.setToolTip(QStringLiteral("播放"));
        QCOMPARE(QAccessible::queryAccessibleInterface(&bare)->text(QAccessible::Name),
            QStringLiteral("播放"));
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
