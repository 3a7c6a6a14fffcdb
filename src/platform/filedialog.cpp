#include "platform/filedialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
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
// Qt writes the list's sizes and dates in the form of the system's locale (English on
// most systems, whatever language the dialog speaks); they are written the Chinese way
// instead, as the rest of the dialog and the program are.
class ChineseDetails : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    enum Column { Size = 1, Modified = 3 };

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files
            || (index.column() != Size && index.column() != Modified))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        if (index.column() == Modified)
            return chinese.toString(files->lastModified(source), QLocale::ShortFormat);
        if (files->isDir(source))
            return QString();
        return chinese.formattedDataSize(
            files->size(source), 1, QLocale::DataSizeTraditionalFormat);
    }
};
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
        dialog.setProxyModel(new ChineseDetails(&dialog));
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
