#pragma once

#include "forms/forms.h"

class Data;
class DBList;
class PictureButton;
class QLabel;
class QLineEdit;
class StoreError;

// The category editor: creates, renames and deletes categories. A category is a row
// of "分类列表" and a table of the same name listing its tests; the store changes
// both in one step.
//
// States, by the pending operation in Label3: idle ("" or the design caption; name
// box and 名称确定 disabled), new-pending ("new", 新建 disabled) and rename-pending
// ("change", 改名 disabled). Only a successful 名称确定 returns to idle.
class frmFL : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 5268, 5892, Forms::Base::Inner, 2 };
    frmFL();

    void Form_Load() override;
    void Form_Unload() override;

    QLabel *Label2;
    DBList *DBList1; // the categories, in stored order
    QLabel *Label1;
    QLineEdit *Text1; // the name box
    PictureButton *Command2; // 新建
    PictureButton *Command5; // 改名
    PictureButton *Command1; // 名称确定
    PictureButton *Command3; // 删除
    PictureButton *Command4; // 退出

    QLineEdit *Text3; // the chosen category, "" when none
    QLineEdit *Text4; // the chosen category's test count
    QLabel *Label3; // the pending operation: "new", "change" or ""
    QLineEdit *Text2; // bound to 分类 of Data2's current row
    Data *Data2; // "分类列表"
    Data *Data1; // the chosen category's table, to count its tests

public slots:
    void DBList1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

private:
    void releaseChosenTable();
    void showBankNow();
};
