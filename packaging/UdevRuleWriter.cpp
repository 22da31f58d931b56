#include "UdevRuleWriter.h"

namespace {

QString hex4(uint16_t value, bool upperCase) {
    QString text = QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
    return upperCase ? text.toUpper() : text;
}

} // namespace

QString UdevRuleWriter::write(const std::vector<DeviceIdentity>& identities) {
    // The uaccess tag is acted upon by 73-seat-late.rules, so this file must sort before it.
    QString text = QStringLiteral(
        "# Lets the user at the local seat open the Velmar converter's hidraw nodes, so that\n"
        "# velmar-converter-update runs without root. Generated at build time from\n"
        "# resources/config.xml: change the identities there, not here.\n"
        "# After installing: udevadm control --reload && udevadm trigger, then plug the\n"
        "# converter in again.\n");
    for (const DeviceIdentity& identity : identities) {
        const QString vid = hex4(identity.vendorId, false);
        const QString pid = hex4(identity.productId, false);
        text.append(QStringLiteral("\n# %1 mode, %2:%3\n").arg(identity.mode, vid, pid));
        // sysfs writes the USB ids in lower case.
        text.append(QStringLiteral("KERNEL==\"hidraw*\", ATTRS{idVendor}==\"%1\", "
                                   "ATTRS{idProduct}==\"%2\", TAG+=\"uaccess\"\n")
                        .arg(vid, pid));
        // A hidraw node whose HID device has no USB parent (uhid, Bluetooth) is matched by the
        // HID device's name, bus:vendor:product.instance, which the kernel writes in upper case.
        text.append(QStringLiteral("KERNEL==\"hidraw*\", SUBSYSTEMS==\"hid\", "
                                   "KERNELS==\"????:%1:%2.*\", TAG+=\"uaccess\"\n")
                        .arg(hex4(identity.vendorId, true), hex4(identity.productId, true)));
    }
    return text;
}
