#pragma once

#include "forms/forms.h"

class PictureButton;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// The classroom's tests on a server bank: which ones the takers see (发布) and which keep
// their results without the taker's name (匿名), with the version of each, raised by
// every stored change of its questions or bands. A tick is stored at once; what another
// copy changes shows as it is stored.
class frmPublish : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 5400, 7320, Forms::Base::Inner, 1.5 };
    frmPublish();

    void Form_Load() override;
    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    // Reads the tests again, keeping the selected one.
    void Refresh();

    QTreeWidget *List1; // 测试类, 测试项目, 发布, 匿名, 版本
    QLabel *Label1; // what an anonymous test keeps
    PictureButton *Command1; // 退出

    enum Column { CategoryColumn, TestColumn, PublishedColumn, AnonymousColumn, VersionColumn };

public slots:
    void List1_Change(QTreeWidgetItem *item, int column);
    void Command1_Click();
};
