#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "config/ConfigModel.h"
#include "config/FwInfoModel.h"
#include "core/CatalogueDownload.h"
#include "core/OnlineVersionList.h"
#include "core/ReleaseImage.h"
#include "core/ReleaseTree.h"

// Which releases exist for a converter and how to get one's image: the releases shipped with the
// program (the tree under the resource directory) or the version lists on the release server.
// Beta builds read the beta lists.
class ReleaseCatalogue {
public:
    struct ImageResult {
        std::optional<ReleaseImage> release;
        // The server could not deliver a file (as opposed to delivering one that is unusable).
        bool downloadFailed = false;
        // Why there is no image, with what to do next; empty on success.
        QString failureReason;
    };

    // True when the executable's name (without extension, trimmed, lower case) contains "beta".
    static bool isBetaExecutable(const QString& executablePath);

    // The configuration's record for the part number, or null when it has none.
    static FwInfoModelRef record(const ConfigModel& config,
                                 const std::optional<QString>& partNumber);

    // `download` must outlive the catalogue.
    ReleaseCatalogue(QString resourceDirectory, CatalogueDownload& download, bool isBeta);

    bool isBeta() const { return isBeta_; }

    // Offline: which modes the shipped tree holds for the part number; absent when none at all.
    std::optional<ReleaseTree::Modes> shippedModes(const std::optional<QString>& partNumber) const;
    // Offline: the shipped versions of a mode, in the tree's listing order (the window's order).
    QStringList shippedVersions(const std::optional<QString>& partNumber, bool isStandard) const;
    // Offline: the image and checksum of a shipped release (tmp.hex and tmp.txt).
    ImageResult shippedImage(const std::optional<QString>& partNumber, bool isStandard,
                             const QString& version) const;

    // Online: the version list the record names for the mode; absent when it names none.
    std::optional<QString> onlineListName(const FwInfoModel& record, bool isStandard) const;
    // Online: the release lines of the list, in file order; absent when the download failed
    // (the reason is in download().failureReason()) or the list is not UTF-8.
    std::optional<QStringList> downloadOnlineEntries(const QString& listName);
    // Online: the list line of the first entry whose version is `version`.
    static std::optional<QString> onlineEntry(const QStringList& entries, const QString& version);
    // Online: the checksum from the list line and the image it names, downloaded.
    ImageResult onlineImage(const QString& listLine);

    CatalogueDownload& download() { return download_; }

private:
    static ImageResult decodeImage(const QString& name, const std::optional<QString>& hexText,
                                   std::optional<int64_t> checkSum);

    ReleaseTree releaseTree_;
    CatalogueDownload& download_;
    const bool isBeta_;
};
