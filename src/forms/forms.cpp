#include "forms/forms.h"

#include "platform/twips.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScopedValueRollback>

namespace {
QPointer<QMainWindow> host;
QPointer<QMdiArea> area;
bool closingEverything = false;
QHash<QString, QPointer<Form>> &open()
{
    static QHash<QString, QPointer<Form>> forms;
    return forms;
}
QHash<QString, std::function<Form *()>> &declared()
{
    static QHash<QString, std::function<Form *()>> openers;
    return openers;
}
} // namespace

void Forms::setHost(QMainWindow *main, QMdiArea *mdi)
{
    host = main;
    area = mdi;
}

QMainWindow *Forms::mainWindow()
{
    return host;
}

QMdiArea *Forms::mdiArea()
{
    return area;
}

void Forms::adopt(Form *form)
{
    open().insert(form->metaObject()->className(), form);
    if (!form->isMdiChild() || !area)
        return;
    const QSize client = form->size();
    QMdiSubWindow *sub = area->addSubWindow(form, form->frameFlags());
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(form->windowIcon());
    form->attach(sub);
    // The design size is the client area; the frame comes on top of it.
    sub->resize(client + (sub->size() - sub->contentsRect().size()));
    if (form->hasFixedBorder())
        sub->setFixedSize(sub->size());
    sub->hide();
}

void Forms::forget(Form *form)
{
    auto &forms = open();
    for (auto it = forms.begin(); it != forms.end();) {
        if (it.value() == form || it.value().isNull())
            it = forms.erase(it);
        else
            ++it;
    }
}

void Forms::declare(const char *className, std::function<Form *()> open)
{
    declared().insert(QString::fromLatin1(className), std::move(open));
}

Form *Forms::show(const char *className)
{
    const auto opener = declared().constFind(QString::fromLatin1(className));
    if (opener == declared().constEnd()) {
        qWarning("Forms::show: no window %s is declared", className);
        return nullptr;
    }
    return (*opener)();
}

Form *Forms::find(const QString &className)
{
    return open().value(className).data();
}

bool Forms::unload(const QString &className)
{
    Form *form = find(className);
    if (!form)
        return true;
    return form->frame()->close();
}

namespace {

// Asks every window whether it may close, then closes them all; with one refusal
// none is closed, and the windows that agreed keep everything they hold, so that a
// refused exit leaves the program whole.
bool closeTogether(const QList<Form *> &forms)
{
    for (qsizetype i = 0; i < forms.size(); ++i) {
        if (!forms[i]->Form_QueryUnload()) {
            for (qsizetype agreed = 0; agreed < i; ++agreed)
                forms[agreed]->Form_UnloadRefused();
            return false;
        }
    }
    QList<QPointer<Form>> asked(forms.cbegin(), forms.cend());
    bool all = true;
    for (const QPointer<Form> &form : asked) {
        if (form)
            all = form->closeAsked() && all;
    }
    return all;
}

} // namespace

bool Forms::unloadAll()
{
    // The music controller, which only hides when the user closes it, goes too.
    const QScopedValueRollback closing(closingEverything, true);
    return closeTogether(openForms());
}

bool Forms::unloadTogether(const QStringList &classNames)
{
    QList<Form *> forms;
    for (const QString &name : classNames) {
        if (Form *form = find(name))
            forms << form;
    }
    return closeTogether(forms);
}

bool Forms::closingAll()
{
    return closingEverything;
}

QList<Form *> Forms::openForms()
{
    QList<Form *> out;
    for (const QPointer<Form> &f : std::as_const(open()))
        if (f)
            out << f.data();
    return out;
}

QSizeF Forms::mainOuter()
{
    if (!host)
        return {};
    const QRect r = host->frameGeometry();
    return QSizeF(pixelsToTwips(r.width()), pixelsToTwips(r.height()));
}

QSizeF Forms::mainInner()
{
    if (!area)
        return {};
    const QSize s = area->viewport()->size();
    return QSizeF(pixelsToTwips(s.width()), pixelsToTwips(s.height()));
}

void Forms::place(Form *form, double height, double width, Base base, double k)
{
    form->setHeight(height);
    form->setWidth(width);
    const QSizeF main = base == Base::Outer ? mainOuter() : mainInner();
    // Single-precision arithmetic, as the placement formulas are given.
    const float w = float(form->Width());
    const float h = float(form->Height());
    // A small main window would put the title bar above or left of the client area,
    // out of the user's reach: it stays inside.
    form->setLeft(qMax(0.0f, float(main.width()) / 2.0f - w / 2.0f));
    form->setTop(qMax(0.0f, float(main.height()) / 2.0f - h / float(k)));
}
