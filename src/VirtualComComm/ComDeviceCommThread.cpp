#include "ComDeviceCommThread.h"

ComDeviceCommThread::ComDeviceCommThread(QObject *parent) : QThread(parent) {}

ComDeviceCommThread::~ComDeviceCommThread()
{
    if (isRunning()) {
        quit();
        wait();
    }
}
