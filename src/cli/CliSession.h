#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "cli/CliArguments.h"
#include "cli/CommandReport.h"
#include "cli/ConverterChoice.h"
#include "cli/ExitCode.h"
#include "config/ConfigModel.h"
#include "core/CatalogueDownload.h"
#include "core/ConverterSearch.h"
#include "core/ReleaseCatalogue.h"
#include "device/HidService.h"
#include "device/USBHidManager.h"
#include "firmware/FtpDownloader.h"

// One run of the command-line program on the same objects the window uses. Device exchanges and
// downloads wait on the Qt event loop one at a time, as nothing else is going on.
class CliSession {
public:
    struct Environment {
        QString resourceDirectory; // holds "config" and "data/"
        QString executablePath;    // a beta build is told by its name
        QString ftpHost = FtpDownloader::defaultHost();
        // Told a named release's image before the transfer, so that a simulation's virtual
        // converters know the version it carries, as firmware knows its own.
        std::function<void(const QByteArray& image, const QString& version)> releaseInHand = {};
    };

    CliSession(HidService& hidService, Environment environment, CommandReport& report);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    ExitCode run(const CliArguments& arguments);

    // For the update command, which works on the same objects.
    CommandReport& report() { return report_; }
    const Environment& environment() const { return environment_; }
    USBHidManager& manager() { return *manager_; }
    ConverterSearch& search() { return *search_; }
    ReleaseCatalogue& catalogue() { return catalogue_; }
    const ConfigModel& config() const { return *config_; }

    // The converter the command is for; absent (after saying why) when there is none. With
    // `waitSeconds` (0: no limit) and none attached, waits that long for one to be plugged in.
    std::optional<ConverterIdentity> chooseConverter(const std::optional<QString>& node,
                                                     std::optional<int> waitSeconds,
                                                     ExitCode& failure);
    // Its record in the configuration; null (after saying so) for a converter not supported.
    FwInfoModelRef supportedRecord(const ConverterIdentity& converter);
    struct Offer {
        QStringList versions;
        std::optional<QStringList> entries; // the server's list lines, online
    };
    // The releases of the command's mode for the converter; absent, with `failure` saying why,
    // when the mode has none or the server's list could not be had. `beforeDownload` runs just
    // before the list is fetched.
    std::optional<Offer> offer(const ConverterIdentity& converter, const FwInfoModel& record,
                               const CliArguments& arguments,
                               std::optional<ReleaseCatalogue::ImageFailure>& failure,
                               const std::function<void()>& beforeDownload = {});
    bool isOnline(const CliArguments& arguments) const;
    CommandReport::Converter describe(const ConverterIdentity& converter) const;
    ExitCode fail(ExitCode code, const CommandReport::Failure& failure);

    static QString modeName(CliArguments::Mode mode);

private:
    class PlugNews;

    ExitCode list();
    ExitCode releases(const CliArguments& arguments);
    std::vector<ConverterSearch::Finding> waitForPlug(const std::optional<QString>& node,
                                                      int seconds);

    Environment environment_;
    CommandReport& report_;
    std::shared_ptr<PlugNews> plugNews_;
    std::optional<ConfigModel> config_;
    std::unique_ptr<USBHidManager> manager_;
    std::unique_ptr<ConverterSearch> search_;
    FtpDownloader downloader_;
    CatalogueDownload download_{downloader_};
    ReleaseCatalogue catalogue_;
};
