#include "authoring/editorparts.h"

#include "binding/Data.h"
#include "forms/controls.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/catalogue.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

QLabel *editorLabel(const QString &text, const QRect &place, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(place);
    return label;
}

QLineEdit *lineBox(const QRect &place, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setGeometry(place);
    // The boxes are as low as one line of their font: no room for inner padding.
    box->setTextMargins(0, 0, 0, 0);
    box->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px; }"));
    return box;
}

QTextEdit *textBox(const QRect &place, const QFont &font, QWidget *parent)
{
    auto *box = new QTextEdit(parent);
    box->setGeometry(place);
    box->setFont(font);
    box->setAcceptRichText(false);
    box->setTabChangesFocus(true);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return box;
}

QToolButton *helpButton(double left, QWidget *parent)
{
    auto *button = new PictureButton(
        QStringLiteral("求助"), QStringLiteral(":/images/btn-help.svg"), 20, parent);
    button->setGeometry(twipsRect(left, 0, 612, 732));
    return button;
}

void createButtonRow(std::initializer_list<EditorButtonDef> buttons, double top, QWidget *parent)
{
    for (const EditorButtonDef &b : buttons) {
        *b.button = new PictureButton(QString::fromUtf16(b.caption),
            QStringLiteral(":/images/btn-%1.svg").arg(QLatin1String(b.picture)), 20, parent);
        (*b.button)->setGeometry(twipsRect(b.left, top, 732, 612));
    }
}

namespace {

class Placeholder : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::FocusIn && type != QEvent::FocusOut)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return false;
        const QString text = textOf(watched);
        if (type == QEvent::FocusIn && text == QLatin1String(" "))
            setTextOf(watched, QString());
        else if (type == QEvent::FocusOut && text.isEmpty())
            setTextOf(watched, QStringLiteral(" "));
        return false;
    }

private:
    static QString textOf(QObject *box)
    {
        if (auto *line = qobject_cast<QLineEdit *>(box))
            return line->text();
        if (auto *edit = qobject_cast<QTextEdit *>(box))
            return edit->toPlainText();
        return {};
    }
    static void setTextOf(QObject *box, const QString &text)
    {
        if (auto *line = qobject_cast<QLineEdit *>(box))
            line->setText(text);
        else if (auto *edit = qobject_cast<QTextEdit *>(box))
            edit->setPlainText(text);
    }
};

// What a bound field holds, in the words of the editors' labels.
QString boxTitle(const QString &field)
{
    for (int i = 0; i < 6; ++i) {
        if (field == BankNames::scoreField(i))
            return QStringLiteral("选项%1的得分").arg(QChar(u'A' + i));
    }
    return field; // 分数下限, 分数上限 say it themselves
}

} // namespace

void installPlaceholder(QWidget *box)
{
    box->installEventFilter(new Placeholder(box));
}

QString refusedMessage(const StoreError &error, const QString &record)
{
    switch (error.number()) {
    case StoreError::NotANumber:
        return QStringLiteral("%1“%2”不是数字，%3没有保存。请改成数字或者清空，再继续。")
            .arg(boxTitle(error.field()), error.text(), record);
    case StoreError::NumberOutOfRange:
        return QStringLiteral("%1“%2”太大了，%3没有保存。请改小，再继续。")
            .arg(boxTitle(error.field()), error.text(), record);
    default:
        return error.message();
    }
}

bool stopsHandler(const StoreError &error, Data *data, const QString &record)
{
    switch (error.number()) {
    case StoreError::None:
    case StoreError::NoCurrentRecord:
    case StoreError::NothingPending:
    case StoreError::NotOpen:
        return false;
    default:
        break;
    }
    msgBox(refusedMessage(error, record));
    if (!error.field().isEmpty()) {
        if (QWidget *box = data->boundControl(error.field()))
            box->setFocus(Qt::OtherFocusReason);
    }
    return true;
}
