#pragma once

#include "forms/forms.h"

class Data;
class DBCombo;
class DBList;
class PictureButton;
class QLabel;
class QLineEdit;

// The test chooser, opened for the mode code in temp1.txt: 1 opens the chosen test
// in the question editor, 2 in the test runner, 3 renames and deletes tests.
//
// Mode 3 has two states: idle (name box hidden, 更名 enabled, 确定更名 disabled) and
// renaming (name box shown, 更名 disabled, 确定更名 enabled). A successful 确定更名
// returns to idle; a refused one stays in renaming. A delete leaves nothing chosen
// and returns to idle.
class frmBFEdit : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 5304, 6240, Forms::Base::Outer, 1.5 };
    frmBFEdit();

    void Form_Load() override;
    void Form_Unload() override;
    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    QLabel *Label2;
    DBCombo *DBCombo1; // the category
    DBList *DBList1; // the category's tests, in stored order
    QLabel *Label3;
    QLineEdit *Text1; // the new name, holding the clicked test's name
    PictureButton *Command5; // 更名
    PictureButton *Command6; // 确定更名
    PictureButton *Command1; // 确定
    PictureButton *Command3; // 删除
    PictureButton *Command2; // 取消
    PictureButton *Command4; // 退出
    QLabel *Label1; // the clicked test: the old name of a rename
    QLineEdit *Text2; // bound to 测试 of Data1
    Data *Data2; // "分类列表"
    Data *Data1; // the chosen category's table

    // The category that listed the clicked test, so that a rename changes that
    // category's row whatever category the box shows by then.
    QString clickedCategory;

public slots:
    void DBCombo1_Change();
    void DBList1_Click();
    void DBList1_DblClick();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Text1_LostFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void confirmChoice();
    void clearChoice();
    void showBankNow();
};
