// The files generated from the configuration's USB identities: which identities they cover, and
// the exact udev and AppStream syntax, where one wrong letter silently grants nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <memory>

#include "DeviceIdentityList.h"
#include "MetainfoWriter.h"
#include "UdevRuleWriter.h"

namespace {

template <typename Model>
std::shared_ptr<Model> usb(std::optional<int64_t> vid, std::optional<int64_t> pid) {
    auto record = std::make_shared<Model>();
    record->Vid = vid;
    record->Pid = pid;
    return record;
}
const auto ap = usb<APModel>;
const auto ld = usb<LDModel>;

ConfigModel configWith(std::vector<APModelRef> aps, std::vector<LDModelRef> lds) {
    ConfigModel config;
    config.APCollection = std::move(aps);
    config.LDCollection = std::move(lds);
    return config;
}

} // namespace

TEST(DeviceIdentityList, TakesApplicationThenLoaderIdentitiesOnceEachSkippingIncompleteRecords) {
    const auto config = configWith({ap(4617, 1), ap(4617, std::nullopt), nullptr},
                                   {ld(std::nullopt, 2), ld(4617, 2), ld(4617, 1)});
    const auto identities = DeviceIdentityList::fromConfig(config);
    ASSERT_TRUE(identities);
    const std::vector<DeviceIdentity> expected{{0x1209, 0x0001, QStringLiteral("application")},
                                               {0x1209, 0x0002, QStringLiteral("loader")}};
    EXPECT_EQ(*identities, expected);
}

TEST(DeviceIdentityList, RefusesValuesThatAreNoUsbIdAndConfigurationsWithoutIdentity) {
    QString error;
    EXPECT_FALSE(DeviceIdentityList::fromConfig(configWith({}, {ld(0x10000, 2)}), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("65536")));
    EXPECT_FALSE(DeviceIdentityList::fromConfig(configWith({ap(4617, -1)}, {ld(4617, 2)})));
    EXPECT_FALSE(DeviceIdentityList::fromConfig(ConfigModel{}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no complete USB identity")));
    EXPECT_TRUE(DeviceIdentityList::fromConfig(configWith({}, {ld(0, 0xFFFF)})));
}

TEST(UdevRuleWriter, MatchesUsbAttributesInLowerCaseAndHidParentNamesInUpperCase) {
    const QString rules = UdevRuleWriter::write({{0xABCD, 0x00EF, QStringLiteral("loader")}});
    EXPECT_TRUE(rules.contains(QStringLiteral(
        "\nKERNEL==\"hidraw*\", ATTRS{idVendor}==\"abcd\", ATTRS{idProduct}==\"00ef\", "
        "TAG+=\"uaccess\"\n")));
    EXPECT_TRUE(rules.contains(
        QStringLiteral("\nKERNEL==\"hidraw*\", SUBSYSTEMS==\"hid\", KERNELS==\"????:ABCD:00EF.*\", "
                       "TAG+=\"uaccess\"\n")));
    // Every line is a comment, blank, or a rule for hidraw nodes only.
    for (const QString& line : rules.split(QLatin1Char('\n'))) {
        EXPECT_TRUE(line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
                    line.startsWith(QStringLiteral("KERNEL==\"hidraw*\", ")))
            << line.toStdString();
    }
}

TEST(MetainfoWriter, ReplacesThePlaceholderLineByIndentedUpperCaseModaliases) {
    const QString in = QStringLiteral("<provides>\n    @MODALIASES@\n</provides>\n");
    const auto out = MetainfoWriter::fill(in, {{0x1209, 0x0001, QStringLiteral("application")},
                                               {0x1209, 0x00ab, QStringLiteral("loader")}});
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, QStringLiteral("<provides>\n"
                                   "    <modalias>usb:v1209p0001d*</modalias>\n"
                                   "    <modalias>usb:v1209p00ABd*</modalias>\n"
                                   "</provides>\n"));
    EXPECT_FALSE(MetainfoWriter::fill(QStringLiteral("<provides/>"), {}));
}

TEST(GeneratedDeviceFiles, CoverTheShippedConverterInBothModes) {
    QFile rules(QStringLiteral(UPDATER_BINARY_DIR "/packaging/70-velmar-converter.rules"));
    ASSERT_TRUE(rules.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(rules.readAll());
    for (const char* pid : {"0001", "0002"}) {
        EXPECT_TRUE(text.contains(QStringLiteral("ATTRS{idVendor}==\"1209\", "
                                                 "ATTRS{idProduct}==\"%1\"")
                                      .arg(QLatin1String(pid))));
    }
    QFile metainfo(
        QStringLiteral(UPDATER_BINARY_DIR "/packaging/org.velmar.ConverterUpdate.metainfo.xml"));
    ASSERT_TRUE(metainfo.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(metainfo.readAll());
    EXPECT_TRUE(xml.contains(QStringLiteral("<modalias>usb:v1209p0002d*</modalias>")));
    EXPECT_FALSE(xml.contains(QLatin1Char('@')));
}
