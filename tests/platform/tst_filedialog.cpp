// Qt's file dialog as the program shows it speaks Chinese throughout: the kind of a
// folder, the sizes and the dates of its list, next to the catalogue's headings.
#include "platform/filedialog.h"
#include "platform/qttexts.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <sys/time.h>

class tst_filedialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { speakChinese(*qApp); }

    void listSpeaksChinese_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("bytes"); // -1: a folder
        QTest::addColumn<QStringList>("shown"); // size, kind, date
        const QString date = QStringLiteral("2024/3/5 14:07");
        QTest::newRow("folder") << QStringLiteral("子文件夹") << qint64(-1)
                                << QStringList { QString(), QStringLiteral("文件夹"), date };
        QTest::newRow("bytes") << QStringLiteral("小.txt") << qint64(512)
                               << QStringList { QStringLiteral("512 字节"), QString(), date };
        QTest::newRow("kB") << QStringLiteral("中.txt") << qint64(1536)
                            << QStringList { QStringLiteral("1.5 kB"), QString(), date };
        QTest::newRow("MB") << QStringLiteral("大.txt") << qint64(3 << 20)
                            << QStringList { QStringLiteral("3.0 MB"), QString(), date };
    }
    void listSpeaksChinese()
    {
        QFETCH(QString, name);
        QFETCH(qint64, bytes);
        QFETCH(QStringList, shown);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (bytes < 0) {
            QVERIFY(QDir(dir.path()).mkdir(name));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(bytes));
        }
        const QDateTime when(QDate(2024, 3, 5), QTime(14, 7));
        const struct timeval times[2]
            = { { when.toSecsSinceEpoch(), 0 }, { when.toSecsSinceEpoch(), 0 } };
        QVERIFY(::utimes(QFile::encodeName(path).constData(), times) == 0);

        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto *list = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
            QVERIFY(list);
            const auto row = [&]() -> QStringList {
                const QAbstractItemModel *model = list->model();
                for (int r = 0; r < model->rowCount(list->rootIndex()); ++r) {
                    const QModelIndex first = model->index(r, 0, list->rootIndex());
                    if (first.data().toString() != name)
                        continue;
                    QStringList texts;
                    for (int c = 1; c < 4; ++c)
                        texts << model->index(r, c, list->rootIndex()).data().toString();
                    return texts;
                }
                return {};
            };
            // The list is read in the background, the kinds last.
            QTRY_VERIFY(!row().isEmpty() && (bytes >= 0 || !row().value(1).isEmpty()));
            seen = row();
            dialog->reject();
        });
        CommonDialog dialog;
        dialog.Filter = QStringLiteral("测试文件 (*.txt)|*.txt");
        dialog.FileName = dir.filePath(QStringLiteral("未选.txt"));
        QVERIFY(!dialog.ShowOpen(nullptr));
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.value(0), shown.value(0));
        if (bytes < 0)
            QCOMPARE(seen.value(1), shown.value(1));
        else
            QVERIFY2(!seen.value(1).contains(QLatin1String("File")), qPrintable(seen.value(1)));
        QCOMPARE(seen.value(2), shown.value(2));
    }
};

QTEST_MAIN(tst_filedialog)
#include "tst_filedialog.moc"
