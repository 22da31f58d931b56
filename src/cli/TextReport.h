#pragma once

#include "cli/CommandReport.h"

// Words for a person: results and a progress bar on standard output, a failure on standard error
// as what happened and what to do next. On a terminal, success shows green and failure red.
class TextReport : public CommandReport {
public:
    explicit TextReport(ConsoleStreams streams)
        : CommandReport(streams), bar_(streams.outIsTerminal, streams.columns) {}

    void identified(const Converter& converter) override;
    void unidentified(const Converter& converter, const QString& why) override;
    void release(const QString& version, const QString& mode) override;
    void status(UIStatus status) override;
    void download(const QString& file) override;
    void progress(const ProgressBar::Progress& progress) override;
    void result(ExitCode code, const Failure& failure,
                const std::optional<QString>& version) override;

private:
    ProgressBar bar_;
};
