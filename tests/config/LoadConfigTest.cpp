#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "config/LoadConfig.h"
#include "support/ScopedDiagnosticCapture.h"

TEST(LoadConfig, TakesOnlyStrictBase64AndSaysWhyOnlyWhenTheFileCannotBeReadOrParsed) {
    const QByteArray document = "<r><ProgramTitle>T</ProgramTitle></r>";
    const QString parseFailed =
        QStringLiteral("[ParseConfig][156][parseXML(from:)] XML parsing failed");
    const struct {
        std::optional<QByteArray> content; // absent: no file at all
        bool loads;
        QString logged; // the one line logged, if any
    } rows[] = {
        {document.toBase64(), true, {}},
        {document.toBase64() + "\n", false, {}}, // refused silently
        {std::nullopt, false, {}},
        {QByteArray(), false, parseFailed}, // Base64 of nothing, and nothing is not a document
    };
    for (const auto& row : rows) {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("config")));
        ASSERT_TRUE(!row.content ||
                    (file.open(QIODevice::WriteOnly) && file.write(*row.content) >= 0));
        file.close();
        ScopedDiagnosticCapture log;
        const auto config = loadConfig(dir.path());
        EXPECT_EQ(config.has_value(), row.loads) << row.content.value_or("<none>").toStdString();
        EXPECT_EQ(log.lines(), row.logged.isEmpty() ? QStringList() : QStringList{row.logged});
        if (config) {
            EXPECT_EQ(config->ProgramTitle, QStringLiteral("T"));
        }
    }

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("config"))); // exists, cannot be read
    ScopedDiagnosticCapture log;
    EXPECT_FALSE(loadConfig(dir.path()));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().startsWith(QStringLiteral("❌ 無法讀取Config檔案: ")));
}

// Its USB identities are checked in tests/packaging; here, that it loads whole, picture and all.
TEST(ShippedConfig, LoadsWithItsPictureAndBothPartNumbers) {
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
    ASSERT_TRUE(config->FwInfoCollection && config->FwInfoCollection->size() == 2);
    const FwInfoModel& pro = *config->FwInfoCollection->at(0);
    const FwInfoModel& lite = *config->FwInfoCollection->at(1);
    EXPECT_EQ(QStringList({pro.PartNumber.value_or(""), lite.PartNumber.value_or("")}),
              QStringList({"QK100201", "QK100301"}));
}
