#include "platform/qttexts.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// What Qt's Chinese catalogue leaves in English: the kinds the file dialog's list
// shows for a folder, a drive or a file it has no name for.
class MissingQtTexts : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        static const QHash<QByteArray, QString> kinds {
            { "Folder", QStringLiteral("文件夹") },
            { "File Folder", QStringLiteral("文件夹") },
            { "Drive", QStringLiteral("驱动器") },
            { "File", QStringLiteral("文件") },
            { "%1 File", QStringLiteral("%1 文件") },
            { "Alias", QStringLiteral("别名") },
            { "Shortcut", QStringLiteral("快捷方式") },
        };
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        return kinds.value(QByteArray(sourceText));
    }
};

} // namespace

void speakChinese(QCoreApplication &app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    // The kinds of files (their MIME comments) follow the default language.
    QLocale::setDefault(chinese);
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtTexts);
    // Installed last, so asked first; it knows only what the catalogue lacks.
    app.installTranslator(new MissingQtTexts(&app));
}
