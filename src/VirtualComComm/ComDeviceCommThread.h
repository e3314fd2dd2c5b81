#pragma once

#include <QThread>

// The serial worker's thread: a plain event loop with a large stack.
class ComDeviceCommThread : public QThread
{
    Q_OBJECT

public:
    static constexpr uint kStackSize = 52428800;

    explicit ComDeviceCommThread(QObject *parent = nullptr);
    ~ComDeviceCommThread() override;
};
