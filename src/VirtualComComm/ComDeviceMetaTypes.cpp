#include "ComDeviceMetaTypes.h"

void RegisterComDeviceMetaTypes()
{
    qRegisterMetaType<char *>("char*");
    qRegisterMetaType<unsigned short *>("unsigned short*");
}
