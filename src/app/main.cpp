#include "app/mdlQelvi.h"
#include "platform/a11ybus.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    guardAccessibilityBus();
    return mdlQelvi::Main(app);
}
