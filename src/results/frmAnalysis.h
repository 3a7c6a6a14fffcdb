#pragma once

#include "forms/forms.h"
#include "results/analysisreport.h"

class PictureButton;
class QComboBox;
class QLabel;
class QTextEdit;

// 题目分析: the item analysis of a test over the results of one of its versions (or of
// all of them pooled, when the author chooses so): totals, alpha, each question's
// options, correlation and alpha without it, and the totals over the bands. It prints,
// saves as PDF and exports the results for statistics programs.
class frmAnalysis : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 8556, 10872, Forms::Base::Inner, 2 };
    frmAnalysis();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }
    void Form_Load() override;
    void Form_Reload() override;

    // Shows the test, with its newest version chosen.
    void showTest(const QString &test);
    const AnalysisReport::Report &report() const { return m_report; }

    QLabel *Label1; // 测试项目：
    QComboBox *Combo1; // the tests of the history
    QLabel *Label2; // 版本：
    QComboBox *Combo2; // the versions of the test, newest first, then all of them pooled
    QTextEdit *Text1; // the analysis
    PictureButton *Command1; // 打印
    PictureButton *Command2; // 存为PDF
    PictureButton *Command3; // 导出统计数据
    PictureButton *Command4; // 退出

public slots:
    void Combo1_Click();
    void Combo2_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

private:
    void buildControls();
    void fillTests();
    void analyse();

    AnalysisReport::Report m_report;
};
