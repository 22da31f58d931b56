#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>

#include "firmware/DescriptionFile.h"
#include "firmware/HexImageDecoder.h"

static QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A shipped release whose checksum is wrong would turn every good update into a failure.
TEST(SampleReleaseTree, EveryShippedReleaseCarriesItsImagesChecksum) {
    QDirIterator images(qEnvironmentVariable("UPDATER_SOURCE_DIR") + "/resources/data", {"tmp.hex"},
                        QDir::Files, QDirIterator::Subdirectories);
    int releases = 0;
    for (; images.hasNext(); ++releases) {
        const QString path = images.next();
        const QByteArray image = HexImageDecoder::decodeHexImage(readText(path));
        EXPECT_GT(image.size(), 16 * 1024) << path.toStdString();
        qint64 sum = 0;
        for (char byte : image)
            sum += static_cast<unsigned char>(byte);
        const QString description = readText(QFileInfo(path).path() + "/tmp.txt");
        EXPECT_EQ(DescriptionFile::applyChecksumFile(description, std::nullopt), sum % 65536)
            << path.toStdString();
    }
    EXPECT_EQ(releases, 6);
}
