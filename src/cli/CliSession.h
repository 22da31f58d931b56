#pragma once

#include <QEventLoop>
#include <functional>
#include <memory>
#include <optional>

#include "cli/CliArguments.h"
#include "cli/CommandReport.h"
#include "cli/ConverterChoice.h"
#include "core/ConverterSearch.h"
#include "core/ReleaseCatalogue.h"
#include "firmware/FtpDownloader.h"

// One run of the command-line program on the same objects the window uses. Device exchanges and
// downloads wait on the Qt event loop one at a time, as nothing else is going on.
class CliSession : public HIDManagerDelegate {
public:
    struct Environment {
        QString resourceDirectory; // holds "config" and "data/"
        QString executablePath;    // a beta build is told by its name
        QString ftpHost = FtpDownloader::defaultHost();
        // Told a named release's image before the transfer, for --simulate's converters to report.
        std::function<void(const QByteArray& image, const QString& version)> releaseInHand = {};
    };

    CliSession(HidService& hidService, Environment environment, CommandReport& report);

    ExitCode run(const CliArguments& arguments);

    // The update command works on the same objects.
    friend class UpdateCommand;

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
    // The releases of the command's mode; absent, with `failure` saying why, when the mode has none
    // or the server's list could not be had. `beforeDownload` runs just before the list is fetched.
    std::optional<Offer> offer(const ConverterIdentity& converter, const FwInfoModel& record,
                               const CliArguments& arguments,
                               std::optional<ReleaseCatalogue::ImageFailure>& failure,
                               const std::function<void()>& beforeDownload = {});
    CommandReport::Converter describe(const ConverterIdentity& converter) const;
    ExitCode fail(ExitCode code, const CommandReport::Failure& failure);

    static QString modeName(CliArguments::Mode mode);

private:
    ExitCode list();
    ExitCode releases(const CliArguments& arguments);
    std::vector<ConverterSearch::Finding> waitForPlug(const std::optional<QString>& node,
                                                      int seconds);
    void hidDeviceRemoved(const HidDeviceRef&) override {}
    // Ends the wait of --wait when a converter in loader mode is plugged in.
    void hidDeviceArrived(const HidDeviceRef& device) override;

    Environment environment_;
    CommandReport& report_;
    // The manager holds its delegate shared; this session owns it, so the pointer owns nothing.
    std::shared_ptr<HIDManagerDelegate> plugNews_{this, [](HIDManagerDelegate*) {}};
    QEventLoop plugWait_;
    bool plugged_ = false;
    std::optional<ConfigModel> config_;
    std::unique_ptr<USBHidManager> manager_;
    std::unique_ptr<ConverterSearch> search_;
    FtpDownloader downloader_;
    CatalogueDownload download_{downloader_};
    ReleaseCatalogue catalogue_;
};
