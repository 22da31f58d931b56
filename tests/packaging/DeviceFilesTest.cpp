// Files made from the configuration: those generated from its USB identities, where one wrong
// letter grants nothing, and the README's table of supported converters, which must not promise a
// converter or a mode the configuration does not name.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include "DeviceIdentityList.h"
#include "MetainfoWriter.h"
#include "UdevRuleWriter.h"
#include "config/ParseConfig.h"

template <typename Model>
static std::shared_ptr<Model> usb(std::optional<int64_t> vid, std::optional<int64_t> pid) {
    return std::make_shared<Model>(Model{.Vid = vid, .Pid = pid});
}

static std::optional<std::vector<DeviceIdentity>>
identities(std::vector<APModelRef> aps, std::vector<LDModelRef> lds, QString* error = nullptr) {
    const ConfigModel config{.APCollection = std::move(aps), .LDCollection = std::move(lds)};
    return DeviceIdentityList::fromConfig(config, error);
}

TEST(DeviceIdentityList, TakesApplicationThenLoaderIdentitiesOnceEachRefusingNoUsbIds) {
    const auto ap = usb<APModel>;
    const auto ld = usb<LDModel>;
    EXPECT_EQ(
        identities({ap(4617, 1), ap(4617, std::nullopt), nullptr},
                   {ld(std::nullopt, 2), ld(4617, 2), ld(4617, 1)}),
        (std::vector<DeviceIdentity>{{0x1209, 0x0001, "application"}, {0x1209, 0x0002, "loader"}}));
    QString error;
    EXPECT_TRUE(!identities({}, {ld(0x10000, 2)}, &error) && error.contains("65536"));
    EXPECT_FALSE(identities({ap(4617, -1)}, {ld(4617, 2)}));
    EXPECT_TRUE(!identities({}, {}, &error) && error.contains("no complete USB identity"));
    EXPECT_TRUE(identities({}, {ld(0, 0xFFFF)}));
}

TEST(DeviceFileWriters, WriteHidrawRulesAndModaliasesInTheCaseEachMatchesIn) {
    const QString rules = UdevRuleWriter::write({{0xABCD, 0x00EF, "loader"}});
    EXPECT_TRUE(rules.contains("\nKERNEL==\"hidraw*\", ATTRS{idVendor}==\"abcd\", "
                               "ATTRS{idProduct}==\"00ef\", TAG+=\"uaccess\"\n"));
    EXPECT_TRUE(rules.contains("\nKERNEL==\"hidraw*\", SUBSYSTEMS==\"hid\", "
                               "KERNELS==\"????:ABCD:00EF.*\", TAG+=\"uaccess\"\n"));
    for (const QString& line : rules.split('\n'))
        EXPECT_TRUE(line.isEmpty() || line.startsWith('#') ||
                    line.startsWith("KERNEL==\"hidraw*\", "))
            << line.toStdString();

    const auto out =
        MetainfoWriter::fill("<provides>\n    @MODALIASES@\n</provides>\n",
                             {{0x1209, 0x0001, "application"}, {0x1209, 0x00ab, "loader"}});
    EXPECT_EQ(out, QStringLiteral("<provides>\n    <modalias>usb:v1209p0001d*</modalias>\n"
                                  "    <modalias>usb:v1209p00ABd*</modalias>\n</provides>\n"));
    EXPECT_FALSE(MetainfoWriter::fill("<provides/>", {}));
}

TEST(GeneratedDeviceFiles, CoverTheShippedConverterInBothModes) {
    QFile rules(UPDATER_BINARY_DIR "/packaging/70-velmar-converter.rules");
    QFile metainfo(UPDATER_BINARY_DIR "/packaging/org.velmar.ConverterUpdate.metainfo.xml");
    ASSERT_TRUE(rules.open(QIODevice::ReadOnly) && metainfo.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(rules.readAll());
    for (const char* pid : {"0001", "0002"})
        EXPECT_TRUE(
            text.contains(QString("ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"%1\"").arg(pid)));
    const QString xml = QString::fromUtf8(metainfo.readAll());
    EXPECT_TRUE(xml.contains("<modalias>usb:v1209p0002d*</modalias>") && !xml.contains('@'));
}

static QByteArray sourceFile(const QString& path) {
    QFile file(qEnvironmentVariable("UPDATER_SOURCE_DIR") + '/' + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ReadmeSupportedConverters, ListEachConfiguredConverterWithItsPartNumberAndModes) {
    const auto config = ParseConfig::parseXML(sourceFile("resources/config.xml"));
    ASSERT_TRUE(config && config->FwInfoCollection);
    QStringList expected;
    for (const FwInfoModelRef& info : *config->FwInfoCollection) {
        const QStringList modes{info->Standard.value_or(false) ? "Standard" : "",
                                info->Tournament.value_or(false) ? "Tournament" : ""};
        expected << QString("| %1 | `%2` | %3 |")
                        .arg(info->DeviceName.value_or("?"), info->PartNumber.value_or("?"),
                             modes.filter(QRegularExpression(".")).join(", "));
    }
    // The rows of the section's table are those that name a part number.
    const QString section = QString::fromUtf8(sourceFile("README.md"))
                                .section("\n## Supported converters\n", 1)
                                .section("\n## ", 0, 0);
    EXPECT_EQ(section.split('\n').filter(QRegularExpression("^\\|.*`")), expected);
}
