#pragma once

#include "forms/forms.h"

class PictureButton;
class QComboBox;
class QRadioButton;

// Writes tests to a readable test file: the whole bank, one category or one test.
class frmExport : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 3960, 4920, Forms::Base::Outer, 1.5 };
    frmExport();

    void Form_Load() override;
    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    QRadioButton *Option1; // 整个题库
    QRadioButton *Option2; // 一个测试类
    QRadioButton *Option3; // 一个测试
    QComboBox *Combo1; // the category
    QComboBox *Combo2; // the test, one of the category's
    PictureButton *Command1; // 导出
    PictureButton *Command2; // 取消

public slots:
    void Combo1_Click();
    void Command1_Click();
    void Command2_Click();
};
