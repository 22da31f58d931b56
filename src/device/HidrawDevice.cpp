#include "device/HidrawDevice.h"

#include "device/HidrawNodeSource.h"

#include <QVarLengthArray>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// How long a write waits for room before it gives up; a hidraw write normally never has to.
constexpr int writeRoomTimeoutMs = 1000;
} // namespace

bool HidrawDevice::meansGone(int error, bool onSocket) {
    if (error == EPIPE)
        return onSocket;
    return error == ENODEV || error == ECONNRESET || error == ENOTCONN || error == ESHUTDOWN ||
           error == ENXIO;
}

int32_t HidrawDevice::open(HidrawNodeSource& source) {
    if (gone_)
        return fail(ENODEV, "open");
    if (fd_ >= 0)
        return 0;
    const int fd = source.openNode(node_.devnode);
    if (fd < 0)
        return fail(-fd, "open");
    struct stat status {};
    // A socket standing in for the node must not raise SIGPIPE when its peer has gone.
    isSocket_ = ::fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode);
    fd_ = fd;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { readReports(); });
    return 0;
}

int32_t HidrawDevice::close() {
    if (gone_)
        return fail(ENODEV, "close");
    if (fd_ < 0)
        return fail(EBADF, "close");
    release();
    return 0;
}

int32_t HidrawDevice::writeReport(const QByteArray& report) {
    if (gone_)
        return fail(ENODEV, "write");
    if (fd_ < 0)
        return fail(EBADF, "write");
    // hidraw takes the report id as the first byte; 0 for a device without numbered reports.
    // One contiguous buffer, because hidraw would turn a writev into one write per piece.
    QVarLengthArray<char, 1 + maxReportSize> frame(report.size() + 1);
    frame[0] = '\0';
    std::memcpy(frame.data() + 1, report.constData(), static_cast<size_t>(report.size()));
    const size_t length = static_cast<size_t>(frame.size());
    bool waitedForRoom = false;
    for (;;) {
        const ssize_t written = isSocket_ ? ::send(fd_, frame.constData(), length, MSG_NOSIGNAL)
                                          : ::write(fd_, frame.constData(), length);
        if (written == static_cast<ssize_t>(length))
            return 0;
        if (written >= 0)
            return fail(EIO, "write (short)");
        const int error = errno;
        if (error == EINTR)
            continue;
        if ((error == EAGAIN || error == EWOULDBLOCK) && !waitedForRoom) {
            pollfd room{fd_, POLLOUT, 0};
            ::poll(&room, 1, writeRoomTimeoutMs);
            waitedForRoom = true;
            continue;
        }
        if (meansGone(error, isSocket_)) {
            goneWhile(error, "write");
            return -ENODEV;
        }
        return fail(error, "write");
    }
}

void HidrawDevice::markGone() {
    gone_ = true;
    release();
}

void HidrawDevice::readReports() {
    // A callback that runs the event loop would otherwise re-enter here for the same report.
    if (reading_ || fd_ < 0)
        return;
    // Callbacks may drop the last outside reference to this device.
    const std::shared_ptr<HidrawDevice> keepAlive = shared_from_this();
    reading_ = true;
    // One report per activation: a reply is almost always alone, and reading on until EAGAIN
    // would cost every exchange a system call. Another pending report keeps the descriptor
    // readable, so the notifier comes straight back for it.
    char buffer[maxReportSize];
    ssize_t length;
    do
        length = ::read(fd_, buffer, sizeof buffer);
    while (length < 0 && errno == EINTR);
    const int error = errno;
    if (length > 0) {
        const HidService::InputReportCallback callback = inputReportCallback_;
        if (callback)
            callback(0, QByteArray(buffer, static_cast<qsizetype>(length)));
    } else if (length == 0) {
        // End of file: the other end of the descriptor has closed.
        goneWhile(ENODEV, "read (end of file)");
    } else if (error != EAGAIN && error != EWOULDBLOCK) {
        // hidraw answers EIO (and signals hang-up) once the device is unplugged.
        goneWhile(error, "read");
    }
    reading_ = false;
}

int32_t HidrawDevice::fail(int error, const char* operation) {
    lastErrorReason_ = QStringLiteral("%1 %2: %3")
                           .arg(QString::fromLatin1(operation), node_.devnode,
                                QString::fromLocal8Bit(std::strerror(error)));
    return -error;
}

void HidrawDevice::release() {
    // Qt wants the notifier gone before its descriptor is closed.
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void HidrawDevice::goneWhile(int error, const char* operation) {
    if (gone_)
        return;
    fail(error, operation);
    markGone();
    if (wentAway_)
        wentAway_(*this);
}
