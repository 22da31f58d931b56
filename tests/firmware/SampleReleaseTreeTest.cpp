#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "firmware/DescriptionFile.h"
#include "firmware/HexImageDecoder.h"

// The release tree that ships with the program must be consistent with itself: every release a
// user can pick has to pass the converter's final checksum, or a good update would be reported
// as failed.
class SampleReleaseTree : public ::testing::Test {
protected:
    static QDir dataDir() {
        return QDir(qEnvironmentVariable("UPDATER_SOURCE_DIR") + "/resources/data");
    }
    static QStringList entries(const QString& path) {
        return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
    static QString readText(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

TEST_F(SampleReleaseTree, OffersTheModesOfEachPartNumber) {
    const QString root = dataDir().path();
    EXPECT_EQ(entries(root), (QStringList{"QK100201", "QK100301"}));
    EXPECT_EQ(entries(root + "/QK100201"), (QStringList{"standard", "te"}));
    EXPECT_EQ(entries(root + "/QK100301"), QStringList{"standard"});
    for (const char* mode : {"QK100201/standard", "QK100201/te", "QK100301/standard"}) {
        const QStringList versions = entries(root + "/" + QString::fromLatin1(mode));
        EXPECT_EQ(versions.size(), 2) << mode;
        for (const QString& version : versions)
            EXPECT_EQ(entries(root + "/" + QString::fromLatin1(mode) + "/" + version),
                      (QStringList{"tmp.hex", "tmp.txt"}));
    }
}

TEST_F(SampleReleaseTree, EveryReleaseCarriesTheChecksumOfItsImage) {
    const QString root = dataDir().path();
    int releases = 0;
    for (const QString& partNumber : entries(root)) {
        for (const QString& mode : entries(root + "/" + partNumber)) {
            for (const QString& version : entries(root + "/" + partNumber + "/" + mode)) {
                const QString folder = QStringList{root, partNumber, mode, version}.join('/');
                SCOPED_TRACE(folder.toStdString());
                const QString hexText = readText(folder + "/tmp.hex");
                const QString description = readText(folder + "/tmp.txt");

                // Real builds: a flash base record, a gap in the addresses, an end record.
                EXPECT_TRUE(hexText.startsWith(":02000004"));
                EXPECT_TRUE(hexText.endsWith(":00000001FF\r\n"));
                EXPECT_TRUE(hexText.contains("\r\n:10800000"));
                const QByteArray image = HexImageDecoder::decodeHexImage(hexText);
                EXPECT_GT(image.size(), 16 * 1024);
                EXPECT_LT(image.size(), 64 * 1024);

                // A comment, then the version, the checksum and the image name, CR LF ended.
                const QStringList lines = description.split("\r\n");
                ASSERT_EQ(lines.size(), 3);
                EXPECT_TRUE(lines[0].startsWith("// "));
                EXPECT_TRUE(lines[1].startsWith(version + ",0x"));
                EXPECT_TRUE(lines[1].endsWith(",tmp.hex"));
                EXPECT_TRUE(lines[2].isEmpty());

                qint64 sum = 0;
                for (char byte : image)
                    sum += static_cast<unsigned char>(byte);
                EXPECT_EQ(DescriptionFile::applyChecksumFile(description, std::nullopt),
                          sum % 65536);
                ++releases;
            }
        }
    }
    EXPECT_EQ(releases, 6);
}
