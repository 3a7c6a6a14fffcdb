#pragma once

#include <QPointer>
#include <QWidget>

#include <QMdiSubWindow>

class QMdiArea;

// One window of the program. A child window lives in a QMdiSubWindow of the main
// window; frmCover alone is a top-level window. Geometry is read and set in twips:
// Width/Height are the outer size (the frame), Left/Top its place in the main
// window's client area, ScaleWidth/ScaleHeight the client area.
//
// The registry (Forms) creates a window, runs Form_Load once, and on unload asks
// Form_QueryUnload and then runs Form_Unload before the window goes away, whichever
// way it is closed.
class Form : public QWidget
{
    Q_OBJECT

public:
    Form(const QString &caption, double clientWidth, double clientHeight);
    ~Form() override;

    virtual void Form_Load() { }
    // Runs when an open window is loaded again (Form_Load ran once already).
    virtual void Form_Reload() { }
    // Asked first whenever the window is about to close, whichever way: false keeps it
    // open (a record the bank refuses, so that nothing typed is lost).
    virtual bool Form_QueryUnload() { return true; }
    // Runs when the window agreed to close but another window asked with it refused:
    // it stays open as it was, and what it agreed to give up is kept after all.
    virtual void Form_UnloadRefused() { }
    // Commits what the window holds (its record sets) before it goes away.
    virtual void Form_Unload() { }
    // Runs on every change of size, also while the window is hidden.
    virtual void Form_Resize() { }

    // A child of the main window (the default) or a window of its own.
    virtual bool isMdiChild() const { return true; }
    // Frame of the child window: title bar and buttons.
    virtual Qt::WindowFlags frameFlags() const;
    // The frame of a window of fixed size: no minimise or maximise button, and a
    // border that cannot be dragged to another size.
    static Qt::WindowFlags fixedFrameFlags();
    bool hasFixedBorder() const;

    double Width() const;
    double Height() const;
    double Left() const;
    double Top() const;
    void setWidth(double twips);
    void setHeight(double twips);
    void setLeft(double twips);
    void setTop(double twips);
    void Move(double left, double top);
    // The client area the controls were laid out in, pixels.
    QSize designClient() const { return m_designClient; }
    double ScaleWidth() const;
    double ScaleHeight() const;

    QString Caption() const { return windowTitle(); }
    void setCaption(const QString &caption);

    // The frame that carries this window: its subwindow, or itself when top-level.
    QWidget *frame() const;
    QMdiSubWindow *subWindow() const { return m_subWindow; }

    void Show();
    void Hide();
    bool Visible() const;
    void Unload();
    // Closes the window without asking Form_QueryUnload again: it was asked just now,
    // together with the other windows that close with it.
    bool closeAsked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend class Forms;
    void attach(QMdiSubWindow *sub) { m_subWindow = sub; }
    void runUnload();
    static void activateNextLater(QMdiArea *area);
    void resizeFrame(int width, int height);
    // Frame around the client area: the subwindow's title bar and borders, or the
    // window manager's frame of a top-level window.
    QSize decoration() const;
    int clientFor(int outer, int decoration, int design) const;

    QPointer<QMdiSubWindow> m_subWindow;
    // The client area the window's controls were laid out in, pixels.
    QSize m_designClient;
    bool m_unloaded = false;
    bool m_asked = false;
};
