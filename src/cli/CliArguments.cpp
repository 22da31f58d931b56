#include "cli/CliArguments.h"

#include <QCommandLineParser>

namespace {

using Usage = CliArguments::UsageError;

struct Options {
    QCommandLineOption device{"device", "Use the converter on this hidraw node.", "node"};
    QCommandLineOption json{"json", "Write one JSON object per line for each event."};
    QCommandLineOption online{"online", "Use the release server's version lists."};
    QCommandLineOption mode{"mode", "standard or tournament (default standard).", "mode"};
    QCommandLineOption version{"version", "The release to install.", "V"};
    QCommandLineOption file{"file", "Install this HEX image instead of a release.", "image.hex"};
    QCommandLineOption checksum{"checksum", "The image's checksum, as 0xNNNN.", "0xNNNN"};
    QCommandLineOption description{"description", "The image's description file.", "tmp.txt"};
    QCommandLineOption ftpHost{"ftp-host", "Release server (host or host:port).", "host"};
    QCommandLineOption simulate{"simulate", "Run against a virtual converter, no hardware."};
    QCommandLineOption converters{"converters", "With --simulate: how many (0 to 2).", "n"};
    QCommandLineOption refuseOpen{"refuse-open",
                                  "With --simulate: the last converter may not be opened."};
    QCommandLineOption replyDelay{"reply-delay", "With --simulate: answer after this long.", "ms"};
    QCommandLineOption unplugAfter{
        "unplug-after", "With --simulate: pull it out after this many data packets.", "packets"};
    QCommandLineOption unplugAwaiting{
        "unplug-awaiting", "With --simulate: pull it out while this data packet awaits its answer.",
        "packet"};
    QCommandLineOption wrongFinalChecksum{"wrong-final-checksum",
                                          "With --simulate: report a wrong final checksum."};
    QCommandLineOption verbose{
        "verbose", "Write the diagnostic lines to standard error, for a support request."};
    QCommandLineOption help{{"h", "help"}, "Show this help."};

    QList<QCommandLineOption> all() const {
        return {device,     json,        online,         mode,
                version,    file,        checksum,       description,
                ftpHost,    simulate,    converters,     refuseOpen,
                replyDelay, unplugAfter, unplugAwaiting, wrongFinalChecksum,
                verbose,    help};
    }
};

void describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(
        "Updates the firmware of a Velmar converter attached in its loader mode.\n\n"
        "Commands:\n"
        "  list       every converter attached now\n"
        "  releases   the releases for the converter [--mode M] [--online]\n"
        "  update     --version V [--mode M] [--online]\n"
        "             | --file IMAGE.hex (--checksum 0xNNNN | --description tmp.txt)\n\n"
        "Exit status: 0 done, 1 update failed, 2 usage error, 3 no converter,\n"
        "4 permission denied, 5 download failed. See velmar-converter-cli(1).");
    parser.addPositionalArgument("command", "list, releases or update.");
    parser.addOptions(options.all());
}

// A whole number within [least, most], or absent.
std::optional<int> number(const QString& text, int least, int most) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
}

// The checksum the converter reports is 16 bits wide; anything else could never match.
std::optional<qint64> checksumValue(const QString& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 0);
    if (!ok || value < 0 || value > 0xFFFF)
        return std::nullopt;
    return value;
}

std::optional<Usage> readSimulation(const QCommandLineParser& parser, const Options& options,
                                    CliArguments& arguments) {
    const QList<QCommandLineOption> simulationOnly = {
        options.converters,  options.refuseOpen,     options.replyDelay,
        options.unplugAfter, options.unplugAwaiting, options.wrongFinalChecksum};
    if (!parser.isSet(options.simulate)) {
        for (const QCommandLineOption& option : simulationOnly) {
            if (parser.isSet(option))
                return Usage{QString("--%1 goes with --simulate.").arg(option.names().first())};
        }
        return std::nullopt;
    }
    CliArguments::Simulation simulation;
    const auto count = [&](const QCommandLineOption& option, int unset,
                           int most) -> std::optional<int> {
        return parser.isSet(option) ? number(parser.value(option), 0, most) : unset;
    };
    const std::optional<int> converters = count(options.converters, 1, 2);
    const std::optional<int> delay = count(options.replyDelay, 0, 60000);
    if (!converters || !delay)
        return Usage{"--converters takes 0 to 2, --reply-delay milliseconds up to 60000."};
    simulation.converters = *converters;
    simulation.replyDelayMs = *delay;
    simulation.refuseOpen = parser.isSet(options.refuseOpen);
    simulation.wrongFinalChecksum = parser.isSet(options.wrongFinalChecksum);
    for (auto [option, target] : {std::pair{&options.unplugAfter, &simulation.unplugAfter},
                                  std::pair{&options.unplugAwaiting, &simulation.unplugAwaiting}}) {
        if (!parser.isSet(*option))
            continue;
        *target = number(parser.value(*option), 1, 1 << 16);
        if (!*target)
            return Usage{
                QString("--%1 takes a packet number from 1.").arg(option->names().first())};
    }
    arguments.simulation = simulation;
    return std::nullopt;
}

// Which options go with which command, and the two ways of naming an image for an update.
std::optional<Usage> checkCombination(const CliArguments& arguments) {
    using Command = CliArguments::Command;
    const bool release = arguments.version.has_value();
    const bool file = arguments.file.has_value();
    const bool fileCheck = arguments.checksum || arguments.description;
    if (arguments.command != Command::Update && (release || file || fileCheck))
        return Usage{"--version, --file, --checksum and --description go with update."};
    if (arguments.command == Command::List && arguments.online)
        return Usage{"--online goes with releases and update."};
    if (arguments.command != Command::Update)
        return std::nullopt;
    if (release == file)
        return Usage{"update needs either --version V or --file IMAGE.hex."};
    if (release && fileCheck)
        return Usage{"A release carries its own checksum; --checksum and --description go with "
                     "--file."};
    if (file && arguments.online)
        return Usage{"--online chooses a release; it does not go with --file."};
    if (file && (arguments.checksum.has_value() == arguments.description.has_value()))
        return Usage{"--file needs either --checksum 0xNNNN or --description tmp.txt."};
    return std::nullopt;
}

} // namespace

std::variant<CliArguments, CliArguments::UsageError>
CliArguments::parse(const QStringList& commandLine) {
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    if (!parser.parse(commandLine)) {
        QString error = parser.errorText();
        return Usage{error.endsWith('.') ? error : error + "."};
    }

    CliArguments arguments;
    if (parser.isSet(options.help)) {
        arguments.help = true;
        return arguments;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return Usage{"Name one command: list, releases or update."};
    const QString& command = positional.first();
    if (command == "list")
        arguments.command = Command::List;
    else if (command == "releases")
        arguments.command = Command::Releases;
    else if (command == "update")
        arguments.command = Command::Update;
    else
        return Usage{QString("Unknown command \"%1\": use list, releases or update.").arg(command)};

    if (parser.isSet(options.mode)) {
        const QString mode = parser.value(options.mode);
        if (mode != "standard" && mode != "tournament")
            return Usage{"--mode takes standard or tournament."};
        arguments.mode = mode == "standard" ? Mode::Standard : Mode::Tournament;
    }
    if (parser.isSet(options.checksum)) {
        arguments.checksum = checksumValue(parser.value(options.checksum));
        if (!arguments.checksum)
            return Usage{"--checksum takes the 16-bit checksum, as 0x0000 to 0xFFFF."};
    }
    const auto text = [&parser](const QCommandLineOption& option) -> std::optional<QString> {
        return parser.isSet(option) ? std::optional(parser.value(option)) : std::nullopt;
    };
    arguments.device = text(options.device);
    arguments.version = text(options.version);
    arguments.file = text(options.file);
    arguments.description = text(options.description);
    arguments.ftpHost = text(options.ftpHost);
    arguments.json = parser.isSet(options.json);
    arguments.online = parser.isSet(options.online);
    arguments.verbose = parser.isSet(options.verbose);
    if (std::optional<Usage> error = readSimulation(parser, options, arguments))
        return *error;
    if (std::optional<Usage> error = checkCombination(arguments))
        return *error;
    return arguments;
}

QString CliArguments::helpText() {
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    return parser.helpText();
}
