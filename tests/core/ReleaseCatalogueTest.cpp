#include "core/ReleaseCatalogue.h"
#include "app/WindowHarness.h"
#include "support/LoopbackFtpServer.h"

namespace {
using Release = std::optional<std::pair<QByteArray, std::optional<int64_t>>>;
Release unpack(const ReleaseCatalogue::ImageResult& result) {
    if (!result.release)
        return std::nullopt;
    return std::make_pair(result.release->image, result.release->checkSum);
}
const QByteArray image01020304 = ":0400000001020304F2\r\n";
using Failure = ReleaseCatalogue::ImageFailure;
using Kind = Failure::Kind;
using Curl = FtpDownloader::Failure::Kind;
} // namespace

TEST(ReleaseCatalogue, ShippedModesVersionsAndImagesComeFromTheTreeUnderTheResources) {
    TestResources resources;
    resources.addFile("data/QK1/standard/V2/tmp.hex", image01020304); // no description: no checksum
    resources.addFile("data/QK1/standard/V8/tmp.txt",
                      "V8,0x2A,tmp.hex\r\n"); // no image: no release
    resources.addFile("data/QK1/standard/.notes", "");
    resources.addFile("data/QK1/te/V8/tmp.hex", ":020000000506F3\r\n");
    resources.addFile("data/QK1/te/V8/tmp.txt", "V8,0x3B,tmp.hex\r\n");
    resources.addFile("data/QK2/template/x", ""); // "te" anywhere in the name is Tournament
    resources.addFile("data/normal/standard/x", "");
    FtpDownloader offline;
    CatalogueDownload unused(offline);
    const ReleaseCatalogue catalogue(resources.path(), unused, false);

    const auto modes = [&](std::optional<QString> partNumber) {
        const auto found = catalogue.shippedModes(partNumber);
        return found ? std::optional(std::pair(found->standard, found->tournament)) : std::nullopt;
    };
    EXPECT_EQ(modes("qk1"), std::pair(true, true));
    EXPECT_EQ(modes("QK2"), std::pair(false, true));
    EXPECT_EQ(modes(std::nullopt), std::pair(true, false));
    EXPECT_EQ(modes("QK3"), std::nullopt);
    QStringList versions = catalogue.shippedVersions("QK1", true);
    versions.sort();
    EXPECT_EQ(versions, (QStringList{".notes", "V2", "V8"}));
    EXPECT_TRUE(catalogue.shippedVersions("QK2", true).isEmpty());

    EXPECT_EQ(unpack(catalogue.shippedImage("QK1", true, "V2")),
              std::pair(QByteArray::fromHex("01020304"), std::optional<int64_t>()));
    EXPECT_EQ(unpack(catalogue.shippedImage(" qk1\n", false, "V8")),
              std::pair(QByteArray::fromHex("0506"), std::optional<int64_t>(0x3B)));
    EXPECT_EQ(catalogue.shippedImage("QK1", true, "V8").failure, Failure(Kind::NotShipped, "V8"));
}

TEST(ReleaseCatalogue, OnlineListsAndImagesComeFromTheServerWithinTheirLimits) {
    LoopbackFtpServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    const QByteArray padding(qsizetype{16} << 20, '\n');
    server.addFile("QK1.txt", "// releases\r\nV1,0x2A,fw.hex\r\nV3,0x10\r\nV1,0x01,old.hex\r\n");
    server.addFile("big.txt", "V1,0x2A,fw.hex\r\n" + padding.left(1 << 20));
    server.addFile("fw.hex", image01020304);
    server.addFile("big.hex", image01020304 + padding);
    FtpDownloader downloader(server.host());
    CatalogueDownload download(downloader);
    ReleaseCatalogue catalogue(QString(), download, false);

    const FwInfoModel record{
        "QK1.txt", "QK1_TE.txt", "QK1_Beta.txt", "QK1_Beta_TE.txt", "QK1", {}, {}, {}};
    EXPECT_EQ(catalogue.onlineListName(record, false), "QK1_TE.txt");
    EXPECT_TRUE(ReleaseCatalogue::isBetaExecutable("/opt/v/Updater-BETA.exe"));
    EXPECT_FALSE(ReleaseCatalogue::isBetaExecutable("/opt/beta/updater.beta"));
    EXPECT_EQ(ReleaseCatalogue::record(ConfigModel{}, "QK1"), nullptr); // no list of products

    const std::optional<QStringList> entries = catalogue.downloadOnlineEntries("QK1.txt");
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(ReleaseCatalogue::onlineEntry(*entries, "V1"), "V1,0x2A,fw.hex"); // the first
    EXPECT_EQ(ReleaseCatalogue::onlineEntry(*entries, "V2"), std::nullopt);
    std::optional<Failure> failure;
    EXPECT_EQ(catalogue.downloadOnlineEntries("big.txt", &failure), std::nullopt);
    EXPECT_EQ(failure, Failure(Kind::DownloadFailed, "big.txt", {"big.txt", {Curl::TooLarge}}));
    // What the window's online tests do not reach: line ends and text that is not UTF-8.
    EXPECT_EQ(OnlineVersionList::entries("V1,0x1,a.hex\nV2,0x2,b.hex\n")->size(), 1);
    EXPECT_EQ(OnlineVersionList::entries("\xc3\x28"), std::nullopt);

    const std::tuple<const char*, Release, std::optional<Failure>> rows[] = {
        {"V1,0x2A,fw.hex", std::pair(QByteArray::fromHex("01020304"), 0x2A), std::nullopt},
        {"V3,0x10", std::nullopt, Failure(Kind::NoImageInList)},
        {"V1,0x01,old.hex", std::nullopt,
         Failure(Kind::DownloadFailed, "old.hex", {"old.hex", {Curl::CurlExit, 78}})},
        {"V4,0x01,big.hex", std::nullopt,
         Failure(Kind::DownloadFailed, "big.hex", {"big.hex", {Curl::TooLarge}})},
    };
    for (const auto& [line, release, failure] : rows) {
        const ReleaseCatalogue::ImageResult result = catalogue.onlineImage(line);
        EXPECT_EQ(std::tuple(line, unpack(result), result.failure),
                  std::tuple(line, release, failure));
    }
}
