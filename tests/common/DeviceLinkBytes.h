#pragma once

#include "ComDeviceCommunication.h"

#include <QByteArray>

#include <cstring>

// What waits in the front's read buffer.
inline QByteArray Pending(ComDeviceCommunication &front)
{
    char *data = nullptr;
    int size = 0;
    front.ReadDataFromDev(data, size);
    return QByteArray(data, size);
}

// Hands the front a chunk the way the worker does: a new buffer it owns.
inline void Deliver(ComDeviceCommunication &front, const QByteArray &bytes)
{
    char *chunk = new char[size_t(bytes.size())];
    std::memcpy(chunk, bytes.constData(), size_t(bytes.size()));
    front.ReadFinishedSlot(chunk, int(bytes.size()), true);
}
