#pragma once

#include "device/HidService.h"
#include "device/HidrawNode.h"

#include <QSocketNotifier>

class HidrawNodeSource;

// One attached hidraw node and, while it is open, its descriptor: writes output reports to it and
// hands each input report read from it to the registered callback. Reading or writing that shows
// the device has gone (hang-up, end of file, ENODEV) closes it and tells the owner once.
class HidrawDevice : public HidDevice, public std::enable_shared_from_this<HidrawDevice> {
public:
    static constexpr int maxReportSize = 64;

    HidrawDevice(const void* owner, HidrawNode node, std::function<void(HidrawDevice&)> wentAway)
        : owner_(owner), node_(std::move(node)), wentAway_(std::move(wentAway)) {}
    ~HidrawDevice() override { release(); }
    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    const void* owner() const { return owner_; }
    const HidrawNode& node() const { return node_; }
    bool isOpen() const { return fd_ >= 0; }
    bool isGone() const { return gone_; }

    int32_t open(HidrawNodeSource& source);
    int32_t close();
    // One write of report id 0 followed by the report bytes.
    int32_t writeReport(const QByteArray& report);
    void setInputReportCallback(HidService::InputReportCallback callback) {
        inputReportCallback_ = std::move(callback);
    }
    // Closes the descriptor for good; later operations fail with -ENODEV. Does not call
    // `wentAway`: whoever calls this already knows.
    void markGone();

    QString lastErrorReason() const { return lastErrorReason_; }

    // Whether a failed write's error means the device has gone. On a hidraw node EPIPE is the
    // device stalling its output endpoint: that one write failed, the converter is still there
    // and takes the next. On a socket standing in for the node, EPIPE means the peer has closed.
    static bool meansGone(int error, bool onSocket);

private:
    void readReports();
    int32_t fail(int error, const char* operation);
    void release();
    void goneWhile(int error, const char* operation);

    const void* const owner_;
    const HidrawNode node_;
    const std::function<void(HidrawDevice&)> wentAway_;
    int fd_ = -1;
    bool isSocket_ = false;
    bool gone_ = false;
    bool reading_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    HidService::InputReportCallback inputReportCallback_;
    QString lastErrorReason_;
};
