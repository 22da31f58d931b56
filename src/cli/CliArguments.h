#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// The command line, checked whole before any converter is touched: one command and its options.
struct CliArguments {
    enum class Command { List, Releases, Update };
    enum class Mode { Standard, Tournament };

    // How the virtual converters of --simulate misbehave; the same faults the demo offers.
    struct Simulation {
        int converters = 1;      // how many are plugged in
        bool refuseOpen = false; // the last one plugged in may not be opened (permission)
        int replyDelayMs = 0;
        std::optional<int> unplugAfter = {};
        std::optional<int> unplugAwaiting = {};
        bool wrongFinalChecksum = false;
        std::optional<int> plugAfterMs; // plugged in this long after the start, not before
    };

    Command command = Command::List;
    std::optional<QString> device; // a hidraw node, when several converters are attached
    bool json = false;
    bool online = false;
    Mode mode = Mode::Standard;
    std::optional<QString> release;
    std::optional<QString> partNumber; // releases without a converter attached
    std::optional<QString> file;
    bool force = false; // writes a file whose record checksums are wrong
    std::optional<qint64> checksum;
    std::optional<QString> description;
    std::optional<QString> ftpHost;
    // Set by --wait: the seconds to wait for a converter to be plugged in, 0 for no limit.
    std::optional<int> waitSeconds;
    std::optional<Simulation> simulation; // set by --simulate
    bool verbose = false;                 // the diagnostic lines on standard error
    bool help = false;
    bool version = false; // the program's own

    struct UsageError {
        QString message; // one sentence that says what is wrong and what to write instead
    };

    // `arguments` as the program received them, its own path first.
    static std::variant<CliArguments, UsageError> parse(const QStringList& arguments);
    static QString helpText();
};
