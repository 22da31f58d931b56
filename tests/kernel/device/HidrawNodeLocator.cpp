#include "HidrawNodeLocator.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <chrono>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static QByteArray ueventValue(const QByteArray& uevent, const QByteArray& key) {
    for (const QByteArray& line : uevent.split('\n')) {
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1);
    }
    return {};
}

std::optional<QString> HidrawNodeLocator::findNode(const KernelHidIdentity& identity) {
    // HID_ID reads "BUS:VENDOR:PRODUCT" with eight upper-case hex digits each.
    const QByteArray wantedId = QStringLiteral("0003:%1:%2")
                                    .arg(identity.vendorId, 8, 16, QChar('0'))
                                    .arg(identity.productId, 8, 16, QChar('0'))
                                    .toUpper()
                                    .toLatin1();
    const QDir hidraw(QStringLiteral("/sys/class/hidraw"));
    for (const QString& name : hidraw.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile uevent(hidraw.filePath(name) + QStringLiteral("/device/uevent"));
        if (!uevent.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = uevent.readAll();
        if (ueventValue(text, "HID_ID") == wantedId &&
            ueventValue(text, "HID_UNIQ") == identity.serial.toUtf8())
            return QStringLiteral("/dev/") + name;
    }
    return std::nullopt;
}

// udev writes its database entry for a device after its rules ran (and changed the node's owner
// and mode); an entry that exists means udev is done. Without udev there is nothing to wait for.
static bool udevIsDone(const QString& node) {
    if (!QDir(QStringLiteral("/run/udev/data")).exists())
        return true;
    struct stat status {};
    if (::stat(QFile::encodeName(node).constData(), &status) != 0)
        return false;
    return QFile::exists(QStringLiteral("/run/udev/data/c%1:%2")
                             .arg(major(status.st_rdev))
                             .arg(minor(status.st_rdev)));
}

std::optional<QString> HidrawNodeLocator::waitForNode(const KernelHidIdentity& identity,
                                                      int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::optional<QString> node = findNode(identity);
        if (node && QFile::exists(*node) && udevIsDone(*node))
            return node;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        QThread::msleep(10);
    }
}
