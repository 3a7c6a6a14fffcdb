#pragma once

#include "forms/forms.h"
#include "scoring/answertrail.h"
#include "store/classroom.h"

#include <QPixmap>
#include <array>

class Data;
class frmResult;
class HotLabel;
class QLabel;
class QLineEdit;
class QTimer;
class StoreError;

// The test runner: asks the questions of the test named in temp.txt one at a time,
// adds the score of each clicked option to a running total and, after the last
// question, finds the score band that holds the total and opens frmResult.
//
// Its working state lives in its controls, as the window was designed: Label8 is the
// number of the current question, Label9 the number of questions, Text7 the running
// total as decimal text. Data1 is the question table, Data2 the scoring table; the
// runner only reads them.
class frmTest : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 7440, 8532, Forms::Base::Outer, 1.7 };
    frmTest();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }
    void Form_Load() override;
    void Form_Unload() override;

    QLabel *Label1; // the question
    HotLabel *Label2; // options A to F
    HotLabel *Label3;
    HotLabel *Label4;
    HotLabel *Label5;
    HotLabel *Label6;
    HotLabel *Label7;
    QLineEdit *Text1; // hidden: the scores of options A to F
    QLineEdit *Text2;
    QLineEdit *Text3;
    QLineEdit *Text4;
    QLineEdit *Text5;
    QLineEdit *Text6;
    QLineEdit *Text7; // hidden: the running total
    QLabel *Label8; // number of the current question
    QLabel *Label9; // hidden: number of questions
    QLabel *Label10; // hidden: the examined band's lower bound,
    QLabel *Label11; // upper bound
    QLabel *Label12; // and evaluation
    QLabel *Label13; // the test name, scrolling
    HotLabel *Label14; // 退出
    HotLabel *Label15; // 上一题, from the second question of a test that allows going back
    QLabel *Label16; // beside the option answered before, on a question shown again
    QTimer *Timer1; // moves the title
    Data *Data1; // the question table
    Data *Data2; // the scoring table

    // Options A to F: their labels and their score boxes, in order.
    std::array<HotLabel *, 6> optionLabels() const;
    std::array<QLineEdit *, 6> scoreBoxes() const;

    // The category the chooser listed the test in: the result is kept under it without

public slots:
    void Label2_Click();
    void Label3_Click();
    void Label4_Click();
    void Label5_Click();
    void Label6_Click();
    void Label7_Click();
    void Label14_Click();
    void Label15_Click();
    void Label_MouseMove(HotLabel *label);
    void Form_MouseMove();
    void Timer1_Timer();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void answer(int option);
    StoreError nextQuestion();
    StoreError finishTest();
    StoreError searchBands(float total, QString *evaluation);
    void showOptions();
    void hideBlankOptions();
    void fitQuestion();
    void fitOptions();
    void closeLater();
    void noteAnswer(int option);
    Results::Answer shownAnswer(int option) const;
    StoreError continueRun(const QList<int> &options);
    void keepResult(frmResult *result, const QString &evaluation);
    void handIn(const QString &submission);
    void stopOn(const StoreError &error);
    void offerToContinue();
    StoreError goTo(int question);
    void showAnswerBefore();

    // The final answer to each question, kept as it is given.
    AnswerTrail m_trail;
    bool m_goingBack = false; // the test lets the taker go back
    // What each option label was last fitted to.
    struct Fitted
    {
        QString text;
        int room = -1;
    };
    std::array<Fitted, 6> m_fitted;
    QString m_chosenTest; // and the category the chooser listed it in
    QString m_chosenCategory;
    QPixmap m_background; // scaled to the window
    QString m_version; // of the test when it started
    QString m_taker; // the name or code given, when asked
    int m_band = 0; // the band that held the total, from 1
    Classroom::Key m_key; // where the result is handed in (a published test of a server bank)
};
