#include "info/frmIntro.h"

#include "base/fonts.h"
#include "forms/controls.h"
#include "platform/twips.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace {

QString paragraphs(std::initializer_list<const char *> texts)
{
    QStringList out;
    for (const char *text : texts)
        out << QStringLiteral("    ") + QString::fromUtf8(text);
    return out.join(QStringLiteral("\r\n"));
}

QLabel *hiddenLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->hide();
    return label;
}

QRadioButton *option(const QString &caption, const QRect &box, QWidget *parent)
{
    auto *button = new QRadioButton(caption, parent);
    button->setGeometry(box);
    return button;
}

} // namespace

QString frmIntro::eqPage()
{
    return paragraphs({
        "长期以来，人们习惯用智商（IQ）来衡量一个人的聪明程度，智力测验早已是心理学和教育界公认的"
        "测量手段。可是，智商高的人并不一定都能在事业和生活中取得成功。于是心理学家把目光投向了另一"
        "种"
        "同样重要的能力——情商（EQ），它是继智商之后出现的一种新的衡量标准。",
        "情商的概念最早于1990年由美国的两位心理学家提出，当时称为“情绪智力”。1995年，一本以"
        "“情绪智力”为题的通俗著作在美国出版，“情商”一词从此风行世界。1997年，最早提出这一概念的"
        "两位学者又对它的定义作了修订，使它更加完整、更便于测量。",
        "情商衡量的是一个人认识和管理自身情绪、自我激励、体察他人情绪以及处理人际关系的能力。"
        "许多研究者认为，一个人能否成功，智商只起一部分作用，更多取决于情商，正所谓："
        "20%的IQ（智商）+ 80%的EQ（情商）= 100%的成功。",
    });
}

QString frmIntro::programPage()
{
    return paragraphs({
        "平时我很喜欢和朋友们一起做书上的各种心理测试，尤其是情商测试。可是每次做完，都要对照答案"
        "一题一题地找分、加分，再去翻找相应的评语，既费时间又容易出错。于是我萌生了一个念头：何不编"
        "一个"
        "程序，让电脑来做这些繁琐的事呢？",
        "最早的版本只能做一套固定的测试题，题目和评语都写死在程序里；后来的版本可以从文件中读取题目"
        "，"
        "但修改起来仍然很不方便。经过几次重写，才有了现在您看到的《Qelvi》。",
        "由于《Qelvi》的题目全部保存在数据库中，它并不局限于情商测试：任何标准化的单项选择题，"
        "无论是数学题还是英语题，都可以录入进来，既可以反复使用，也可以供多人使用。每道题最多可以有"
        "6个"
        "选项。",
        "《Qelvi》会根据总分的不同给出不同的评价，评价的个数不受限制。您可以把分数划分得很细，让每"
        "一种"
        "结果都有贴切的评语。",
        "欢迎您使用《Qelvi》，也欢迎您把自己喜爱的测试题录入进来，和朋友们一起分享！",
    });
}

frmIntro::frmIntro()
    : Form(QStringLiteral("Qelvi"), 5436, 5148)
    , Text1(new QPlainTextEdit(this))
    , Option1(option(QStringLiteral("情商简介"), twipsRect(480, 4200, 1332, 252), this))
    , Option2(option(QStringLiteral("本软件简介"), twipsRect(480, 4560, 1332, 372), this))
    , Command1(new PictureButton(
          QStringLiteral("谢谢Tovik！"), QStringLiteral(":/images/btn-thanks.svg"), 28, this))
    , Image1(stretchedPicture(
          QStringLiteral(":/images/qelvi.svg"), twipsRect(4560, 3120, 852, 852), this))
    , Label1(hiddenLabel(eqPage(), this))
    , Label2(hiddenLabel(programPage(), this))
{
    Text1->setGeometry(twipsRect(120, 120, 4332, 3852));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setFont(designFont(QStringLiteral("SimSun"), 9));
    QPalette pal = Text1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::Text, pal.color(QPalette::ToolTipText));
    Text1->setPalette(pal);

    // The window's face, taken over by its children.
    setFont(designFont(QStringLiteral("SimSun"), 9));
    Command1->setGeometry(twipsRect(2640, 4200, 972, 852));
    Command1->fitCaption();

    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option2_Click();
    });
    connect(Command1, &QToolButton::clicked, this, &frmIntro::Command1_Click);
}

void frmIntro::Form_Load()
{
    Text1->setPlainText(Label1->text());
    Option1->setChecked(true);
}

void frmIntro::Option1_Click()
{
    Text1->setPlainText(Label1->text());
}

void frmIntro::Option2_Click()
{
    Text1->setPlainText(Label2->text());
}

void frmIntro::Command1_Click()
{
    Unload();
}
