#include "results/frmClassHistory.h"

#include "base/currentbank.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "scoring/scoring.h"
#include "store/results/classcopy.h"

#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

frmClassHistory::frmClassHistory()
    : frmHistory(
        QStringLiteral("Qelvi——全班的测试记录"), Results::ClassCopy::pathFor(currentBank()), true)
    , m_poll(new QTimer(this))
{
    // Whose result it is matters most here: the taker comes right after the time.
    // and the list narrows the test's name, which the filter above names too, so that the
    // score stays in view.
    List1->header()->moveSection(4, 1);
    List1->setColumnWidth(4, twipsToPixels(1380));
    List1->setColumnWidth(1, twipsToPixels(1140));
    // Results come in from the class while the window is open.
    m_poll->setInterval(15000);
    connect(m_poll, &QTimer::timeout, this, [this] { bringUpToDate(false); });
}

void frmClassHistory::Form_Load()
{
    if (!bringUpToDate())
        Refresh(); // what was copied before still lists
    m_poll->start();
}

void frmClassHistory::Form_Reload()
{
    Form_Load();
}

bool frmClassHistory::bringUpToDate(bool tell)
{
    int added = 0;
    const StoreError e = Results::ClassCopy::update(currentBank(), &Scoring::resultText, &added);
    if (e && tell)
        msgBox(e.message());
    // A server gone quiet is not asked again while the window stays open (it would keep
    // the windows waiting each time); opening the window again asks it.
    if (e)
        m_poll->stop();
    if (added > 0 || (!e && tell))
        Refresh();
    return !e;
}
