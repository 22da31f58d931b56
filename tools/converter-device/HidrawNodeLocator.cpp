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
// and mode). The entry of an earlier device with the same numbers may still be there, since the
// kernel hands the numbers of an unplugged device to the next one at once, so only an entry
// written after the node last changed counts. Without udev there is nothing to wait for.
static bool udevIsDone(const QString& node) {
    if (!QDir(QStringLiteral("/run/udev/data")).exists())
        return true;
    struct stat nodeStatus {};
    if (::stat(QFile::encodeName(node).constData(), &nodeStatus) != 0)
        return false;
    const QByteArray entry = QStringLiteral("/run/udev/data/c%1:%2")
                                 .arg(major(nodeStatus.st_rdev))
                                 .arg(minor(nodeStatus.st_rdev))
                                 .toLatin1();
    struct stat entryStatus {};
    if (::stat(entry.constData(), &entryStatus) != 0)
        return false;
    const auto nanoseconds = [](const timespec& t) {
        return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
    };
    return nanoseconds(entryStatus.st_mtim) >= nanoseconds(nodeStatus.st_ctim);
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
