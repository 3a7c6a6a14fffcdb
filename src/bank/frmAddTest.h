#pragma once

#include "forms/forms.h"

class Data;
class DBCombo;
class PictureButton;
class QLabel;
class QLineEdit;

// The new-test dialog: creates an empty test (its question table, its scoring table
// and its row in the chosen category) and offers to open it in the question editor.
class frmAddTest : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 3876, 3840, Forms::Base::Outer, 1 };
    frmAddTest();

    void Form_Load() override;
    void Form_Unload() override;
    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    QLabel *Label2;
    DBCombo *DBCombo1; // the category to add to
    QLabel *Label1;
    QLineEdit *Text1; // the new test's name
    PictureButton *Command1; // 确定
    PictureButton *Command2; // 取消
    QLineEdit *Text2; // bound to 测试 of Data1
    Data *Data2; // "分类列表"
    Data *Data1; // the chosen category's table once the test is created

public slots:
    void DBCombo1_Change();
    void Command1_Click();
    void Command2_Click();
};
