#pragma once

#include "app/form.h"
#include "exchange/package.h"

class PictureButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

// Brings tests into the bank from a file: a test file, a spreadsheet, a survey export
// or another bank. It shows what it read before anything is written; the user picks
// the category to add to, the tests to bring over and, for a name that is taken,
// another name. The import is one transaction: all of it lands, or none.
class frmImport : public Form
{
    Q_OBJECT

public:
    frmImport();

    void Form_Load() override;
    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    // Columns of Grid1.
    enum Column { ColImport, ColName, ColCategory, ColQuestions, ColBands, ColState };

    QLabel *Label1;
    QLineEdit *Text1; // the file read
    PictureButton *Command1; // 选择文件
    PictureButton *Command4; // 评分表: the score bands of a spreadsheet from a second file
    QLabel *Label2;
    QComboBox *Combo1; // the category to add to; first "按文件中的分类" when the file names them
    QTableWidget *Grid1; // one row a test: import or not, name, category, counts, state
    QLabel *Label3; // what was read but not brought over
    PictureButton *Command2; // 导入
    PictureButton *Command3; // 取消

    // The package as the user has set it: the tests ticked, with the names typed.
    Exchange::Package chosen() const;
    // The category everything goes into; empty for the file's own categories.
    QString target() const;

public slots:
    void Command1_Click();
    void Command4_Click();
    void Command2_Click();
    void Command3_Click();
    // Shows for every test whether its name can be given.
    void showClashes();

private:
    void show(const Exchange::Package &package, const QStringList &notes);

    Exchange::Package m_read;
    bool m_fromSheet = false;
    bool m_filling = false;
};
