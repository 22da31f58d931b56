// The real program in a process of its own, on virtual converters, with a loopback FTP server.
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "firmware/DescriptionFile.h"
#include "support/LoopbackFtpServer.h"
#include "support/TestImages.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

ProgramRun run(const QString& commandLine) {
    QProcess process;
    process.start(CLI_PROGRAM, commandLine.split(' ', Qt::SkipEmptyParts));
    process.waitForFinished(60000);
    const ProgramRun result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                            QString::fromUtf8(process.readAllStandardOutput()),
                            QString::fromUtf8(process.readAllStandardError())};
    // Whatever went wrong, the next step is said in terminal words, never the window's; and a
    // pipe gets no colour.
    EXPECT_FALSE(result.err.contains("Confirm") || (result.out + result.err).contains("\x1b["))
        << result.err.toStdString();
    return result;
}

const QString release =
    qEnvironmentVariable("UPDATER_RESOURCE_DIR") + "/data/QK100201/standard/V1.1.0.2/tmp.";

// The shipped release's checksum plus `offset`, as a description writes it.
QString checksumField(int offset) {
    QFile description(release + "txt");
    description.open(QIODevice::ReadOnly);
    const qint64 sum =
        *DescriptionFile::applyChecksumFile(QString::fromUtf8(description.readAll()), {});
    return QString("0x%1").arg((sum + offset) & 0xFFFF, 4, 16, QChar('0'));
}

// Files that --file refuses, or writes with --force, in `folder`; the command that takes one.
QString writeImageFiles(const QTemporaryDir& folder) {
    QFile shipped(release + "hex");
    shipped.open(QIODevice::ReadOnly);
    const QByteArray text = shipped.readAll();
    const qsizetype line3 = text.indexOf('\n', 60) + 1; // after two records of 17 and 45 bytes
    QByteArray badSum = text;
    char& lastDigit = badSum[text.indexOf('\r', line3) - 1];
    lastDigit = lastDigit == '0' ? '1' : '0'; // the same image, one record checksum off
    const std::pair<QString, QByteArray> files[] = {
        {"empty.hex", ""},
        {"text.hex", "Release notes\n"},
        {"cut.hex", text.left(line3 + 20)},
        {"ended.hex", text.left(line3)}, // whole records, but not the last one
        {"sum.hex", badSum},
        {"huge.hex", hexText(QByteArray(1834980, 'x'))},
    };
    for (const auto& [name, contents] : files) {
        QFile file(folder.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(contents);
    }
    return "update --simulate --json --checksum " + checksumField(0) + " --file " + folder.path();
}

TEST(CliProgram, ListsAndUpdatesWhatIsAttachedOfflineAndOnlineAndSaysWhatWentWrong) {
    LoopbackFtpServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    QFile image(release + "hex");
    ASSERT_TRUE(image.open(QIODevice::ReadOnly) && server.addFile("fw.hex", image.readAll()));
    const QString list = "// releases\r\nV2.0.0.1," + checksumField(0) + ",fw.hex\r\n";
    ASSERT_TRUE(server.addFile("QK100201.txt", (list + "V1.9.0.0,0x0000,gone.hex\r\n").toUtf8()));
    const QString online = " --simulate --online --json --ftp-host " + server.host();
    const QString file = "update --simulate --json --file " + release + "hex";
    const QTemporaryDir folder;
    const QString refused = writeImageFiles(folder);
    // At the end of the output, after the last progress line: what happened, and the next step.
    const QString plugInAgain =
        "Plug the converter in again in loader mode and run the update again";
    const auto lastTwo = [](const QString& what, const QString& next) {
        return "\n" + what + "\n" + next + "\\.\n$";
    };
    const int packet = QRandomGenerator::global()->bounded(1, 600);
    // command line, exit code, a pattern found in standard output or error
    const std::tuple<QString, int, QString> rows[] = {
        {"list --simulate --converters 0", 3, "No converter in loader mode is attached"},
        {"list --simulate", 0, "QK100201  V1.0.0.5  Velmar Pad Converter Pro"},
        {"list --simulate --converters 2", 0, "QK100301  V1.0.0.3  Velmar Pad Converter Lite"},
        {"list --simulate --refuse-open", 4, "70-velmar-converter.rules"},
        {"--version", 0, "^velmar-converter-cli 1\\.\\d+\\.\\d+\\n$"},
        {"update --simulate --converters 2 --release V1.1.0.2", 2, "virtual-1.*virtual-2"},
        {"update --simulate --converters 2 --device virtual-2 --release V1.0.1.0", 0,
         "now runs V1.0.1.0"},
        {"update --simulate --release V1.0.1.0", 2, "\"V1.0.1.0\".*: V1.0.0.5, V1.1.0.2\\.$"},
        {"update --simulate --release= --mode tournament", 2, "\"\".*: V1.0.0.5, V1.1.0.2\\.$"},
        {"releases --simulate --converters 0 --part-number QK100301", 0, "V1.0.1.0"},
        {"releases --simulate --converters 0 --part-number QK100301 --mode tournament", 1,
         "^There are no tournament releases for this converter\\.\nChoose the other mode with "
         "--mode\\.\n$"},
        {"update --simulate --plug-after 1000 --wait 30 --release V1.1.0.2", 0,
         "now runs V1.1.0.2"},
        {QString("update --simulate --json --release V1.1.0.2 --unplug-awaiting %1").arg(packet), 1,
         QString("\"reason\":\"[^\"]*packet %1 of").arg(packet)},
        {refused + "/missing.hex", 6, "missing.hex could not be read: No such file"},
        {refused + "/empty.hex", 6, "empty.hex holds no firmware"},
        {refused + "/text.hex", 6, "text.hex is not a whole HEX image: line 1 is not a HEX record"},
        {refused + "/cut.hex", 6, "cut.hex is not a whole HEX image: line 3 is cut off"},
        {refused + "/ended.hex", 6, "ended.hex is not a whole HEX image: it ends before its end"},
        {refused + "/sum.hex", 6, "sum.hex: the record checksum of line 3 is wrong.*--force"},
        {refused + "/sum.hex --force", 0, "\"ok\":true"},
        {refused + "/huge.hex", 6,
         "1834980 bytes of firmware; the converter takes at most 1834944"},
        {QString("update --simulate --release V1.1.0.2 --unplug-awaiting %1").arg(packet), 1,
         lastTwo(QString("The converter was unplugged at packet %1 of 600\\.").arg(packet),
                 plugInAgain)},
        {QString("update --simulate --json --release V1.1.0.2 --unplug-after %1").arg(packet), 1,
         QString("\"next\":\"%1.*unplugged at packet %2 of").arg(plugInAgain).arg(packet + 1)},
        {file + " --checksum " + checksumField(0), 0, "\"ok\":true"},
        {"update --simulate --file " + release + "hex --checksum " + checksumField(1), 1,
         "left" +
             lastTwo(
                 "The final checksum was 0x[0-9A-F]{4} where " +
                     checksumField(1).toUpper().replace("0X", "0x") + " was expected\\.",
                 "Unplug the converter, plug it in again in loader mode and run the update again")},
        {file + " --description " + release + "txt", 0, "\"ok\":true"},
        {file + " --description " + release + "hex", 6, "tmp.hex gives no checksum"},
        {"releases" + online, 0, "\"V2.0.0.1\".*\"V1.9.0.0\""},
        {"update --release V2.0.0.1" + online, 0, "\"version\":\"V2.0.0.1\""},
        {"update --release V3" + online, 2, "V2.0.0.1, V1.9.0.0"},
        {"update --release V1.9.0.0 --simulate --online --ftp-host " + server.host(), 5,
         lastTwo("The download of gone.hex failed: the file was not found on the server, or "
                 "access was refused\\.",
                 "Check the connection to the server and run the command again")},
    };
    for (const auto& [commandLine, exitCode, saying] : rows) {
        const ProgramRun result = run(commandLine);
        EXPECT_EQ(result.exitCode, exitCode) << commandLine.toStdString();
        // A refused image: not even the identification reached a converter.
        EXPECT_TRUE(exitCode != 6 || !result.out.contains("found")) << commandLine.toStdString();
        const QString said = result.out + result.err;
        const QRegularExpression pattern(saying, QRegularExpression::DotMatchesEverythingOption |
                                                     QRegularExpression::MultilineOption);
        EXPECT_TRUE(pattern.match(said).hasMatch())
            << saying.toStdString() << " not in " << said.toStdString();
    }
}

// The virtual converter reports the new version only after the whole image and the end command.
TEST(CliProgram, UpdateReadsTheVersionAgainAndStreamsMonotonicProgress) {
    const ProgramRun result = run("update --simulate --json --release V1.1.0.2");
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    QStringList kinds;
    int percent = -1;
    QJsonObject event; // every line is one, naming its event
    for (const QString& line : result.out.split('\n', Qt::SkipEmptyParts)) {
        event = QJsonDocument::fromJson(line.toUtf8()).object();
        kinds << event["event"].toString();
        if (kinds.last() != "progress")
            continue;
        EXPECT_GT(event["percent"].toInt(), percent); // at most one line a percent, rising
        percent = event["percent"].toInt();
        // Bytes counted, not estimated: 48 in the first packet, 56 in each further.
        EXPECT_EQ(event["bytes"].toInt(),
                  std::min(event["totalBytes"].toInt(), 48 + (event["packets"].toInt() - 1) * 56));
    }
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(kinds.mid(0, 3), QStringList({"found", "identified", "status"}));
    EXPECT_EQ(kinds.count("progress"), 101);
    EXPECT_FALSE(kinds.contains(QString()));
    EXPECT_TRUE(event["version"].toString() == "V1.1.0.2" && event["ok"].toBool());
}

// Neither a reader that goes away nor Ctrl-C cuts a transfer short; until it starts, Ctrl-C ends
// the program at once.
TEST(CliProgram, ATransferRunsToItsEndWhateverBecomesOfItsOutputOrItsTerminal) {
    const QString update = QString(CLI_PROGRAM) + " update --simulate --reply-delay 2 --release "
                                                  "V1.1.0.2";
    // shell command, what shows the moment for two SIGINTs has come (none: no signal), exit code
    const std::tuple<QString, QString, int> rows[] = {
        {update + " | head -1", "", 0}, // the pipe's exit status is the updater's
        {update, "Updating firmware", 0},
        {update + " --converters 0 --wait", "Waiting for a converter", 130},
    };
    for (const auto& [command, moment, exitCode] : rows) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start("bash", {"-c", "set -o pipefail; exec " + command});
        QByteArray said;
        while (!said.contains(moment.toUtf8()) && process.waitForReadyRead(30000))
            said += process.readAllStandardOutput();
        // A program that has already ended has no id, and kill(0) would signal this test's group.
        const auto pid = static_cast<pid_t>(process.processId());
        for (int twice = 0; twice < 2 && !moment.isEmpty() && pid > 0; ++twice)
            ::kill(pid, SIGINT);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, exitCode)
            << command.toStdString();
        // Said once, however often asked, and only when the update goes on.
        EXPECT_EQ(QString(said + process.readAllStandardOutput()).count("update is in progress"),
                  !moment.isEmpty() && exitCode == 0);
    }
}

} // namespace
