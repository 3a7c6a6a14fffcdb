// Opens the media device, plays the piece named on the command line, prints what the
// device reads, then raises SIGTERM, which must end the process.
#include "platform/mediadevice.h"

#include <QCoreApplication>
#include <QThread>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    MediaDevice device;
    device.setFileName(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    device.setCommand(QStringLiteral("Open"));
    device.setCommand(QStringLiteral("Play"));
    std::printf("driver=%s silent=%d mode=%d error=%d\n", qPrintable(MediaDevice::audioDriver()),
        int(MediaDevice::playsIntoSilence()), device.Mode(), device.Error());
    std::fflush(stdout);
    std::raise(SIGTERM);
    QThread::msleep(2000);
    std::printf("still running\n");
    return 0;
}
