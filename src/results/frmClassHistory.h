#pragma once

#include "results/frmHistory.h"

class QTimer;

// The class's results on a server bank, in the history window's form: every result the
// server kept (an author's whole class, a taker's own), brought up to date when it
// opens and while it is open. They are kept on the server; nothing is deleted here.
class frmClassHistory : public frmHistory
{
    Q_OBJECT

public:
    frmClassHistory();

    void Form_Load() override;
    void Form_Reload() override;

    // Copies what the server kept since the last time, and lists it; false (told) when
    // the server could not be read.
    bool bringUpToDate(bool tell = true);

private:
    QTimer *m_poll;
};
