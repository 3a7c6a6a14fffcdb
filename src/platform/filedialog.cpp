#include "platform/filedialog.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace {
ScriptedFileDialog *scripted = nullptr;

// "*.MP3" also as "*.mp3": the file system tells letter case apart, the user does not.
QString withBothCases(const QString &patterns)
{
    QStringList out;
    const QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &p : list) {
        const QString trimmed = p.trimmed();
        for (const QString &form : { trimmed, trimmed.toLower(), trimmed.toUpper() })
            if (!out.contains(form))
                out << form;
    }
    return out.join(QLatin1Char(' '));
}
// Qt's own dialog opens too narrow for its detail columns: sizes, kinds and dates end
// in "...". It opens wider, the columns as wide as what they show.
void showDetailsWhole(QFileDialog &dialog)
{
    dialog.resize(dialog.sizeHint().expandedTo(QSize(780, 460)));
    auto *details = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!details)
        return;
    details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < details->header()->count(); ++column)
        details->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}
} // namespace

QStringList qtNameFilters(const QString &filter)
{
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], withBothCases(parts[i + 1]));
    return out;
}

bool CommonDialog::ShowOpen(QWidget *parent)
{
    return show(parent, false);
}

bool CommonDialog::ShowSave(QWidget *parent)
{
    return show(parent, true);
}

bool CommonDialog::show(QWidget *parent, bool save)
{
    if (scripted)
        FileName = scripted->reply(*this, save);
    else {
        const QString title = save ? QStringLiteral("另存为") : QStringLiteral("打开");
        QFileDialog dialog(parent, DialogTitle.isEmpty() ? title : DialogTitle);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        // The descriptions already name their patterns.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(qtNameFilters(Filter));
        if (save)
            dialog.setDefaultSuffix(DefaultExt);
        showDetailsWhole(dialog);
        if (!FileName.isEmpty())
            dialog.selectFile(FileName);
        FileName = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
            ? dialog.selectedFiles().constFirst()
            : QString();
    }
    return !FileName.isEmpty();
}

ScriptedFileDialog::ScriptedFileDialog()
{
    scripted = this;
}

ScriptedFileDialog::~ScriptedFileDialog()
{
    if (scripted == this)
        scripted = nullptr;
}

QString ScriptedFileDialog::reply(const CommonDialog &dialog, bool save)
{
    m_shown.append({ dialog.Filter, dialog.FileName, dialog.Flags, dialog.CancelError, save });
    return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
}
