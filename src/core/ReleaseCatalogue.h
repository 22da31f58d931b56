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
    // Why there is no image to send, as facts; each front end words them (FailureWords keeps
    // its sentences in the order of the kinds).
    struct ImageFailure {
        enum class Kind {
            NothingChosen,     // no version is selected
            NotShipped,        // version `name` is not among the shipped releases
            NotInList,         // version `name` is not in the server's list
            ModeNotOffered,    // no releases of mode `name` for this converter
            NoVersionList,     // the configuration names no list for the mode
            ListNotText,       // the list `name` is not UTF-8 text
            NoImageInList,     // the list line names no image file
            ReleaseUnreadable, // a release file `name` is not UTF-8 text
            FileUnreadable,    // the user's file `name` is missing or not UTF-8 text
            NoChecksum,        // the user's description file `name` gives no checksum
            DownloadFailed,    // the server did not deliver `download.file`
        };
        Kind kind = Kind::NothingChosen;
        QString name = {};
        CatalogueDownload::Failure download = {};
        bool operator==(const ImageFailure&) const = default;
    };
    struct ImageResult {
        std::optional<ReleaseImage> release;
        std::optional<ImageFailure> failure; // absent on success
        bool downloadFailed() const {
            return failure && failure->kind == ImageFailure::Kind::DownloadFailed;
        }
    };

    // True when the executable's name (without extension, trimmed, lower case) contains "beta".
    static bool isBetaExecutable(const QString& executablePath);

    // The configuration's record for the part number, or null when it has none.
    static FwInfoModelRef record(const ConfigModel& config,
                                 const std::optional<QString>& partNumber);

    // `download` must outlive the catalogue.
    ReleaseCatalogue(QString resourceDirectory, CatalogueDownload& download, bool isBeta);

    // Offline: the modes and versions in the shipped tree, as ReleaseTree lists them.
    std::optional<ReleaseTree::Modes> shippedModes(const std::optional<QString>& partNumber) const {
        return releaseTree_.probeModes(partNumber);
    }
    QStringList shippedVersions(const std::optional<QString>& partNumber, bool isStandard) const {
        return releaseTree_.listFwVersions(partNumber, isStandard);
    }
    // Offline: the image and checksum of a shipped release (tmp.hex and tmp.txt).
    ImageResult shippedImage(const std::optional<QString>& partNumber, bool isStandard,
                             const QString& version) const;

    // Online: the version list the record names for the mode; absent when it names none.
    std::optional<QString> onlineListName(const FwInfoModel& record, bool isStandard) const;
    // Online: the release lines of the list, in file order; absent, with `failure` (when given)
    // saying why, when the download failed or the list is not UTF-8.
    std::optional<QStringList>
    downloadOnlineEntries(const QString& listName, std::optional<ImageFailure>* failure = nullptr);
    // Online: the list line of the first entry whose version is `version`.
    static std::optional<QString> onlineEntry(const QStringList& entries, const QString& version);
    // Online: the checksum from the list line and the image it names, downloaded.
    ImageResult onlineImage(const QString& listLine);

private:
    static ImageResult decodeImage(const QString& name, const std::optional<QString>& hexText,
                                   std::optional<int64_t> checkSum);
    static ImageResult failed(ImageFailure::Kind kind, const QString& name = {}) {
        return {std::nullopt, ImageFailure{kind, name}};
    }

    ReleaseTree releaseTree_;
    CatalogueDownload& download_;
    const bool isBeta_;
};
