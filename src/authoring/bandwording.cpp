#include "authoring/bandwording.h"

#include "base/valuerules.h"

#include <QStringList>
#include <algorithm>

namespace BandCheck {

namespace {

    QString number(float value)
    {
        return singleText(value);
    }

    QString rangeText(const Range &range)
    {
        QString text = range.from == range.to
            ? number(range.from)
            : QStringLiteral("%1 到 %2").arg(number(range.from), number(range.to));
        if (range.count >= 0)
            text += QStringLiteral("（%1 个）").arg(range.count);
        return text;
    }

    QString bandList(const QList<int> &bands)
    {
        QStringList names;
        for (int band : bands)
            names << QString::number(band);
        return QStringLiteral("第 %1 档").arg(names.join(u'、'));
    }

    // Lists ranges, at most maxItems of them, then how many more there are.
    template<class T, class F>
    void listItems(QStringList &lines, const QList<T> &items, int maxItems, F text)
    {
        const int shown = maxItems < 0 ? int(items.size()) : std::min(int(items.size()), maxItems);
        for (int i = 0; i < shown; ++i)
            lines << QStringLiteral("    ") + text(items.at(i));
        if (shown < items.size())
            lines << QStringLiteral("    ……还有 %1 处").arg(items.size() - shown);
    }

} // namespace

QString summary(const Check &check)
{
    if (check.questions == 0)
        return QStringLiteral("还没有题目");
    if (check.blockedQuestion)
        return QStringLiteral("第 %1 题没有选项").arg(check.blockedQuestion);
    if (check.bands == 0)
        return QStringLiteral("还没有分数档");
    QStringList parts;
    if (!check.gaps.isEmpty())
        parts << QStringLiteral("%1 处缺口").arg(check.gaps.size());
    if (!check.overlaps.isEmpty())
        parts << QStringLiteral("%1 处重叠").arg(check.overlaps.size());
    if (parts.isEmpty())
        return check.totals.exact ? QStringLiteral("覆盖完整") : QStringLiteral("大致覆盖完整");
    return (check.totals.exact ? QString() : QStringLiteral("约 ")) + parts.join(u'，');
}

QString detail(const Check &check, int maxItems)
{
    QStringList lines;
    if (check.questions == 0) {
        lines << QStringLiteral("这个测试还没有题目，还算不出可能的得分。");
    } else if (check.blockedQuestion) {
        lines << QStringLiteral("第 %1 题的选项都是空的：答题的人过不了这一题，得不到总分。")
                     .arg(check.blockedQuestion);
    } else if (check.totals.exact) {
        lines << QStringLiteral("%1 道题，可能的得分从 %2 到 %3，共 %4 个。")
                     .arg(check.questions)
                     .arg(number(check.lowest()), number(check.highest()))
                     .arg(check.count());
    } else {
        lines << QStringLiteral("%1 道题，可能的得分在 %2 到 %3 之间。")
                     .arg(check.questions)
                     .arg(number(check.lowest()), number(check.highest()));
        lines << QStringLiteral("可能的得分太多，下面按区间估算：区间里的分数不一定都能得到。");
    }

    if (check.bands == 0) {
        lines << QStringLiteral("还没有分数档：测试做完时只会提示评分还没有输入。");
        return lines.join(u'\n');
    }
    lines << QStringLiteral("分数档 %1 档（按已经存好的分数档检查）。").arg(check.bands);
    if (check.complete())
        lines << QStringLiteral("每个可能的得分都正好落在一个分数档里。");

    if (!check.gaps.isEmpty()) {
        lines << QStringLiteral("没有分数档包含的得分（%1 处），得到它们的人看不到评价：")
                     .arg(check.gaps.size());
        listItems(lines, check.gaps, maxItems, rangeText);
    }
    if (!check.overlaps.isEmpty()) {
        lines << QStringLiteral("同时落在几个分数档里的得分（%1 处），测试时给出最后一档的评价：")
                     .arg(check.overlaps.size());
        listItems(lines, check.overlaps, maxItems, [](const Overlap &o) {
            return QStringLiteral("%1：%2，给出第 %3 档")
                .arg(rangeText(o.range), bandList(o.bands))
                .arg(o.bands.last());
        });
    }
    if (!check.unusedBands.isEmpty())
        lines
            << QStringLiteral("没有任何可能的得分落在里面：%1。").arg(bandList(check.unusedBands));
    if (!check.invertedBands.isEmpty())
        lines << QStringLiteral("下限大于上限，只包含两个端点上的分数：%1。")
                     .arg(bandList(check.invertedBands));
    return lines.join(u'\n');
}

} // namespace BandCheck
