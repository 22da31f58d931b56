#pragma once

#include "cli/CommandReport.h"

// Words for a person: the converters and releases on standard output, a progress bar (redrawn in
// place on a terminal, plain lines elsewhere), and a failure on standard error as two lines, what
// happened and what to do next. On a terminal the result stands out: green for an update that went
// through, red for what went wrong.
class TextReport : public CommandReport {
public:
    explicit TextReport(ConsoleStreams streams)
        : CommandReport(streams), bar_(streams.outIsTerminal, streams.columns) {}

    void found(const Converter&) override {}
    void identified(const Converter& converter) override;
    void unidentified(const Converter& converter, const QString& why) override;
    void release(const QString& version, const QString& mode) override;
    void status(UIStatus status) override;
    void download(const QString& file) override;
    void progress(const ProgressBar::Progress& progress) override;
    void result(ExitCode code, const Failure& failure,
                const std::optional<QString>& version) override;

    // "/dev/hidraw3  1209:0002  QK100201  V1.0.0.5  Velmar Pad Converter Pro"
    static QString line(const Converter& converter);

private:
    // `text` in the colour of the SGR code `colour`, where the stream takes colour.
    static QString painted(const QString& text, bool colourOn, const char* colour);

    ProgressBar bar_;
};
