#pragma once

#include "MLog.h"

// The import's trace lines all carry the import controller's source tag, as
// the log's readers know it, whichever of the import's files writes them.
#define IMPORT_LOG(message)                                                                        \
    do {                                                                                           \
        if (MLog::IsOutLog())                                                                      \
            MLog::WriteAt("BusinessLogic/CommunicationProcessControl.cpp", __LINE__, (message));   \
    } while (false)
