#pragma once

#include <QJsonObject>

#include "cli/CommandReport.h"

// One compact JSON object a line on standard output for each event, with an "event" member naming
// it, and nothing else there. Progress comes at most once a percent.
class JsonReport : public CommandReport {
public:
    explicit JsonReport(ConsoleStreams streams) : CommandReport(streams) {}

    void found(const Converter& converter) override;
    void identified(const Converter& converter) override;
    void unidentified(const Converter& converter, const QString& why) override;
    void release(const QString& version, const QString& mode) override;
    void status(UIStatus status) override;
    void download(const QString& file) override { writeEvent("download", {{"file", file}}); }
    void progress(const ProgressBar::Progress& progress) override;
    void result(ExitCode code, const Failure& failure,
                const std::optional<QString>& version) override;

private:
    void writeEvent(const QString& event, QJsonObject fields);

    int shownPercent_ = -1;
};
