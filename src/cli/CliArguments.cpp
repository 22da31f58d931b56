#include "cli/CliArguments.h"

#include <QCommandLineParser>
#include <QMap>

namespace {

using Usage = CliArguments::UsageError;

// The simulator's fault switches stay out of --help; the manual page lists them.
QCommandLineOption hidden(QCommandLineOption option) {
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

struct Options {
    QCommandLineOption device{"device", "Use the converter on this hidraw node.", "node"};
    QCommandLineOption json{"json", "Write one JSON object per line for each event."};
    QCommandLineOption online{"online", "Use the release server's version lists."};
    QCommandLineOption mode{"mode", "standard or tournament (default standard).", "mode"};
    QCommandLineOption release{"release", "The release to install.", "V"};
    QCommandLineOption partNumber{"part-number", "List the releases of this part number.", "P"};
    QCommandLineOption file{"file", "Install this HEX image instead of a release.", "image.hex"};
    QCommandLineOption checksum{"checksum", "The image's checksum, as 0xNNNN.", "0xNNNN"};
    QCommandLineOption description{"description", "The image's description file.", "tmp.txt"};
    QCommandLineOption force{"force", "Install a file whose record checksums are wrong."};
    QCommandLineOption wait{"wait", "Wait up to this long (no number: no limit) for a converter.",
                            "seconds"};
    QCommandLineOption ftpHost{"ftp-host", "Release server (host or host:port).", "host"};
    QCommandLineOption simulate{"simulate", "Run against a virtual converter, no hardware."};
    QCommandLineOption converters = hidden({"converters", "", "n"});
    QCommandLineOption refuseOpen = hidden({"refuse-open", ""});
    QCommandLineOption replyDelay = hidden({"reply-delay", "", "ms"});
    QCommandLineOption unplugAfter = hidden({"unplug-after", "", "packets"});
    QCommandLineOption unplugAwaiting = hidden({"unplug-awaiting", "", "packet"});
    QCommandLineOption wrongFinalChecksum = hidden({"wrong-final-checksum", ""});
    QCommandLineOption plugAfter = hidden({"plug-after", "", "ms"});
    QCommandLineOption verbose{
        "verbose", "Write the diagnostic lines to standard error, for a support request."};
    QCommandLineOption help{{"h", "help"}, "Show this help."};
    QCommandLineOption version{"version", "Show the program's version."};

    QList<QCommandLineOption> all() const {
        return QList<QCommandLineOption>{
                   device,      json,  online, mode,    release,  partNumber, file, checksum,
                   description, force, wait,   ftpHost, simulate, verbose,    help, version} +
               QList<QCommandLineOption>{converters,  refuseOpen,     replyDelay,
                                         unplugAfter, unplugAwaiting, wrongFinalChecksum,
                                         plugAfter};
    }
};

void describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(
        "Updates the firmware of a Velmar converter attached in its loader mode.\n\n"
        "Commands:\n"
        "  list       every converter attached now\n"
        "  releases   the releases for the converter [--mode M] [--online]\n"
        "             [--part-number P]\n"
        "  update     --release V [--mode M] [--online] [--wait [SECONDS]]\n"
        "             | --file IMAGE.hex (--checksum 0xNNNN | --description tmp.txt)\n"
        "               [--force]\n\n"
        "Ctrl-C, SIGTERM and SIGHUP end the program at once until the transfer starts\n"
        "(exit 130 for Ctrl-C); from then on the update runs to its end and keeps its\n"
        "exit status.\n\n"
        "Exit status: 0 done, 1 update failed, 2 usage error, 3 no converter,\n"
        "4 permission denied, 5 download failed, 6 image refused (nothing was written).\n"
        "See velmar-converter-cli(1).");
    parser.addPositionalArgument("command", "list, releases or update.");
    parser.addOptions(options.all());
}

// --wait takes its number of seconds only when one follows: "--wait update" waits without limit.
QStringList withWaitValue(QStringList arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        bool seconds = false;
        arguments.value(i + 1).toUInt(&seconds);
        if (arguments[i] == "--wait" && !seconds)
            arguments.insert(i + 1, "0");
    }
    return arguments;
}

// A whole number within [least, most], or absent; base 0 takes C's prefixes, as in 0x1A2B.
std::optional<int> number(const QString& text, int least, int most, int base = 10) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, base);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<Usage> readSimulation(const QCommandLineParser& parser, const Options& options,
                                    CliArguments& arguments) {
    if (!parser.isSet(options.simulate)) {
        // The hidden switches are the ones that only --simulate takes.
        for (const QCommandLineOption& option : options.all())
            if (option.flags().testFlag(QCommandLineOption::HiddenFromHelp) && parser.isSet(option))
                return Usage{QString("--%1 goes with --simulate.").arg(option.names().first())};
        return std::nullopt;
    }
    const auto count = [&](const QCommandLineOption& option, int unset,
                           int most) -> std::optional<int> {
        return parser.isSet(option) ? number(parser.value(option), 0, most) : unset;
    };
    const std::optional<int> converters = count(options.converters, 1, 2);
    const std::optional<int> delay = count(options.replyDelay, 0, 60000);
    const std::optional<int> plugAfter = count(options.plugAfter, -1, 60000);
    if (!converters || !delay || !plugAfter)
        return Usage{"--converters takes 0 to 2, --reply-delay and --plug-after milliseconds up "
                     "to 60000."};
    CliArguments::Simulation simulation{
        .converters = *converters,
        .refuseOpen = parser.isSet(options.refuseOpen),
        .replyDelayMs = *delay,
        .wrongFinalChecksum = parser.isSet(options.wrongFinalChecksum),
        .plugAfterMs = *plugAfter >= 0 ? std::optional(*plugAfter) : std::nullopt};
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
    const bool release = arguments.release.has_value();
    const bool file = arguments.file.has_value();
    const bool fileCheck = arguments.checksum || arguments.description || arguments.force;
    if (arguments.command != Command::Update &&
        (release || file || fileCheck || arguments.waitSeconds))
        return Usage{"--release, --file, --checksum, --description, --force and --wait go with "
                     "update."};
    if (arguments.partNumber && (arguments.command != Command::Releases || arguments.device))
        return Usage{"--part-number goes with releases, instead of --device."};
    if (arguments.command == Command::List && arguments.online)
        return Usage{"--online goes with releases and update."};
    if (arguments.command != Command::Update)
        return std::nullopt;
    if (release == file)
        return Usage{"update needs either --release V or --file IMAGE.hex."};
    if (release && fileCheck)
        return Usage{"A release carries its own checksum; --checksum, --description and --force "
                     "go with --file."};
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
    if (!parser.parse(withWaitValue(commandLine))) {
        QString error = parser.errorText();
        return Usage{error.endsWith('.') ? error : error + "."};
    }

    CliArguments arguments;
    const QStringList positional = parser.positionalArguments();
    // An older script's "update --version V" must not pass for an update that went through.
    if (parser.isSet(options.version) && !positional.isEmpty())
        return Usage{"--version shows the program's version; name the release to install with "
                     "--release V."};
    arguments.help = parser.isSet(options.help);
    arguments.version = !arguments.help && parser.isSet(options.version);
    if (arguments.help || arguments.version)
        return arguments;
    if (positional.size() != 1)
        return Usage{"Name one command: list, releases or update."};
    static const QMap<QString, Command> commands{
        {"list", Command::List}, {"releases", Command::Releases}, {"update", Command::Update}};
    if (!commands.contains(positional.first()))
        return Usage{QString("Unknown command \"%1\": use list, releases or update.")
                         .arg(positional.first())};
    arguments.command = commands.value(positional.first());

    const QString mode = parser.value(options.mode);
    if (parser.isSet(options.mode) && mode != "standard" && mode != "tournament")
        return Usage{"--mode takes standard or tournament."};
    arguments.mode = mode == "tournament" ? Mode::Tournament : Mode::Standard;
    // The checksum the converter reports is 16 bits wide; anything else could never match.
    arguments.checksum = number(parser.value(options.checksum), 0, 0xFFFF, 0);
    if (parser.isSet(options.checksum) && !arguments.checksum)
        return Usage{"--checksum takes the 16-bit checksum, as 0x0000 to 0xFFFF."};
    arguments.waitSeconds = number(parser.value(options.wait), 0, 24 * 3600);
    if (parser.isSet(options.wait) && !arguments.waitSeconds)
        return Usage{"--wait takes the seconds to wait, up to a day, or nothing for no limit."};
    const auto text = [&parser](const QCommandLineOption& option) -> std::optional<QString> {
        return parser.isSet(option) ? std::optional(parser.value(option)) : std::nullopt;
    };
    arguments.device = text(options.device);
    arguments.release = text(options.release);
    arguments.partNumber = text(options.partNumber);
    arguments.file = text(options.file);
    arguments.force = parser.isSet(options.force);
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
