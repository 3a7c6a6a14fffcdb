#pragma once

#include "forms/forms.h"

class PictureButton;
class QLabel;

// The editors' help: the page of the question editor (mode code 1 in temp1.txt) or
// of the score-band editor (code 2). Any other code, or none, shows no page.
class frmHelp : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 4860, 5196, Forms::Base::Outer, 2 };
    frmHelp();

    // The pages, paragraphs separated by an empty line (CR LF CR LF).
    static QString questionPage();
    static QString scorePage();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }
    void Form_Load() override;
    // Asked for again while open (from the other editor): shows the page now asked for.
    void Form_Reload() override;

    QLabel *Label1; // the question-editor page
    QLabel *Label2; // the score-band-editor page
    PictureButton *Command1;
    QLabel *Image1;

public slots:
    void Command1_Click();

private:
    void showPage();
};
