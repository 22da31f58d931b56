#include <gtest/gtest.h>

#include "cli/CliArguments.h"

namespace {

struct Row {
    const char* commandLine;
    bool accepted;
};

class CliArgumentsTest : public ::testing::TestWithParam<Row> {};

TEST_P(CliArgumentsTest, AcceptsOnlyWholeCommands) {
    const QStringList words = QStringList{"velmar-converter-cli"} +
                              QString(GetParam().commandLine).split(' ', Qt::SkipEmptyParts);
    const auto parsed = CliArguments::parse(words);
    EXPECT_EQ(std::holds_alternative<CliArguments>(parsed), GetParam().accepted);
    if (const auto* error = std::get_if<CliArguments::UsageError>(&parsed)) {
        EXPECT_FALSE(error->message.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliArgumentsTest,
    ::testing::Values(
        Row{"", false}, Row{"flash", false}, Row{"list releases", false}, Row{"list", true},
        Row{"list --online", false}, Row{"list --version V1.1.0.2", false},
        Row{"releases --mode tournament --online", true}, Row{"releases --mode race", false},
        Row{"update", false}, Row{"update --version V1.1.0.2 --device /dev/hidraw3 --json", true},
        Row{"update --version V1.1.0.2 --file a.hex", false},
        Row{"update --version V1.1.0.2 --checksum 0x1A2B", false},
        Row{"update --file a.hex", false}, Row{"update --file a.hex --checksum 0x1A2B", true},
        Row{"update --file a.hex --description tmp.txt", true},
        Row{"update --file a.hex --checksum 0x1A2B --description tmp.txt", false},
        Row{"update --file a.hex --checksum 0x10000", false},
        Row{"update --file a.hex --checksum zz", false},
        Row{"update --file a.hex --checksum 0x1A2B --online", false},
        Row{"list --unplug-after 3", false},
        Row{"list --simulate --converters 2 --refuse-open", true},
        Row{"list --simulate --converters 3", false},
        Row{"update --simulate --unplug-awaiting 0 --version V1", false}));

TEST(CliArguments, KeepsWhatTheCommandLineSays) {
    const auto parsed =
        CliArguments::parse({"cli", "update", "--file", "a.hex", "--checksum", "0x1A2B",
                             "--simulate", "--unplug-after", "7", "--device", "/dev/hidraw3"});
    const auto& arguments = std::get<CliArguments>(parsed);
    EXPECT_EQ(arguments.command, CliArguments::Command::Update);
    EXPECT_EQ(arguments.checksum, 0x1A2B);
    EXPECT_EQ(arguments.file, "a.hex");
    EXPECT_EQ(arguments.device, "/dev/hidraw3");
    ASSERT_TRUE(arguments.simulation);
    EXPECT_EQ(arguments.simulation->unplugAfter, 7);
}

} // namespace
