#pragma once

#include <QMetaType>

// Pointer types that carry buffers across threads with queued signals.
Q_DECLARE_METATYPE(unsigned short *)

void RegisterComDeviceMetaTypes();
