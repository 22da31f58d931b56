#include <gtest/gtest.h>

#include "cli/CliArguments.h"

static std::variant<CliArguments, CliArguments::UsageError> parse(const char* commandLine) {
    return CliArguments::parse(QStringList{"cli"} +
                               QString(commandLine).split(' ', Qt::SkipEmptyParts));
}

TEST(CliArguments, AcceptsOnlyWholeCommandsAndKeepsWhatTheySay) {
    for (const char* commandLine :
         {"list", "releases --mode tournament --online",
          "update --release V1.1.0.2 --device /dev/hidraw3 --json --wait",
          "update --wait --file a.hex --checksum 0x1A2B --force", "releases --part-number QK100201",
          "update --file a.hex --description tmp.txt", "--version",
          "list --simulate --converters 2 --refuse-open --plug-after 900"})
        EXPECT_TRUE(std::holds_alternative<CliArguments>(parse(commandLine))) << commandLine;
    for (const char* commandLine : {"",
                                    "flash",
                                    "list releases",
                                    "list --online",
                                    "list --release V1.1.0.2",
                                    "releases --mode race",
                                    "update",
                                    "update --release V1.1.0.2 --file a.hex",
                                    "update --release V1.1.0.2 --checksum 0x1A2B",
                                    "update --file a.hex",
                                    "update --release V1.1.0.2 --force",
                                    "list --wait",
                                    "update --wait -3 --release V1",
                                    "releases --part-number QK100201 --device /dev/hidraw3",
                                    "update --version V1.1.0.2",
                                    "update --file a.hex --checksum 0x1A2B --description tmp.txt",
                                    "update --file a.hex --checksum 0x10000",
                                    "update --file a.hex --checksum zz",
                                    "update --file a.hex --checksum 0x1A2B --online",
                                    "list --unplug-after 3",
                                    "list --simulate --converters 3",
                                    "update --simulate --unplug-awaiting 0 --release V1"}) {
        const auto parsed = parse(commandLine);
        const auto* error = std::get_if<CliArguments::UsageError>(&parsed);
        EXPECT_TRUE(error && !error->message.isEmpty()) << commandLine;
    }
    // The program tests see the other options at work, but not a wait that drops its number.
    EXPECT_EQ(std::get<CliArguments>(parse("update --wait 30 --release V1")).waitSeconds, 30);
}
