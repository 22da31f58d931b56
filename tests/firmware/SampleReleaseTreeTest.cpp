#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "firmware/DescriptionFile.h"
#include "firmware/HexImageDecoder.h"

static QStringList entries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

static QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A shipped release whose checksum is wrong would turn every good update into a failure.
TEST(SampleReleaseTree, OffersEachPartNumbersModesAndEveryReleaseCarriesItsImagesChecksum) {
    const QString root = qEnvironmentVariable("UPDATER_SOURCE_DIR") + "/resources/data";
    EXPECT_EQ(entries(root), (QStringList{"QK100201", "QK100301"}));
    EXPECT_EQ(entries(root + "/QK100201"), (QStringList{"standard", "te"}));
    EXPECT_EQ(entries(root + "/QK100301"), QStringList{"standard"});
    int releases = 0;
    for (const QString mode : {"QK100201/standard", "QK100201/te", "QK100301/standard"}) {
        for (const QString& version : entries(root + "/" + mode)) {
            const QString folder = root + "/" + mode + "/" + version;
            SCOPED_TRACE(folder.toStdString());
            EXPECT_EQ(entries(folder), (QStringList{"tmp.hex", "tmp.txt"}));
            const QByteArray image = HexImageDecoder::decodeHexImage(readText(folder + "/tmp.hex"));
            EXPECT_GT(image.size(), 16 * 1024);

            // A comment, then version, checksum and image name, CR LF ended.
            const QString description = readText(folder + "/tmp.txt");
            const QStringList lines = description.split("\r\n");
            ASSERT_EQ(lines.size(), 3);
            EXPECT_TRUE(lines[0].startsWith("// "));
            EXPECT_TRUE(lines[1].startsWith(version + ",0x") && lines[1].endsWith(",tmp.hex"));
            qint64 sum = 0;
            for (char byte : image)
                sum += static_cast<unsigned char>(byte);
            EXPECT_EQ(DescriptionFile::applyChecksumFile(description, std::nullopt), sum % 65536);
            ++releases;
        }
    }
    EXPECT_EQ(releases, 6);
}
