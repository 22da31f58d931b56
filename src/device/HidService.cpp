#include "device/HidService.h"

HidDevice::~HidDevice() = default;
HidService::~HidService() = default;
