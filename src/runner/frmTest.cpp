#include "runner/frmTest.h"

#include "base/currentbank.h"
#include "base/valuerules.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "runner/frmResult.h"
#include "runner/taker.h"
#include "scoring/scoring.h"
#include "store/bankbackend.h"
#include "store/catalogue.h"
#include "store/results/keeping.h"
#include "store/results/outbox.h"
#include "store/results/progress.h"
#include "store/results/testversion.h"
#include "store/testsettings.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTextEdit>
#include <QTimer>

namespace {

const QString noQuestions = QStringLiteral("这个测试还没有题目，请先把题目准备好！");
const QString noScoring
    = QStringLiteral("测试的评分情况你还没有输入，请完成评分的输入后再进行测试！");
const QString testGone = QStringLiteral("找不到这个测试的题目表或评分表，它可能已经被改名或删除！");
const QString notKept = QStringLiteral("这次的测试结果没能保存到测试记录里。\n%1");
const QString unfinished = QStringLiteral("上次的测试还没有做完，要接着做吗？");
const QString changedSince = QStringLiteral(
    "上次的测试还没有做完，可是这个测试的题目、选项或分数后来改过了，不能接着做，只能重新开始。");
const QString answeredBefore = QStringLiteral("上次选的答案");
const QString waitsToHandIn
    = QStringLiteral("这次的结果现在交不到题库服务器，已经留在本机的测试记录里，"
                     "等连上服务器后会自动交上去。\n%1");
const QString notHandedIn = QStringLiteral("这次的结果没有交到题库服务器。\n%1");

QColor buttonText()
{
    return QApplication::palette().color(QPalette::ButtonText);
}

} // namespace

frmTest::frmTest()
    : Form(QStringLiteral("Qelvi"), 8484, 6984)
{
    buildControls();
}

void frmTest::Form_Load()
{
    std::tie(m_chosenTest, m_chosenCategory) = HandOff::takeChosenCategory();
    const std::optional<QString> name = HandOff::readTestName();
    if (!name)
        return;

    const auto fail = [this](const StoreError &e) {
        if (e.number() == StoreError::NoCurrentRecord) {
            msgBox(noQuestions);
            return;
        }
        // A runner without its tables (or without a readable bank) could only show
        // an empty page: say why and close instead.
        msgBox(e.number() == StoreError::NoSuchTable ? testGone : e.message());
        closeLater();
    };

    Data1->setDatabaseName(currentBank());
    Data1->setRecordSource(*name);
    if (const StoreError e = Data1->Refresh())
        return fail(e);

    Label13->setText(*name);
    Label13->adjustSize();

    Data2->setDatabaseName(currentBank());
    Data2->setRecordSource(BankNames::scoringTable(*name));
    if (const StoreError e = Data2->Refresh())
        return fail(e);

    hideBlankOptions();

    Recordset &questions = Data1->recordset();
    if (const StoreError e = questions.MoveLast())
        return fail(e);
    Label9->setText(QString::number(questions.RecordCount()));
    if (const StoreError e = questions.MoveFirst())
        return fail(e);

    // What the result will name: the test as it is now, and who takes it when asked.
    m_version = TestVersion::of(Data1->DatabaseName(), *name);
    if (const StoreError e = Classroom::key(currentBank(), *name, &m_key))
        return fail(e);
    if (Taker::asking()) {
        const std::optional<QString> taker = Taker::ask(*name);
        if (!taker)
            return closeLater();
        m_taker = *taker;
    }

    const QString bank = currentBank();
    m_trail.begin(Keeping::historyPath(), bank, *name);
    m_goingBack = TestSettings::goingBackAllowed(bank, *name);
    offerToContinue();
}

// A run that a crash cut short goes on where it stopped, or starts again; one on a test
// that has changed since can only start again.
void frmTest::offerToContinue()
{
    switch (m_trail.kept()) {
    case AnswerTrail::Kept::None:
        return;
    case AnswerTrail::Kept::Changed:
        msgBox(changedSince);
        m_trail.forget();
        return;
    case AnswerTrail::Kept::Resumable:
        if (msgBox(unfinished, MsgStyle::Question) != MsgAnswer::Yes) {
            m_trail.forget();
            return;
        }
        if (const StoreError e = continueRun(m_trail.keptOptions()))
            stopOn(e);
    }
}

// Answers the kept questions again as they were answered, then shows the first one
// without an answer. The last question is always the taker's to answer.
StoreError frmTest::continueRun(const QList<int> &options)
{
    for (const int option : options) {
        const int question = int(val(Label8->text()));
        if (question >= int(val(Label9->text()))
            || Scoring::isBlankOption(optionLabels()[option]->text()))
            break;
        m_trail.answer(shownAnswer(option), scoreBoxes()[option]->text());
        if (const StoreError e = goTo(question + 1))
            return e;
    }
    return {};
}

// The runner only reads the bank: its record sets close without committing anything.
// The connection the answers were kept on closes with it.
void frmTest::Form_Unload()
{
    Data1->recordset().release();
    Data2->recordset().release();
    Results::Progress::release();
}

void frmTest::Label2_Click()
{
    answer(0);
}

void frmTest::Label3_Click()
{
    answer(1);
}

void frmTest::Label4_Click()
{
    answer(2);
}

void frmTest::Label5_Click()
{
    answer(3);
}

void frmTest::Label6_Click()
{
    answer(4);
}

void frmTest::Label7_Click()
{
    answer(5);
}

void frmTest::Label14_Click()
{
    Unload();
}

void frmTest::Label15_Click()
{
    const int question = int(val(Label8->text()));
    if (!m_goingBack || question < 2 || !Label2->isEnabled())
        return;
    if (const StoreError e = goTo(question - 1))
        stopOn(e);
}

// Shows question (1, 2, ...) as answering straight through would reach it: the total
// of the final answers before it, and the answer given to it before, if any.
StoreError frmTest::goTo(int question)
{
    Recordset &questions = Data1->recordset();
    while (questions.AbsolutePosition() + 1 < question)
        if (const StoreError e = questions.MoveNext())
            return e;
    while (questions.AbsolutePosition() + 1 > question)
        if (const StoreError e = questions.MovePrevious())
            return e;
    showOptions();
    hideBlankOptions();
    Label8->setText(doubleText(question));
    Text7->setText(m_trail.totalBefore(question));
    showAnswerBefore();
    return {};
}

// 上一题 from the second question on, and the mark beside an earlier answer, which a
// screen reader reads as the option's description.
void frmTest::showAnswerBefore()
{
    const int question = int(val(Label8->text()));
    Label15->setVisible(m_goingBack && question >= 2);
    const std::optional<int> before = m_trail.answerTo(question);
    const auto options = optionLabels();
    for (int i = 0; i < 6; ++i)
        options[i]->setAccessibleDescription(before == i ? answeredBefore : QString());
    Label16->setVisible(before.has_value());
    if (before) {
        const HotLabel *option = options[*before];
        Label16->move(option->x() - Label16->width() - twipsToPixels(60), option->y());
    }
}

// The answer to the current question is option (0 = A .. 5 = F).
void frmTest::answer(int option)
{
    Text7->setText(Scoring::addScore(Text7->text(), scoreBoxes()[option]->text()));
    noteAnswer(option);

    const StoreError error
        = val(Label9->text()) != val(Label8->text()) ? nextQuestion() : finishTest();
    if (error)
        stopOn(error);
}

void frmTest::stopOn(const StoreError &error)
{
    if (error.number() == StoreError::NoCurrentRecord)
        msgBox(noScoring);
    else if (!error.message().isEmpty())
        msgBox(error.message());
    Unload();
}

StoreError frmTest::nextQuestion()
{
    if (const StoreError e = Data1->recordset().MoveNext())
        return e;
    showOptions();
    hideBlankOptions();
    Label8->setText(doubleText(val(Label8->text()) + 1));
    showAnswerBefore();
    return {};
}

// After the last answer: the band that holds the total, then the result window.
StoreError frmTest::finishTest()
{
    const float total = float(val(Text7->text()));
    QString evaluation;
    if (const StoreError e = searchBands(total, &evaluation))
        return e;

    for (HotLabel *label : optionLabels())
        label->setEnabled(false);
    Label15->setVisible(false);
    Label16->setVisible(false);

    frmResult *result = Forms::load<frmResult>();
    result->Text1->setPlainText(Scoring::resultText(total, evaluation));
    Forms::place(result);
    result->Show();
    keepResult(result, evaluation);
    return {};
}

// Every answer but the last is kept before the next question shows; the last one goes
// into the history with the result.
void frmTest::noteAnswer(int option)
{
    const Results::Answer given = shownAnswer(option);
    m_trail.answer(given, scoreBoxes()[option]->text());
    if (val(Label9->text()) != given.question)
        m_trail.keep(given.question);
}

// The current question answered with option, as the history keeps it.
Results::Answer frmTest::shownAnswer(int option) const
{
    return { int(val(Label8->text())), Label1->text(), QString(QLatin1Char('A' + option)),
        optionLabels()[option]->text(), doubleText(val(scoreBoxes()[option]->text())) };
}

// The finished test goes into the results history; the result window is already up,
// so a history that cannot be written costs the taker nothing but one message.
void frmTest::keepResult(frmResult *result, const QString &evaluation)
{
    Results::Record record;
    record.takenAt = QDateTime::currentDateTime();
    record.test = Label13->text();
    record.category = record.test == m_chosenTest ? m_chosenCategory
                                                  : Keeping::categoryOf(currentBank(), record.test);
    record.resultText = result->Text1->toPlainText();
    record.total = singleText(float(val(Text7->text())));
    record.evaluation = evaluation;
    record.answers = m_trail.answers();
    const QString bank = Data1->DatabaseName();
    record.bank = BankBackend::isFile(bank) ? QFileInfo(bank).absoluteFilePath() : bank;
    record.version = m_version;
    record.taker = m_taker;
    record.band = m_band;
    Results::History::Work alsoDo = m_trail.forgetting();
    Results::Outbox::Entry entry;
    if (!m_key.isEmpty()) {
        // A result for the server waits beside its record until it is handed in.
        QString letters;
        for (const Results::Answer &a : std::as_const(record.answers))
            letters += a.option;
        entry = Results::Outbox::entryFor(m_key.bank, record.test, m_key, letters, record.total);
        alsoDo = [forget = std::move(alsoDo), put = Results::Outbox::put(entry, &record)](
                     QSqlDatabase &db) {
            const StoreError e = forget(db);
            return e ? e : put(db);
        };
    }
    const StoreError error = Keeping::keep(&record, alsoDo);
    Results::Progress::release(); // the run is over
    result->setRecord(record);
    if (error)
        msgBox(notKept.arg(error.message()));
    if (m_key.isEmpty())
        return;
    if (!error)
        return handIn(entry.submission);
    // Not kept here, it can only go to the server now.
    if (const StoreError e = Results::Outbox::handInOne(&entry))
        msgBox(notHandedIn.arg(e.message()));
    else if (entry.state != Results::Outbox::State::Sent)
        msgBox(notHandedIn.arg(entry.message));
}

// Hands the kept result in to the server bank with any others still waiting there; the
// taker hears of it only when this one did not go in as shown.
void frmTest::handIn(const QString &submission)
{
    const Results::Outbox::Round round
        = Results::Outbox::handIn(Keeping::historyPath(), m_key.bank);
    for (const Results::Outbox::Entry &ended : round.ended)
        if (ended.submission == submission)
            return void(msgBox(notHandedIn.arg(ended.message)));
    if (round.error)
        msgBox(waitsToHandIn.arg(round.error.message()));
}

// Every band is examined, first to last; the last one that holds the total gives the
// evaluation, none leaves it empty. The count is not limited to 16 bits. The bounds are
// read a column at a time, so the search costs about what reading the bands costs.
StoreError frmTest::searchBands(float total, QString *evaluation)
{
    Recordset &bands = Data2->recordset();
    // An empty scoring table fails here with no current record (3021).
    if (const StoreError e = bands.MoveLast())
        return e;
    const QStringList lowers = bands.column(BankNames::lowerField());
    const QStringList uppers = bands.column(BankNames::upperField());
    qsizetype held = -1;
    for (qsizetype i = 0; i < lowers.size() && i < uppers.size(); ++i) {
        if (Scoring::bandHolds(total, float(val(lowers.at(i))), float(val(uppers.at(i)))))
            held = i;
    }
    m_band = int(held + 1);
    if (held == bands.RecordCount() - 1)
        *evaluation = Label12->text(); // Data2 shows the last band now
    else if (held >= 0)
        *evaluation = bands.column(BankNames::evaluationField()).value(held);
    return {};
}

void frmTest::showOptions()
{
    for (HotLabel *label : optionLabels())
        label->setVisible(true);
}

// A blank option holds nothing or the editor's one-space placeholder.
void frmTest::hideBlankOptions()
{
    for (HotLabel *label : optionLabels())
        if (Scoring::isBlankOption(label->text()))
            label->setVisible(false);
}

void frmTest::Label_MouseMove(HotLabel *label)
{
    label->setForeColor(QColor(0, 0, 255));
}

void frmTest::Form_MouseMove()
{
    for (HotLabel *label : optionLabels())
        label->setForeColor(buttonText());
    Label14->setForeColor(buttonText());
    Label15->setForeColor(buttonText());
}

// The title moves left 15 twips a tick and comes back in from the right edge once it
// has left the window completely.
void frmTest::Timer1_Timer()
{
    double left = pixelsToTwips(Label13->x());
    if (left < -pixelsToTwips(Label13->width()))
        left = Width();
    left -= 15;
    Label13->move(twipsToPixels(left), Label13->y());
}

void frmTest::closeLater()
{
    // After the opener has placed and shown the window; closing inside Form_Load
    // would leave it a window that is already going away.
    QTimer::singleShot(0, this, [this] { Unload(); });
}

void frmTest::paintEvent(QPaintEvent *event)
{
    Form::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

void frmTest::mouseMoveEvent(QMouseEvent *event)
{
    Form::mouseMoveEvent(event);
    Form_MouseMove();
}

// The picture covers the client area whatever its size, cut at the right or bottom.
void frmTest::resizeEvent(QResizeEvent *event)
{
    Form::resizeEvent(event);
    m_background = coverPicture(QStringLiteral(":/images/runner.jpg"), size());
}
