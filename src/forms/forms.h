#pragma once

#include "forms/form.h"

#include <QHash>
#include <QPointer>
#include <QSizeF>
#include <functional>

class QMainWindow;
class QMdiArea;

// The window registry: the one place windows are loaded, found and unloaded, and
// where they learn the main window's sizes to place themselves.
//
// Every window says once how it opens: `static constexpr Forms::Opening opening {…}`
// in its class. A window opens a window of its own area with show<T>(); one of another
// area by class name with show("frmTest"), which runs what the main window declared for
// that class (declare<T>()), so no window area includes another.
//
// load<T>() creates the window and runs its Form_Load once; loading a window that is
// open runs its Form_Reload and returns the open one. unload<T>() of a window that is
// not open does nothing.
class Forms
{
public:
    // The main window and its client area that hold the child windows.
    static void setHost(QMainWindow *main, QMdiArea *area);
    static QMainWindow *mainWindow();
    static QMdiArea *mdiArea();

    template<class T>
    static T *load()
    {
        if (T *open = find<T>()) {
            open->Form_Reload();
            return open;
        }
        T *form = new T;
        adopt(form);
        form->Form_Load();
        return form;
    }

    template<class T>
    static T *find()
    {
        return qobject_cast<T *>(find(T::staticMetaObject.className()));
    }

    template<class T>
    static bool unload()
    {
        return unload(T::staticMetaObject.className());
    }

    static Form *find(const QString &className);
    // False when the window stays open: an editor whose record the bank refuses keeps
    // itself open so that nothing typed is lost; the caller then stops what it was doing.
    static bool unload(const QString &className);
    // Unloads every open window, each committing first (program end). Every window is
    // asked before any closes: when one stays open (false), all stay as they were.
    static bool unloadAll();
    // The same for the windows of these classes that are open, closed in this order.
    static bool unloadTogether(const QStringList &classNames);
    // True while unloadAll closes the windows: a window that only hides when the user
    // closes it (the music controller) goes then.
    static bool closingAll();
    static QList<Form *> openForms();

    // The main window's outer size (whole window) and inner size (client area), twips.
    static QSizeF mainOuter();
    static QSizeF mainInner();

    // Sizes a child window (height first, then width) and places it:
    // Left = width of base / 2 - W / 2, Top = height of base / 2 - H / k, neither below 0.
    enum class Base { Outer, Inner };
    static void place(Form *form, double height, double width, Base base, double k);

    // A window's opening size and placement, as place() takes them.
    struct Opening
    {
        double height;
        double width;
        Base base;
        double k;
    };
    template<class T>
    static void place(T *form)
    {
        place(form, T::opening.height, T::opening.width, T::opening.base, T::opening.k);
    }

    // Loads a child window, sizes and places it as it declares, and shows it.
    template<class T>
    static T *show()
    {
        T *form = load<T>();
        place(form);
        form->Show();
        return form;
    }

    // Makes show(className) open windows of class T.
    template<class T>
    static void declare()
    {
        declare(T::staticMetaObject.className(), [] { return static_cast<Form *>(show<T>()); });
    }
    // Opens the window declared under that class name; null when none is (a warning
    // names it: a window that is not in the main window's list is a programming fault).
    static Form *show(const char *className);

private:
    friend class Form;
    static void declare(const char *className, std::function<Form *()> open);
    static void adopt(Form *form);
    static void forget(Form *form);
};
