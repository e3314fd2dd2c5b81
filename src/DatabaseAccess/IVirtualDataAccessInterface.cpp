#include "IVirtualDataAccessInterface.h"

// Defined here so the interface's vtable lives in one object file.
IVirtualDataAccessInterface::~IVirtualDataAccessInterface() = default;
