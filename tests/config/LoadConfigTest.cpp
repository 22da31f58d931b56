#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "ScopedDiagnosticCapture.h"
#include "config/LoadConfig.h"

TEST(LoadConfig, TakesOnlyStrictBase64AndSaysWhyOnlyWhenTheFileCannotBeReadOrParsed) {
    const QByteArray document = "<r><ProgramTitle>T</ProgramTitle></r>";
    // content (absent: no file; null: a folder in its place), whether it loads, what is logged
    const std::tuple<std::optional<QByteArray>, bool, const char*> rows[] = {
        {document.toBase64(), true, nullptr},
        {document.toBase64() + "\n", false, nullptr}, // refused silently
        {std::nullopt, false, nullptr},
        {"", false, "[ParseConfig][156][parseXML(from:)] XML parsing failed"},
        {QByteArray(), false, "❌ 無法讀取Config檔案: "},
    };
    for (const auto& [content, loads, logged] : rows) {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("config")));
        if (content && content->isNull()) {
            ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("config")));
        } else if (content) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(*content) >= 0);
        }
        file.close();
        ScopedDiagnosticCapture log;
        const auto config = loadConfig(dir.path());
        EXPECT_EQ(config.has_value(), loads) << content.value_or("<none>").toStdString();
        EXPECT_EQ(log.lines().size(), logged ? 1 : 0);
        EXPECT_TRUE(!logged || log.lines().value(0).startsWith(QString::fromUtf8(logged)));
        EXPECT_TRUE(!config || config->ProgramTitle == QStringLiteral("T"));
    }
}

// Its names and part numbers show in the command-line tests' listings; here, its picture.
TEST(ShippedConfig, LoadsWithAPictureThatDecodes) {
    const auto config = loadConfig(qEnvironmentVariable("UPDATER_RESOURCE_DIR"));
    ASSERT_TRUE(config && config->ImageModel && config->ImageModel->ImageString);
    EXPECT_FALSE(
        QImage::fromData(QByteArray::fromBase64(config->ImageModel->ImageString->toLatin1()))
            .isNull());
}
