#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/CliArguments.h"
#include "cli/CliSession.h"
#include "cli/JsonReport.h"
#include "cli/SimulatedConverters.h"
#include "cli/TerminationSignals.h"
#include "cli/TextReport.h"
#include "device/HidrawHidService.h"
#include "sim/SimulatedHidService.h"
#include "support/DiagnosticLog.h"
#include "support/ResourceDirectory.h"

namespace {

// The terminal's width from the terminal itself, else from COLUMNS, else the usual 80.
int terminalColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    const int columns = qEnvironmentVariableIntValue("COLUMNS");
    return columns > 0 ? columns : 80;
}

ConsoleStreams consoleStreams() {
    const bool outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    // https://no-color.org: set and not empty.
    const bool colour = qEnvironmentVariableIsEmpty("NO_COLOR");
    return {.outIsTerminal = outIsTerminal,
            .columns = terminalColumns(),
            .outColour = colour && outIsTerminal,
            .errColour = colour && ::isatty(STDERR_FILENO) == 1};
}

} // namespace

// The updater for terminals and scripts: list, releases and update on the converters attached to
// this computer (hidraw), or with --simulate on the demo's virtual converter.
int main(int argc, char** argv) {
    // Output to a pipe whose reader has gone is dropped; the update goes on to its end.
    std::signal(SIGPIPE, SIG_IGN);
    TerminationSignals::endAtOnce();
    QCoreApplication app(argc, argv);
    const auto parsed = CliArguments::parse(QCoreApplication::arguments());
    if (const auto* error = std::get_if<CliArguments::UsageError>(&parsed)) {
        std::fprintf(stderr, "velmar-converter-cli: %s\nTry velmar-converter-cli --help.\n",
                     qPrintable(error->message));
        return static_cast<int>(ExitCode::UsageError);
    }
    const CliArguments& arguments = std::get<CliArguments>(parsed);
    if (arguments.help || arguments.version) {
        std::fputs(arguments.help ? qPrintable(CliArguments::helpText())
                                  : "velmar-converter-cli " UPDATER_VERSION "\n",
                   stdout);
        return static_cast<int>(ExitCode::Success);
    }

    if (arguments.verbose)
        DiagnosticLog::enable();

    const ConsoleStreams streams = consoleStreams();
    const std::unique_ptr<CommandReport> report =
        arguments.json ? std::unique_ptr<CommandReport>(std::make_unique<JsonReport>(streams))
                       : std::make_unique<TextReport>(streams);

    CliSession::Environment environment{ResourceDirectory::path(),
                                        QCoreApplication::applicationFilePath(),
                                        arguments.ftpHost.value_or(FtpDownloader::defaultHost())};
    std::unique_ptr<HidService> hidService;
    if (arguments.simulation) {
        auto simulated = std::make_unique<SimulatedHidService>();
        environment.releaseInHand = SimulatedConverters::plugIn(*simulated, *arguments.simulation);
        hidService = std::move(simulated);
    } else {
        hidService = std::make_unique<HidrawHidService>();
    }

    CliSession session(*hidService, environment, *report);
    return static_cast<int>(session.run(arguments));
}
