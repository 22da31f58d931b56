#pragma once

#include <QString>
#include <cstdio>
#include <optional>

#include "cli/ExitCode.h"
#include "cli/ProgressBar.h"
#include "core/UIStatus.h"

// Where the words go: results to standard output, failures and next steps to standard error.
struct ConsoleStreams {
    FILE* out = stdout;
    FILE* err = stderr;
    bool outIsTerminal = false;
    int columns = 80; // the terminal's width
    // Colour on the stream, for a terminal whose user has not asked for none (NO_COLOR).
    bool outColour = false;
    bool errColour = false;
};

// What a command tells its user, event by event: to a person (TextReport) or a script (JsonReport).
class CommandReport {
public:
    // A converter as the list shows it; what it did not say, or the configuration lacks, is empty.
    struct Converter {
        QString node;
        int vendorId = 0;
        int productId = 0;
        QString partNumber;
        QString version;
        QString deviceName;
    };

    struct Failure {
        QString what;
        QString next;
    };

    virtual ~CommandReport() = default;

    virtual void found(const Converter&) {}
    virtual void identified(const Converter& converter) = 0;
    virtual void unidentified(const Converter& converter, const QString& why) = 0;
    virtual void release(const QString& version, const QString& mode) = 0;
    // An update's status, as the window would show it.
    virtual void status(UIStatus status) = 0;
    virtual void download(const QString& file) = 0;
    virtual void progress(const ProgressBar::Progress& progress) = 0;
    // The end of the command, with what the converter runs afterwards when it was read again.
    virtual void result(ExitCode code, const Failure& failure,
                        const std::optional<QString>& version) = 0;
    // What to do next; always standard error, always plain words.
    void advise(const QString& advice) { write(streams_.err, advice + "\n"); }

protected:
    explicit CommandReport(ConsoleStreams streams) : streams_(streams) {}
    void write(FILE* stream, const QString& text);

    ConsoleStreams streams_;
};
