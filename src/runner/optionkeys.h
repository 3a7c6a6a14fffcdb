#pragma once

#include <QObject>
#include <array>

class HotLabel;
class QWidget;

// The runner without a mouse: the keys A to F and 1 to 6 answer with that option (a
// shown, enabled one), Tab and the arrow keys move a drawn focus over the options,
// Enter or Space answers with the focused one, and Esc leaves as 退出 does. After an
// answer by the keys the focus goes to the first option of the next question.
class OptionKeys : public QObject
{
public:
    OptionKeys(QWidget *runner, const std::array<HotLabel *, 6> &options, HotLabel *leave);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool answerWith(HotLabel *option);
    void moveFocus(int step);
    // The shown, enabled options, A to F.
    QList<HotLabel *> available() const;

    QWidget *m_runner;
    std::array<HotLabel *, 6> m_options;
    HotLabel *m_leave;
};
