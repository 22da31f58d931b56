#include "GadgetEndpoint.h"

#include "ConverterReportDescriptor.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

static const QString gadgetRoot = QStringLiteral("/sys/kernel/config/usb_gadget");
static const QString function = QStringLiteral("functions/hid.usb0");

static QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// configfs attributes take one write() each; QFile would buffer and hide the kernel's errno.
static bool writeAttribute(const QString& path, const QByteArray& value, QString* error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, errnoText());
        return false;
    }
    const ssize_t written = ::write(fd, value.constData(), static_cast<size_t>(value.size()));
    const int writeErrno = errno;
    ::close(fd);
    if (written != value.size()) {
        errno = writeErrno;
        *error = QStringLiteral("cannot write %1: %2").arg(path, errnoText());
        return false;
    }
    return true;
}

static QByteArray readAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed();
}

static QString sanitized(const QString& text) {
    QString result;
    for (const QChar c : text)
        result.append(c.isLetterOrNumber() && c.unicode() < 0x80 ? c : QChar('_'));
    return result;
}

std::unique_ptr<GadgetEndpoint> GadgetEndpoint::create(const KernelHidIdentity& identity,
                                                       QString* error) {
    if (!QDir(gadgetRoot).exists()) {
        *error =
            QStringLiteral("%1 does not exist (configfs or libcomposite missing)").arg(gadgetRoot);
        return nullptr;
    }
    const QString path = gadgetRoot + QStringLiteral("/velmar_") + sanitized(identity.serial);
    if (QDir(path).exists()) {
        *error = QStringLiteral("a gadget named %1 already exists").arg(path);
        return nullptr;
    }
    std::unique_ptr<GadgetEndpoint> endpoint(new GadgetEndpoint(path));
    if (!endpoint->build(identity, error))
        return nullptr; // the destructor removes what was built
    return endpoint;
}

GadgetEndpoint::GadgetEndpoint(QString gadgetPath) : gadgetPath_(std::move(gadgetPath)) {}

GadgetEndpoint::~GadgetEndpoint() {
    remove();
}

bool GadgetEndpoint::build(const KernelHidIdentity& identity, QString* error) {
    QDir dir;
    for (const char* sub : {"strings/0x409", "configs/c.1/strings/0x409", "functions/hid.usb0"}) {
        if (!dir.mkpath(gadgetPath_ + '/' + QLatin1String(sub))) {
            *error = QStringLiteral("cannot create %1/%2").arg(gadgetPath_, QLatin1String(sub));
            return false;
        }
    }
    const QByteArray hexVendor = "0x" + QByteArray::number(identity.vendorId, 16);
    const QByteArray hexProduct = "0x" + QByteArray::number(identity.productId, 16);
    const struct {
        const char* attribute;
        QByteArray value;
    } attributes[] = {
        {"idVendor", hexVendor},
        {"idProduct", hexProduct},
        {"bcdDevice", "0x0100"},
        {"bcdUSB", "0x0200"},
        {"strings/0x409/manufacturer", "Velmar"},
        {"strings/0x409/product", identity.name.toUtf8()},
        {"strings/0x409/serialnumber", identity.serial.toUtf8()},
        {"configs/c.1/strings/0x409/configuration", "loader"},
        {"configs/c.1/MaxPower", "100"},
        {"functions/hid.usb0/protocol", "0"},
        {"functions/hid.usb0/subclass", "0"},
        {"functions/hid.usb0/report_length", QByteArray::number(converterReportLength)},
        {"functions/hid.usb0/report_desc", converterReportDescriptor()},
    };
    for (const auto& [attribute, value] : attributes) {
        if (!writeAttribute(gadgetPath_ + '/' + QLatin1String(attribute), value, error))
            return false;
    }
    const QString link = gadgetPath_ + QStringLiteral("/configs/c.1/hid.usb0");
    if (::symlink(QFile::encodeName(gadgetPath_ + '/' + function).constData(),
                  QFile::encodeName(link).constData()) != 0) {
        *error = QStringLiteral("cannot link the HID function into the configuration: %1")
                     .arg(errnoText());
        return false;
    }
    return bindToFreeController(error) && openFunctionNode(error);
}

// dummy_hcd offers as many controllers as its num= parameter; each takes one gadget, and the
// kernel answers EBUSY for one that another gadget holds.
bool GadgetEndpoint::bindToFreeController(QString* error) {
    const QStringList controllers = QDir(QStringLiteral("/sys/class/udc"))
                                        .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (controllers.isEmpty()) {
        *error =
            QStringLiteral("no USB device controller in /sys/class/udc (dummy_hcd not loaded)");
        return false;
    }
    for (const QString& controller : controllers) {
        QString attempt;
        if (writeAttribute(gadgetPath_ + QStringLiteral("/UDC"), controller.toUtf8(), &attempt))
            return true;
        *error = attempt;
    }
    *error = QStringLiteral("every USB device controller is taken (%1)").arg(*error);
    return false;
}

bool GadgetEndpoint::openFunctionNode(QString* error) {
    const QByteArray majorMinor =
        readAttribute(gadgetPath_ + '/' + function + QStringLiteral("/dev"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        const QDir hidg(QStringLiteral("/sys/class/hidg"));
        for (const QString& name : hidg.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (readAttribute(hidg.filePath(name) + QStringLiteral("/dev")) != majorMinor)
                continue;
            const QByteArray node = QFile::encodeName(QStringLiteral("/dev/") + name);
            fd_ = ::open(node.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd_ >= 0)
                return true;
        }
        QThread::msleep(20);
    }
    *error = QStringLiteral("no /dev/hidgN appeared for the gadget function %1")
                 .arg(QString::fromLatin1(majorMinor));
    return false;
}

void GadgetEndpoint::remove() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    QString ignored;
    if (QFile::exists(gadgetPath_ + QStringLiteral("/UDC")) &&
        !readAttribute(gadgetPath_ + QStringLiteral("/UDC")).isEmpty())
        writeAttribute(gadgetPath_ + QStringLiteral("/UDC"), "\n", &ignored);
    ::unlink(QFile::encodeName(gadgetPath_ + QStringLiteral("/configs/c.1/hid.usb0")).constData());
    // configfs removes the attributes itself; the folders go innermost first.
    for (const char* sub :
         {"configs/c.1/strings/0x409", "configs/c.1", "functions/hid.usb0", "strings/0x409", ""})
        ::rmdir(QFile::encodeName(gadgetPath_ + '/' + QLatin1String(sub)).constData());
}

int GadgetEndpoint::descriptor() const {
    return fd_;
}

std::optional<QByteArray> GadgetEndpoint::takeOutputReport() {
    char buffer[4096];
    ssize_t got;
    do {
        got = ::read(fd_, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno != EAGAIN)
            lastError_ = QStringLiteral("reading the gadget failed: %1").arg(errnoText());
        return std::nullopt;
    }
    // The host's USB HID driver has already dropped the report-id byte.
    return QByteArray(buffer, got);
}

// The gadget holds one input report at a time until the host polls for it. A host that stopped
// listening would block a plain write for ever, so wait only `timeoutMs` and drop the report then,
// as the hardware would.
bool GadgetEndpoint::sendInputReport(const QByteArray& report, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ssize_t written =
            ::write(fd_, report.constData(), static_cast<size_t>(report.size()));
        if (written == report.size())
            return true;
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            lastError_ = QStringLiteral("writing the gadget failed: %1").arg(errnoText());
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            lastError_ = QStringLiteral("the host did not take the input report within %1 ms")
                             .arg(timeoutMs);
            return false;
        }
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
}

bool GadgetEndpoint::waitUntilTaken(int timeoutMs) {
    pollfd p{fd_, POLLOUT, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLOUT);
}

QString GadgetEndpoint::lastError() const {
    return lastError_;
}
