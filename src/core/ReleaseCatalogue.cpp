#include "core/ReleaseCatalogue.h"

#include <QFileInfo>

#include "core/Utf8Text.h"
#include "firmware/DescriptionFile.h"
#include "firmware/DescriptionLine.h"
#include "firmware/HexImageDecoder.h"

bool ReleaseCatalogue::isBetaExecutable(const QString& executablePath) {
    // Without its extension: the last suffix only, as a bundle's ".app" would go.
    return QFileInfo(executablePath).completeBaseName().trimmed().toLower().contains(u"beta");
}

FwInfoModelRef ReleaseCatalogue::record(const ConfigModel& config,
                                        const std::optional<QString>& partNumber) {
    if (config.FwInfoCollection)
        for (const FwInfoModelRef& candidate : *config.FwInfoCollection)
            if (candidate && candidate->PartNumber == partNumber)
                return candidate;
    return nullptr;
}

ReleaseCatalogue::ReleaseCatalogue(QString resourceDirectory, CatalogueDownload& download,
                                   bool isBeta)
    : releaseTree_(std::move(resourceDirectory)), download_(download), isBeta_(isBeta) {}

ReleaseCatalogue::ImageResult
ReleaseCatalogue::shippedImage(const std::optional<QString>& partNumber, bool isStandard,
                               const QString& version) const {
    const std::optional<QString> hexPath =
        releaseTree_.releaseFile(partNumber, isStandard, version, QStringLiteral("tmp.hex"));
    if (!hexPath)
        return failed(ImageFailure::Kind::NotShipped, version);
    // A release without a readable description has no checksum: the final check fails.
    std::optional<int64_t> checkSum;
    if (const std::optional<QString> path =
            releaseTree_.releaseFile(partNumber, isStandard, version, QStringLiteral("tmp.txt")))
        if (const std::optional<QString> text = Utf8Text::readFile(*path))
            checkSum = DescriptionFile::applyChecksumFile(*text, checkSum);
    return decodeImage(*hexPath, Utf8Text::readFile(*hexPath), checkSum);
}

std::optional<QString> ReleaseCatalogue::onlineListName(const FwInfoModel& record,
                                                        bool isStandard) const {
    if (isStandard)
        return isBeta_ ? record.BetaFileName : record.FileName;
    return isBeta_ ? record.BetaFileName_TE : record.FileName_TE;
}

std::optional<QStringList>
ReleaseCatalogue::downloadOnlineEntries(const QString& listName,
                                        std::optional<ImageFailure>* failure) {
    const std::optional<QByteArray> list =
        download_.download(listName, CatalogueDownload::versionListByteLimit);
    std::optional<QStringList> entries = list ? OnlineVersionList::entries(*list) : std::nullopt;
    if (failure && !list)
        *failure = ImageFailure{ImageFailure::Kind::DownloadFailed, listName, *download_.failure()};
    else if (failure && !entries)
        *failure = ImageFailure{ImageFailure::Kind::ListNotText, listName};
    return entries;
}

std::optional<QString> ReleaseCatalogue::onlineEntry(const QStringList& entries,
                                                     const QString& version) {
    for (const OnlineVersionList::Item& item : OnlineVersionList::items(entries))
        if (item.title == version)
            return entries[item.entryIndex];
    return std::nullopt;
}

ReleaseCatalogue::ImageResult ReleaseCatalogue::onlineImage(const QString& listLine) {
    const DescriptionLine::ListLineResult line =
        DescriptionLine::applyListLine(listLine, std::nullopt);
    if (!line.imageFile)
        return failed(ImageFailure::Kind::NoImageInList);
    const std::optional<QByteArray> download =
        download_.download(*line.imageFile, CatalogueDownload::imageByteLimit);
    if (!download)
        return {std::nullopt, ImageFailure{ImageFailure::Kind::DownloadFailed, *line.imageFile,
                                           *download_.failure()}};
    return decodeImage(*line.imageFile, Utf8Text::decode(*download), line.checkSum);
}

ReleaseCatalogue::ImageResult ReleaseCatalogue::decodeImage(const QString& name,
                                                            const std::optional<QString>& hexText,
                                                            std::optional<int64_t> checkSum) {
    if (!hexText)
        return failed(ImageFailure::Kind::ReleaseUnreadable, name);
    // A text without data records gives an empty image, which the transfer refuses.
    return {ReleaseImage{HexImageDecoder::decodeHexImage(*hexText), checkSum}, std::nullopt};
}
