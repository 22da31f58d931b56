#pragma once

#include <QString>
#include <vector>

#include "DeviceIdentityList.h"

// The text of the udev rule file that lets the user at the seat open the converter's hidraw nodes.
class UdevRuleWriter {
public:
    static QString write(const std::vector<DeviceIdentity>& identities);
};
