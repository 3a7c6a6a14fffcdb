#pragma once

// What the tests of the category editor, the new-test dialog and the chooser do as a
// user: click and double-click list entries, pick a combo entry with the keys, press
// buttons. Plus the bank read as one column.

#include "bank/bankui.h"
#include "bank/frmBFEdit.h"
#include "binding/DBCombo.h"
#include "binding/DBList.h"
#include "forms/forms.h"
#include "platform/twips.h"
#include "support/testfolder.h"
#include "support/userinput.h"

#include <QLineEdit>

namespace bankwindows {

using namespace userinput;

inline QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

inline QStringList entries(const QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

inline QPoint entryCentre(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return {};
    list->scrollToItem(found.first());
    return list->visualItemRect(found.first()).center();
}

// Clicks the entry with exactly that text; false when it is not listed.
inline bool clickEntry(QListWidget *list, const QString &text)
{
    if (list->findItems(text, Qt::MatchExactly).isEmpty())
        return false;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entryCentre(list, text));
    return true;
}

inline bool doubleClickEntry(QListWidget *list, const QString &text)
{
    if (list->findItems(text, Qt::MatchExactly).isEmpty())
        return false;
    const QPoint at = entryCentre(list, text);
    // A double click arrives as a click, then the double click and its release.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    return true;
}

// In the chooser that is open, picks the category and the test as a user does and
// confirms them with 确定; false when there is no chooser or it does not list them.
inline bool chooseTest(const QString &category, const QString &test)
{
    frmBFEdit *chooser = Forms::find<frmBFEdit>();
    if (!chooser || !pick(chooser, u"测试项目分类：", category)
        || !clickEntry(chooser->DBList1, test))
        return false;
    return press(chooser, u"确定");
}

// One field of every row of a table, in stored order.
inline QStringList column(const TestFolder &folder, const QString &table, int field = 0)
{
    QStringList out;
    for (const QStringList &row : folder.rows(table))
        out << row.value(field);
    return out;
}

// The frame a window gets when it is opened at width x height twips on the main
// window's outer size with divisor k. The window keeps its design client area, so its
// outer size may differ from the one asked by the few pixels of this toolkit's frame:
// the size actually given counts when it is that close, then the place follows.
inline QRect placedFrame(const QSize &given, double width, double height, double k)
{
    const QSize asked(twipsToPixels(width), twipsToPixels(height));
    const QSize size = (given - asked).width() >= -8 && (given - asked).width() <= 8
            && (given - asked).height() >= -8 && (given - asked).height() <= 8
        ? given
        : asked;
    const QSizeF outer = Forms::mainOuter();
    const float w = float(pixelsToTwips(size.width()));
    const float h = float(pixelsToTwips(size.height()));
    return QRect(QPoint(twipsToPixels(float(outer.width()) / 2.0f - w / 2.0f),
                     twipsToPixels(float(outer.height()) / 2.0f - h / float(k))),
        size);
}

inline QRect frameOf(const Form *form)
{
    return form->frame()->frameGeometry();
}

} // namespace bankwindows
