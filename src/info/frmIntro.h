#pragma once

#include "forms/forms.h"

class PictureButton;
class QLabel;
class QPlainTextEdit;
class QRadioButton;

// The introduction: two pages of text, one about the emotional quotient and one
// about this program, chosen with two option buttons. It opens on the first.
class frmIntro : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 5604, 5508, Forms::Base::Inner, 2 };
    frmIntro();

    // The pages as the hidden labels hold them: paragraphs indented by four spaces,
    // separated by CR LF.
    static QString eqPage();
    static QString programPage();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }
    void Form_Load() override;

    QPlainTextEdit *Text1; // the page shown
    QRadioButton *Option1;
    QRadioButton *Option2;
    PictureButton *Command1;
    QLabel *Image1;
    QLabel *Label1; // hidden: the EQ page
    QLabel *Label2; // hidden: the program page

public slots:
    void Option1_Click();
    void Option2_Click();
    void Command1_Click();
};
