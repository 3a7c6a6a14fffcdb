#include "bank/jetnotice.h"

#include "formats/access2000/jetbank.h"
#include "platform/msgbox.h"
#include "store/bankfile.h"
#include "store/results/history.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <memory>

namespace {

class ConversionNotice : public JetBank::Observer
{
public:
    void started(const QString &, int tables) override
    {
        m_dialog = std::make_unique<QProgressDialog>(QApplication::activeWindow());
        m_dialog->setWindowTitle(QStringLiteral("Qelvi"));
        m_dialog->setLabelText(QStringLiteral("正在把 Access 2000 格式的题库转换为新格式……"));
        m_dialog->setCancelButton(nullptr);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(500);
        m_dialog->setRange(0, tables);
        m_dialog->setValue(0);
    }

    void progress(int tablesDone) override
    {
        if (m_dialog)
            m_dialog->setValue(tablesDone);
    }

    void finished(const JetBank::Conversion *converted) override
    {
        m_dialog.reset();
        if (!converted)
            return; // the window that opened the bank reports the failure
        // Told once the window that opened the bank has done so: the store is in the
        // middle of connecting now.
        QTimer::singleShot(0, qApp, [text = conversionMessage(*converted)] { msgBox(text); });
    }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace

void installConversionNotice()
{
    static ConversionNotice notice;
    JetBank::setObserver(&notice);
}

QString conversionMessage(const JetBank::Conversion &conversion)
{
    QString text = QStringLiteral("已把 Access 2000 格式的题库转换为新格式；原文件保存为 %1。")
                       .arg(QFileInfo(conversion.keptAs).fileName());
    if (conversion.replaced > 0)
        text += QStringLiteral("有 %1 个字符无法原样读出，已换成“\uFFFD”。")
                    .arg(conversion.replaced);
    return text;
}

void installLinkNotice()
{
    BankFile::setLinkNotice([](const QString &bank, const QString &target) {
        QTimer::singleShot(0, qApp, [text = linkMessage(bank, target)] { msgBox(text); });
    });
    // The results history's own notices (a link, a damaged file set aside) likewise.
    Results::setNotice(
        [](const QString &text) { QTimer::singleShot(0, qApp, [text] { msgBox(text); }); });
}

QString linkMessage(const QString &bank, const QString &target)
{
    return QStringLiteral("题库文件“%1”是一个链接，指向另一个文件夹里的“%2”。"
                          "Qelvi 打开并修改的是那个文件。")
        .arg(QDir::toNativeSeparators(bank), QDir::toNativeSeparators(target));
}
