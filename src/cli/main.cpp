#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "cli/CliArguments.h"
#include "cli/CliSession.h"
#include "cli/JsonReport.h"
#include "cli/SimulatedConverters.h"
#include "cli/TextReport.h"
#include "device/HidrawHidService.h"
#include "sim/SimulatedHidService.h"
#include "support/DiagnosticLog.h"
#include "support/ResourceDirectory.h"

// The updater for terminals and scripts: list, releases and update on the converters attached to
// this computer (hidraw), or with --simulate on the demo's virtual converter.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto parsed = CliArguments::parse(QCoreApplication::arguments());
    if (const auto* error = std::get_if<CliArguments::UsageError>(&parsed)) {
        std::fprintf(stderr, "velmar-converter-cli: %s\nTry velmar-converter-cli --help.\n",
                     qPrintable(error->message));
        return static_cast<int>(ExitCode::UsageError);
    }
    const CliArguments& arguments = std::get<CliArguments>(parsed);
    if (arguments.help) {
        std::fputs(qPrintable(CliArguments::helpText()), stdout);
        return static_cast<int>(ExitCode::Success);
    }

    if (arguments.verbose)
        DiagnosticLog::enable();

    const ConsoleStreams streams{stdout, stderr, ::isatty(STDOUT_FILENO) == 1};
    std::unique_ptr<CommandReport> report;
    if (arguments.json)
        report = std::make_unique<JsonReport>(streams);
    else
        report = std::make_unique<TextReport>(streams);

    std::unique_ptr<HidService> hidService;
    if (arguments.simulation) {
        auto simulated = std::make_unique<SimulatedHidService>();
        SimulatedConverters::plugIn(*simulated, *arguments.simulation, arguments.version);
        hidService = std::move(simulated);
    } else {
        hidService = std::make_unique<HidrawHidService>();
    }

    CliSession::Environment environment{ResourceDirectory::path(),
                                        QCoreApplication::applicationFilePath()};
    if (arguments.ftpHost)
        environment.ftpHost = *arguments.ftpHost;
    CliSession session(*hidService, environment, *report);
    return static_cast<int>(session.run(arguments));
}
