#include "app/windows.h"

#include "authoring/frmEdittest.h"
#include "authoring/frmScore.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "bank/frmExport.h"
#include "bank/frmFL.h"
#include "bank/frmImport.h"
#include "forms/forms.h"
#include "info/frmAbout.h"
#include "info/frmHelp.h"
#include "info/frmIntro.h"
#include "music/frmMusic.h"
#include "results/frmAnalysis.h"
#include "results/frmHistory.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"

void declareWindows()
{
    Forms::declare<frmFL>();
    Forms::declare<frmAddTest>();
    Forms::declare<frmBFEdit>();
    Forms::declare<frmImport>();
    Forms::declare<frmExport>();
    Forms::declare<frmEdittest>();
    Forms::declare<frmScore>();
    Forms::declare<frmTest>();
    Forms::declare<frmResult>();
    Forms::declare<frmHistory>();
    Forms::declare<frmAnalysis>();
    Forms::declare<frmMusic>();
    Forms::declare<frmHelp>();
    Forms::declare<frmIntro>();
    Forms::declare<frmAbout>();
}
