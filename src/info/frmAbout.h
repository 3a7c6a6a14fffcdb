#pragma once

#include "forms/forms.h"

#include <QColor>
#include <QLine>
#include <array>

class HotLabel;
class QLabel;
class QMovie;
class QPushButton;

// The About box: title, version, description, the little animation beside them, and
// two links, one starting a mail to the author and one opening the studio's page.
// The links turn blue under the mouse and black again only over the window's own
// background.
class frmAbout : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 4020, 6288, Forms::Base::Outer, 1 };
    frmAbout();

    static QString mailAddress(); // the author
    static QString webAddress(); // the studio

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }
    void Form_Load() override;
    void Form_Unload() override;

    QLabel *Gif; // plays nosars.gif from the program folder
    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    QLabel *Label2;
    HotLabel *Label4; // the studio's web address
    QLabel *Label3;
    HotLabel *Label1; // the author's mail address
    QPushButton *cmdOK;

    // The etched separator: index 1 the grey line, index 0 the white one below it.
    struct Stroke
    {
        QLine line; // twips
        QColor colour;
        int width; // pixels
    };
    std::array<Stroke, 2> Line1;

public slots:
    void Label1_MouseMove();
    void Label4_MouseMove();
    void Form_MouseMove();
    void Label1_Click();
    void Label4_Click();
    void cmdOK_Click();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QMovie *m_movie = nullptr;
};
