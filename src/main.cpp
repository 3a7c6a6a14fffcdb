#include "app/mdlQelvi.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return mdlQelvi::Main(app);
}
