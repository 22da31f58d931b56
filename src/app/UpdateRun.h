#pragma once

#include <QByteArray>
#include <optional>

class ViewController;

// What START sets going: the firmware image is fetched (downloaded from the release server, or
// read from the releases shipped with the program), sent to the converter, the end of the upgrade
// announced, and the outcome shown. It runs as a job on the GUI thread, queued so that it starts
// after the button handler has returned.
class UpdateRun {
public:
    explicit UpdateRun(ViewController& controller);

    // Queues the job of the variant `online` selects. False, and nothing queued, while a job is
    // queued or running: a second job would run inside the first one's waits and reset the packet
    // counter under the transfer.
    bool queue(bool online);
    // From the press of START until the job has ended.
    bool isActive() const { return active_; }

private:
    void run(bool online);
    std::optional<QByteArray> downloadImage();
    std::optional<QByteArray> readShippedImage();
    void transferAndFinish(const QByteArray& image);

    ViewController& controller_;
    bool active_ = false;
};
