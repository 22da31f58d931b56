#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// The command line, checked: one command with the options that go with it. Everything that can be
// wrong without looking at a converter is found here, so a usage error never touches a device.
struct CliArguments {
    enum class Command { List, Releases, Update };
    enum class Mode { Standard, Tournament };

    // How the virtual converters of --simulate misbehave; the same faults the demo offers.
    struct Simulation {
        int converters = 1;      // how many are plugged in
        bool refuseOpen = false; // the last one plugged in may not be opened (permission)
        int replyDelayMs = 0;
        std::optional<int> unplugAfter;
        std::optional<int> unplugAwaiting;
        bool wrongFinalChecksum = false;
    };

    Command command = Command::List;
    std::optional<QString> device; // a hidraw node, when several converters are attached
    bool json = false;
    bool online = false;
    Mode mode = Mode::Standard;
    std::optional<QString> version;
    std::optional<QString> file;
    std::optional<qint64> checksum;
    std::optional<QString> description;
    std::optional<QString> ftpHost;
    std::optional<Simulation> simulation; // set by --simulate
    bool verbose = false;                 // the diagnostic lines on standard error
    bool help = false;

    struct UsageError {
        QString message; // one sentence that says what is wrong and what to write instead
    };

    // `arguments` as the program received them, its own path first.
    static std::variant<CliArguments, UsageError> parse(const QStringList& arguments);
    // The text --help prints.
    static QString helpText();
};
