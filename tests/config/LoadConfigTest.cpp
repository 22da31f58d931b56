#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "config/LoadConfig.h"
#include "support/ScopedDiagnosticCapture.h"

namespace {

class LoadConfigTest : public ::testing::Test {
protected:
    void writeConfig(const QByteArray& content) {
        QFile file(dir.filePath(QStringLiteral("config")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    QTemporaryDir dir;
    ScopedDiagnosticCapture log;
};

const QByteArray kDocument = "<r><ProgramTitle>T</ProgramTitle></r>";

} // namespace

TEST_F(LoadConfigTest, ReadsStrictBase64AndRefusesATrailingNewlineSilently) {
    writeConfig(kDocument.toBase64());
    const auto config = loadConfig(dir.path());
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ProgramTitle, QStringLiteral("T"));

    writeConfig(kDocument.toBase64() + "\n");
    EXPECT_FALSE(loadConfig(dir.path()));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(LoadConfigTest, MissingEmptyOrUnreadableFileGivesNothingAndOnlyTheUnreadableOneSaysWhy) {
    EXPECT_FALSE(loadConfig(dir.path()));
    EXPECT_TRUE(log.lines().isEmpty());

    writeConfig(QByteArray()); // Base64 of nothing, and nothing is not a document
    EXPECT_FALSE(loadConfig(dir.path()));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral(
                               "[ParseConfig][156][parseXML(from:)] XML parsing failed")});

    log.clear();
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("config"))));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("config"))); // exists, cannot be read
    EXPECT_FALSE(loadConfig(dir.path()));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().startsWith(QStringLiteral("❌ 無法讀取Config檔案: ")));
}

TEST(ShippedConfig, LoadsWithItsPictureBothIdentitiesAndBothPartNumbers) {
    const QString resources = qEnvironmentVariable("UPDATER_RESOURCE_DIR");
    QFile raw(QDir(resources).filePath(QStringLiteral("config")));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_FALSE(raw.readAll().endsWith('\n'));

    const auto config = loadConfig(resources);
    ASSERT_TRUE(config);
    EXPECT_FALSE(config->ProgramTitle.value_or(QString()).isEmpty());
    EXPECT_FALSE(config->PromptText.value_or(QString()).isEmpty());
    ASSERT_TRUE(config->ImageModel && config->ImageModel->ImageString);
    EXPECT_FALSE(
        QImage::fromData(QByteArray::fromBase64(config->ImageModel->ImageString->toLatin1()))
            .isNull());

    ASSERT_TRUE(config->APCollection && config->APCollection->size() == 1);
    ASSERT_TRUE(config->LDCollection && config->LDCollection->size() == 1);
    EXPECT_EQ(config->APCollection->front()->Vid, 4617);
    EXPECT_EQ(config->APCollection->front()->Pid, 1);
    EXPECT_EQ(config->LDCollection->front()->Vid, 4617);
    EXPECT_EQ(config->LDCollection->front()->Pid, 2);

    ASSERT_TRUE(config->FwInfoCollection && config->FwInfoCollection->size() == 2);
    const FwInfoModel& pro = *config->FwInfoCollection->at(0);
    const FwInfoModel& lite = *config->FwInfoCollection->at(1);
    EXPECT_EQ(pro.PartNumber, QStringLiteral("QK100201"));
    EXPECT_EQ(pro.Tournament, true);
    EXPECT_EQ(pro.BetaFileName_TE, QStringLiteral("QK100201_Beta_TE.txt"));
    EXPECT_EQ(lite.PartNumber, QStringLiteral("QK100301"));
    EXPECT_EQ(lite.Tournament, false);
    EXPECT_EQ(lite.BetaFileName_TE, QStringLiteral("QK100301_Beta_TE.txt"));
}
