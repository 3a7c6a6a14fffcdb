// Draws the history window offscreen over the sample bank and saves one picture of it,
// to look at the chart: `few` records of the sample test in the last days, or `many`
// over the last year and a half.
//   prog_history_shot <few|many> <out.png>
#include "app/mdiMain.h"
#include "forms/forms.h"
#include "results/frmHistory.h"
#include "store/results/history.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: %s <few|many> <out.png>\n", argv[0]);
        return 2;
    }
    const bool many = qstrcmp(argv[1], "many") == 0;
    TestFolder folder(TestFolder::SampleBank);
    Results::History history(folder.file(QStringLiteral("results.db")));
    QRandomGenerator random(7);
    const int count = many ? 250 : 6;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i) {
        Results::Record r;
        // Many: every two days or so over 500 days; few: once a day this week.
        r.takenAt = many ? now.addSecs(-qint64(count - i) * 2 * 86400 + random.bounded(36000))
                         : now.addDays(i - count).addSecs(random.bounded(7200));
        r.test = QStringLiteral("日常情商自测");
        // A taker who slowly does better, from about 22 to about 40.
        const double trend = 22 + 18.0 * i / count;
        r.total = QString::number(
            std::clamp(int(std::lround(trend + random.bounded(12.0) - 6)), 12, 48));
        r.resultText = QStringLiteral("    你的得分是") + r.total + QStringLiteral("。");
        if (history.append(&r))
            return 1;
    }
    MainWindowFixture main(QSize(1100, 800));
    main->mnuHistory->trigger();
    QTest::qWait(200);
    frmHistory *w = Forms::find<frmHistory>();
    return w && w->frame()->grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
