#include "ComDeviceBase.h"

ComDeviceBase::~ComDeviceBase() = default;
