// velmar-converter-cli as a user runs it: the real program in a process of its own, on its
// virtual converters (--simulate), with the releases shipped beside it and, for the online rows,
// a real FTP server on loopback.
#include <algorithm>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>

#include "support/LoopbackFtpServer.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
    // Standard output read as JSON lines; a line that is not an object fails the test.
    std::vector<QJsonObject> events() const {
        std::vector<QJsonObject> objects;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
            EXPECT_TRUE(document.isObject()) << "not a JSON object: " << line.toStdString();
            objects.push_back(document.object());
        }
        return objects;
    }
    QJsonObject last() const { return events().empty() ? QJsonObject() : events().back(); }
};

ProgramRun run(const QString& commandLine) {
    QProcess process;
    process.start(CLI_PROGRAM, commandLine.split(' ', Qt::SkipEmptyParts));
    process.waitForFinished(60000);
    const ProgramRun result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                            QString::fromUtf8(process.readAllStandardOutput()),
                            QString::fromUtf8(process.readAllStandardError())};
    // Whatever went wrong, the next step is said in terminal words, never the window's.
    EXPECT_FALSE(result.err.contains("Confirm")) << result.err.toStdString();
    return result;
}

QString shippedRelease(const QString& file) {
    return qEnvironmentVariable("UPDATER_RESOURCE_DIR") + "/data/QK100201/standard/V1.1.0.2/" +
           file;
}

// The checksum the shipped release's description gives.
qint64 shippedChecksum() {
    QFile description(shippedRelease("tmp.txt"));
    description.open(QIODevice::ReadOnly);
    static const QRegularExpression field("0x([0-9A-Fa-f]+)");
    return field.match(QString::fromLatin1(description.readAll()))
        .captured(1)
        .toLongLong(nullptr, 16);
}

TEST(CliProgram, ListsWhatIsAttached) {
    const struct {
        const char* simulation;
        int exitCode;
        int lines;
        const char* saying;
    } rows[] = {
        {"--converters 0", 3, 0, "No converter in loader mode is attached"},
        {"", 0, 1, "QK100201  V1.0.0.5  Velmar Pad Converter Pro"},
        {"--converters 2", 0, 2, "QK100301  V1.0.0.3  Velmar Pad Converter Lite"},
        {"--refuse-open", 4, 1, "70-velmar-converter.rules"},
    };
    for (const auto& row : rows) {
        const ProgramRun result = run(QString("list --simulate ") + row.simulation);
        EXPECT_EQ(result.exitCode, row.exitCode) << row.simulation;
        EXPECT_EQ(result.out.count('\n'), row.lines) << row.simulation;
        EXPECT_TRUE((result.out + result.err).contains(row.saying)) << result.out.toStdString();
    }
}

TEST(CliProgram, UpdatesOneConverterOfSeveralOnlyWhenNamed) {
    const ProgramRun unnamed = run("update --simulate --converters 2 --version V1.1.0.2");
    EXPECT_EQ(unnamed.exitCode, 2);
    EXPECT_TRUE(unnamed.err.contains("--device virtual-1") &&
                unnamed.err.contains("--device virtual-2"));
    const ProgramRun named =
        run("update --simulate --converters 2 --device virtual-2 --version V1.0.1.0");
    EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
    EXPECT_TRUE(named.out.contains("now runs V1.0.1.0"));
}

// The version printed at the end is asked of the converter again after the update: the virtual
// converter reports the new one only once it has taken in the whole image and the end command.
TEST(CliProgram, UpdateReadsTheVersionAgainAndStreamsMonotonicProgress) {
    const ProgramRun result = run("update --simulate --json --version V1.1.0.2");
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    QStringList kinds;
    int percent = -1;
    for (const QJsonObject& event : result.events()) {
        kinds << event["event"].toString();
        if (kinds.last() != "progress")
            continue;
        EXPECT_GT(event["percent"].toInt(), percent); // at most one line a percent, rising
        percent = event["percent"].toInt();
        // The bytes sent are counted, not estimated: 48 in the first packet, 56 in each further.
        const int packets = event["packets"].toInt();
        EXPECT_EQ(event["bytes"].toInt(),
                  std::min(event["totalBytes"].toInt(), 48 + (packets - 1) * 56));
    }
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(kinds.first(), "found");
    EXPECT_EQ(kinds.mid(1, 2), QStringList({"identified", "status"}));
    EXPECT_EQ(kinds.count("progress"), 101);
    EXPECT_EQ(result.last()["version"].toString(), "V1.1.0.2");
    EXPECT_TRUE(result.last()["ok"].toBool());
}

TEST(CliProgram, AFaultAtARandomPacketFailsWithItsReason) {
    const int packet = QRandomGenerator::global()->bounded(1, 600);
    const ProgramRun result = run(
        QString("update --simulate --json --version V1.1.0.2 --unplug-awaiting %1").arg(packet));
    EXPECT_EQ(result.exitCode, 1) << "unplugged awaiting packet " << packet;
    EXPECT_EQ(result.last()["exitCode"].toInt(), 1);
    EXPECT_TRUE(result.last()["reason"].toString().contains(QString("packet %1 of").arg(packet)))
        << result.last()["reason"].toString().toStdString();
}

TEST(CliProgram, UpdatesFromAFileWithItsChecksumOrDescription) {
    const QString image = " --file " + shippedRelease("tmp.hex");
    const struct {
        QString check;
        int exitCode;
    } rows[] = {
        {QString(" --checksum 0x%1").arg(shippedChecksum(), 4, 16, QChar('0')), 0},
        {QString(" --checksum 0x%1").arg((shippedChecksum() + 1) & 0xFFFF, 4, 16, QChar('0')), 1},
        {" --description " + shippedRelease("tmp.txt"), 0},
        {" --description " + shippedRelease("tmp.hex"), 1}, // no checksum in it
    };
    for (const auto& row : rows) {
        const ProgramRun result = run("update --simulate --json" + image + row.check);
        EXPECT_EQ(result.exitCode, row.exitCode) << row.check.toStdString();
        EXPECT_EQ(result.out.contains("\"alert\""), row.exitCode != 0 && row.check.contains("sum"))
            << "the wrong final checksum is alerted as the window alerts it";
    }
}

TEST(CliProgram, OnlineReleasesAndUpdateComeFromTheServer) {
    LoopbackFtpServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    QFile image(shippedRelease("tmp.hex"));
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    ASSERT_TRUE(server.addFile("fw.hex", image.readAll()));
    ASSERT_TRUE(server.addFile("QK100201.txt", QString("// releases\r\nV2.0.0.1,0x%1,fw.hex\r\n"
                                                       "V1.9.0.0,0x0000,gone.hex\r\n")
                                                   .arg(shippedChecksum(), 4, 16, QChar('0'))
                                                   .toUtf8()));
    const QString online = " --simulate --online --json --ftp-host " + server.host();

    const ProgramRun releases = run("releases" + online);
    ASSERT_EQ(releases.exitCode, 0) << releases.err.toStdString();
    QStringList versions;
    for (const QJsonObject& event : releases.events())
        if (event["event"] == "release")
            versions << event["version"].toString();
    EXPECT_EQ(versions, QStringList({"V2.0.0.1", "V1.9.0.0"}));

    const ProgramRun update = run("update --version V2.0.0.1" + online);
    EXPECT_EQ(update.exitCode, 0) << update.err.toStdString();
    EXPECT_EQ(update.last()["version"].toString(), "V2.0.0.1");
    EXPECT_EQ(run("update --version V1.9.0.0" + online).exitCode, 5);
}

} // namespace
