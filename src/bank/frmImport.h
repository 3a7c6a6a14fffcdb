#pragma once

#include "formats/package.h"
#include "forms/forms.h"

class PictureButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

// Brings tests into the bank from a file: a test file, a spreadsheet, a survey export
// or another bank. It shows what it read before anything is written, each test with
// its questions and bands; the user picks or types the category to add to, the tests
// to bring over and, for a name that is taken, another name. A category of the file
// without tests has a row of its own and is made when missing. The import is one
// transaction: all of it lands, or none.
class frmImport : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 6180, 8520, Forms::Base::Outer, 1.5 };
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
    QComboBox *Combo1; // the category to add to, or a new one typed; first "按文件中的分类"
    QLabel *Label4; // "新建测试类" when the category typed is not in the bank
    QTableWidget *Grid1; // one row a test (or a category without tests): import or not, …
    QPlainTextEdit *Text2; // the questions, options, scores and bands of the current row
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
    // Shows in Text2 what the current row brings.
    void showContents();

private:
    void show(const Exchange::Package &package, const QStringList &notes);
    bool ticked(int row) const;
    // chosen(), with the rows of each category and test it holds.
    Exchange::Package chosen(QList<QList<int>> *rowsOf) const;

    Exchange::Package m_read;
    // The place of each row in m_read: category, test (-1 for a category without tests).
    QList<std::pair<int, int>> m_rows;
    bool m_fromSheet = false;
    bool m_filling = false;
};
