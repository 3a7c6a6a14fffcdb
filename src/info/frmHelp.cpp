#include "info/frmHelp.h"

#include "base/fonts.h"
#include "forms/controls.h"
#include "forms/handoff.h"
#include "platform/twips.h"

#include <QLabel>

namespace {

QString page(std::initializer_list<const char *> texts)
{
    QStringList out;
    for (const char *text : texts)
        out << QString::fromUtf8(text);
    return out.join(QStringLiteral("\r\n\r\n"));
}

QLabel *pageLabel(const QString &text, const QRect &box, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(box);
    label->setBackgroundRole(QPalette::ToolTipBase);
    label->setForegroundRole(QPalette::ToolTipText);
    label->setAutoFillBackground(true);
    label->hide();
    return label;
}

} // namespace

QString frmHelp::questionPage()
{
    return page({
        "上一题：保存当前题目，移动到上一题。",
        "下一题：保存当前题目，移动到下一题。",
        "添加：保存当前测试，移动到测试最后，等待您添加新的测试题目。每为题库输入了一道新题目后，"
        "并且还想输入下一道题时，请按该按键。",
        "删除：删除当前题目。",
        "完成：保存当前测试，并退出测试编辑器。",
        "评分：打开评分编辑器。",
    });
}

QString frmHelp::scorePage()
{
    return page({
        "上一档：保存当前分数档，移动到上一分数档。",
        "下一档：保存当前分数档，移动到下一分数档。",
        "添加：保存当前分数档，移动到分数档最后，等待您添加新的分数档。每输入了一个新的分数档次后，"
        "还想输入下一档时，请按该按键。",
        "删除：删除当前分数档。",
        "完成：保存分数档，并退出评分编辑器。",
        "提醒——分数档之见，不必按从高到低或从低到高的顺序，但注意的是要把所有可能的分数都覆盖到，"
        "而且各分数档的分数不要有交叉！",
    });
}

frmHelp::frmHelp()
    : Form(QStringLiteral("Qelvi-Tovik的帮助"), 5124, 4404)
    , Label1(pageLabel(questionPage(), twipsRect(120, 120, 4092, 3132), this))
    , Label2(pageLabel(scorePage(), twipsRect(240, 120, 4092, 3132), this))
    , Command1(new PictureButton(
          QStringLiteral("谢谢Tovik！"), QStringLiteral(":/images/btn-thanks.svg"), 28, this))
    , Image1(stretchedPicture(
          QStringLiteral(":/images/btn-help.svg"), twipsRect(4200, 2880, 852, 852), this))
{
    // The window's face, taken over by its children. The CJK face that stands in for
    // it runs taller, so a half point less keeps the longer page whole in its label.
    setFont(designFont(QStringLiteral("SimSun"), 8.5));
    Command1->setGeometry(twipsRect(2040, 3360, 972, 852));
    Command1->fitCaption();
    connect(Command1, &QToolButton::clicked, this, &frmHelp::Command1_Click);
}

void frmHelp::Form_Load()
{
    showPage();
}

void frmHelp::Form_Reload()
{
    showPage();
}

void frmHelp::showPage()
{
    const std::optional<qint16> code = HandOff::readModeCode();
    QLabel *chosen = nullptr;
    if (code == 1)
        chosen = Label1;
    else if (code == 2)
        chosen = Label2;
    for (QLabel *label : { Label1, Label2 })
        label->setVisible(label == chosen);
    if (chosen)
        chosen->move(twipsToPixels(120), twipsToPixels(120));
}

void frmHelp::Command1_Click()
{
    Unload();
}
