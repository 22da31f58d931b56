#include "device/HidrawNodeSource.h"

HidrawNodeSource::~HidrawNodeSource() = default;
