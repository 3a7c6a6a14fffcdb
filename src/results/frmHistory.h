#pragma once

#include "forms/forms.h"
#include "store/results/history.h"

class HistoryModel;
class PictureButton;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QTextEdit;
class QTreeView;

// The results history: every finished test, newest first, filtered by test. The
// selected record shows its result and answers; a test taken more than once shows its
// totals over time as a chart. The shown records export as CSV; the selected one
// prints and saves as PDF; records are deleted one at a time or all shown at once,
// after a question.
//
// The list reads only what it shows, a page at a time, and the selected record's page
// and answers when it is selected. Refresh() reads the history file again; every change
// is made there first.
class frmHistory : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 8556, 10872, Forms::Base::Inner, 2 };
    frmHistory();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }
    void Form_Load() override;
    void Form_Reload() override;

    // Reads the history again, keeping the chosen test and the selected record where
    // they are still there.
    void Refresh();
    // A record just kept: listed first when the list shows its test, nothing read again.
    void recordKept(const Results::Record &record);

    // How many records the list shows, and the selected one (null for none).
    int shownCount() const;
    const Results::Record *selectedRecord() const;
    // The chart's line of totals, oldest first; null while no chart is drawn.
    QLineSeries *totalsSeries() const;

    QLabel *Label1; // 测试项目：
    QComboBox *Combo1; // 全部测试, then every test in the history
    QTreeView *List1; // the shown records
    QTextEdit *Text1; // the selected record: result and answers
    QChartView *Chart1; // totals over time of the selected record's test
    QLabel *Label2; // in the chart's place while there is no chart
    PictureButton *Command1; // 打印
    PictureButton *Command2; // 存为PDF
    PictureButton *Command3; // 导出CSV
    PictureButton *Command4; // 删除
    PictureButton *Command5; // 全部删除
    PictureButton *Command6; // 退出
    QLabel *Label3; // 测试者：
    QComboBox *Combo2; // 全部测试者, then every name or code given
    QCheckBox *Check1; // 合并各版本: the chart pools the versions of the test
    QPushButton *Command7; // 题目分析 of the chosen test

public slots:
    void Combo1_Click();
    void List1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();

protected:
    // A history window over the file at path; a copied one (the class's results of a
    // server bank) deletes nothing and analyses nothing.
    frmHistory(const QString &caption, const QString &path, bool copied);

private:
    void buildControls();
    void fillTests(QStringList tests);
    void fillList(qint64 select, bool tell = true);
    void showDetail();
    void drawChart(const QString &test);
    void enableButtons();
    void removeRecords(const QList<qint64> &ids);
    void addTest(const QString &test);
    QString chosenTest() const; // empty for all tests
    void fillTakers();
    void addTaker(const QString &taker);
    QString chosenTaker() const; // empty for all takers

    HistoryModel *m_model;
    Results::Record m_selected; // id 0 while none is selected
    QString m_chartTest; // the test whose totals the chart shows
    QString m_chartVersion; // the one version it shows of them; empty for all
    QChart *m_chart;
    const QString m_path; // the history file shown
    const bool m_copied;
};
