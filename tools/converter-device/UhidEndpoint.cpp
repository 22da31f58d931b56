#include "UhidEndpoint.h"

#include "ConverterReportDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

static bool writeEvent(int fd, const uhid_event& event) {
    ssize_t written;
    do {
        written = ::write(fd, &event, sizeof event);
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(sizeof event);
}

static void copyText(const QString& text, __u8* target, size_t capacity) {
    const QByteArray bytes = text.toUtf8().left(static_cast<qsizetype>(capacity - 1));
    std::memcpy(target, bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::unique_ptr<UhidEndpoint> UhidEndpoint::create(const KernelHidIdentity& identity,
                                                   QString* error) {
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot open /dev/uhid: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    std::unique_ptr<UhidEndpoint> endpoint(new UhidEndpoint(fd));

    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req& create = event.u.create2;
    copyText(identity.name, create.name, sizeof create.name);
    copyText(QStringLiteral("velmar-converter-device"), create.phys, sizeof create.phys);
    copyText(identity.serial, create.uniq, sizeof create.uniq);
    const QByteArray descriptor = converterReportDescriptor();
    create.rd_size = static_cast<__u16>(descriptor.size());
    std::memcpy(create.rd_data, descriptor.constData(), static_cast<size_t>(descriptor.size()));
    create.bus = 0x03; // BUS_USB: the host treats it like the converter on its USB port
    create.vendor = identity.vendorId;
    create.product = identity.productId;
    create.version = 0x0100;
    if (!writeEvent(fd, event)) {
        *error = QStringLiteral("the kernel refused the uhid device: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    return endpoint;
}

UhidEndpoint::UhidEndpoint(int fd) : fd_(fd) {}

UhidEndpoint::~UhidEndpoint() {
    uhid_event event{};
    event.type = UHID_DESTROY;
    writeEvent(fd_, event);
    ::close(fd_);
}

int UhidEndpoint::descriptor() const {
    return fd_;
}

std::optional<QByteArray> UhidEndpoint::takeOutputReport() {
    uhid_event event{};
    ssize_t got;
    do {
        got = ::read(fd_, &event, sizeof event);
    } while (got < 0 && errno == EINTR);
    if (got < static_cast<ssize_t>(sizeof event.type)) {
        lastError_ = QStringLiteral("reading /dev/uhid failed: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    switch (event.type) {
    case UHID_OUTPUT: {
        const uhid_output_req& output = event.u.output;
        QByteArray report(reinterpret_cast<const char*>(output.data),
                          std::min<qsizetype>(output.size, UHID_DATA_MAX));
        // hidraw hands uhid the report-id byte the host wrote; the USB HID driver drops a zero
        // id before the report goes on the wire, so a real converter never sees it. Do the same.
        if (!report.isEmpty() && report.at(0) == 0)
            report.remove(0, 1);
        return report;
    }
    case UHID_GET_REPORT:
        answerReportRequest(UHID_GET_REPORT_REPLY, event.u.get_report.id);
        return std::nullopt;
    case UHID_SET_REPORT:
        answerReportRequest(UHID_SET_REPORT_REPLY, event.u.set_report.id);
        return std::nullopt;
    default: // start, stop, open, close: nothing to answer
        return std::nullopt;
    }
}

// The converter has no feature reports; a host that asks for one gets an I/O error instead of
// waiting for the kernel's time-out.
void UhidEndpoint::answerReportRequest(uint32_t type, uint32_t id) {
    uhid_event reply{};
    reply.type = type;
    if (type == UHID_GET_REPORT_REPLY) {
        reply.u.get_report_reply.id = id;
        reply.u.get_report_reply.err = EIO;
    } else {
        reply.u.set_report_reply.id = id;
        reply.u.set_report_reply.err = EIO;
    }
    writeEvent(fd_, reply);
}

bool UhidEndpoint::sendInputReport(const QByteArray& report, int /*timeoutMs*/) {
    // uhid queues the report at once; there is nothing to wait for.
    uhid_event event{};
    event.type = UHID_INPUT2;
    const auto size = std::min<qsizetype>(report.size(), UHID_DATA_MAX);
    event.u.input2.size = static_cast<__u16>(size);
    std::memcpy(event.u.input2.data, report.constData(), static_cast<size_t>(size));
    if (writeEvent(fd_, event))
        return true;
    lastError_ = QStringLiteral("uhid input report refused: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

QString UhidEndpoint::lastError() const {
    return lastError_;
}
