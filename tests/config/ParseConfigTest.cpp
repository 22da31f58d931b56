#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <functional>
#include <libxml/parser.h>
#include <unistd.h>

#include "config/ParseConfig.h"
#include "support/ScopedDiagnosticCapture.h"

namespace {

std::optional<ConfigModel> parse(const QByteArray& document) {
    return ParseConfig::parseXML(document);
}

QString text(const std::optional<QString>& field) {
    return field.value_or(QStringLiteral("<absent>"));
}

} // namespace

TEST(ParseConfig, EveryElementReachesItsOwnFieldAndEachRecordStartsEmpty) {
    ScopedDiagnosticCapture log;
    const auto config = parse(R"(<Anything>
  <ProgramTitle>  Title  </ProgramTitle><PromptText>Plug it in</PromptText><IsOnline>1</IsOnline>
  <ImageModel><ImageName>pic</ImageName><ImageString>QUJD</ImageString></ImageModel>
  <APCollection><ApVM lang="ignored"><Vid>4617</Vid><Pid>1</Pid><IsSwitch_Ld>Yes</IsSwitch_Ld>
    <Ld_Cmd>01 02</Ld_Cmd><Ld_Cmd_Len>2</Ld_Cmd_Len><IsSwitch_Ap>0</IsSwitch_Ap><Ap_Cmd/>
    <Ap_Cmd_Len>0</Ap_Cmd_Len></ApVM></APCollection>
  <LDCollection><LdVM><Vid> +4617 </Vid><Pid>0x02</Pid></LdVM></LDCollection>
  <FwInfoCollection><FwInfoVM><FileName>a</FileName><FileName_TE>b</FileName_TE>
    <BetaFileName>c</BetaFileName><BetaFileName_TE>d</BetaFileName_TE><PartNumber>QK1</PartNumber>
    <DeviceName>Pro</DeviceName><Standard>true</Standard><Tournament>no</Tournament></FwInfoVM>
    <FwInfoVM><PartNumber>QK2</PartNumber></FwInfoVM></FwInfoCollection>
</Anything>)");
    ASSERT_TRUE(config);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(config->ProgramTitle, QStringLiteral("Title"));
    EXPECT_EQ(config->PromptText, QStringLiteral("Plug it in"));
    EXPECT_EQ(config->IsOnline, true);
    EXPECT_EQ(config->ImageModel->ImageName, QStringLiteral("pic"));
    EXPECT_EQ(config->ImageModel->ImageString, QStringLiteral("QUJD"));

    const APModel& ap = *config->APCollection->at(0);
    EXPECT_EQ(ap.Vid, 4617);
    EXPECT_EQ(ap.Pid, 1);
    EXPECT_EQ(ap.IsSwitch_Ld, true);
    EXPECT_EQ(ap.IsSwitch_Ap, false);
    EXPECT_EQ(
        QStringList({text(ap.Ld_Cmd), text(ap.Ld_Cmd_Len), text(ap.Ap_Cmd), text(ap.Ap_Cmd_Len)}),
        QStringList({"01 02", "2", "", "0"}));
    EXPECT_EQ(config->LDCollection->at(0)->Vid, 4617); // the chunk's white space trimmed
    EXPECT_EQ(config->LDCollection->at(0)->Pid, std::nullopt);

    ASSERT_EQ(config->FwInfoCollection->size(), 2u);
    const FwInfoModel& first = *config->FwInfoCollection->at(0);
    EXPECT_EQ(
        QStringList({text(first.FileName), text(first.FileName_TE), text(first.BetaFileName),
                     text(first.BetaFileName_TE), text(first.PartNumber), text(first.DeviceName)}),
        QStringList({"a", "b", "c", "d", "QK1", "Pro"}));
    EXPECT_EQ(first.Standard, true);
    EXPECT_EQ(first.Tournament, false);
    const FwInfoModel& second = *config->FwInfoCollection->at(1);
    EXPECT_EQ(second.PartNumber, QStringLiteral("QK2"));
    EXPECT_EQ(second.FileName, std::nullopt);
    EXPECT_EQ(second.Standard, std::nullopt);
}

TEST(ParseConfig, AbsentStaysDistinctFromEmptyAndFalse) {
    const auto onlyTitle = parse("<r><ProgramTitle>T</ProgramTitle></r>");
    ASSERT_TRUE(onlyTitle);
    EXPECT_EQ(onlyTitle->PromptText, std::nullopt);
    EXPECT_EQ(onlyTitle->IsOnline, std::nullopt);
    EXPECT_FALSE(onlyTitle->ImageModel || onlyTitle->APCollection || onlyTitle->FwInfoCollection);

    const auto empties = parse("<r><PromptText>x</PromptText><PromptText>   </PromptText>"
                               "<IsOnline/><APCollection/></r>");
    ASSERT_TRUE(empties);
    EXPECT_EQ(empties->PromptText, QString()); // the later one wins, present and empty
    EXPECT_EQ(empties->IsOnline, false);
    ASSERT_TRUE(empties->APCollection);
    EXPECT_TRUE(empties->APCollection->empty());
}

TEST(ParseConfig, SharedRecordsFollowLaterFieldsButTheStoredImageModelDoesNot) {
    const auto config = parse(R"(<r>
  <ImageModel><ImageName>first</ImageName></ImageModel><ImageName>after</ImageName>
  <FwInfoCollection><FwInfoVM><FileName>before</FileName></FwInfoVM></FwInfoCollection>
  <FileName>after</FileName>
  <APCollection><ApVM><Vid>1</Vid></ApVM></APCollection>
  <LDCollection><LdVM><Vid>2</Vid></LdVM></LDCollection><Ld_Cmd>late</Ld_Cmd>
</r>)");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ImageModel->ImageName, QStringLiteral("first"));
    EXPECT_EQ(config->FwInfoCollection->at(0)->FileName, QStringLiteral("after"));
    EXPECT_EQ(config->APCollection->at(0)->Vid, 1);
    EXPECT_EQ(config->LDCollection->at(0)->Vid, 2);
    EXPECT_EQ(config->APCollection->at(0)->Ld_Cmd, QStringLiteral("late")); // needs no open record

    const auto nested = parse("<r><ApVM><LdVM><Vid>7</Vid></LdVM></ApVM>"
                              "<APCollection/><LDCollection/></r>");
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->APCollection->at(0)->Vid, 7);
    EXPECT_EQ(nested->LDCollection->at(0)->Vid, 7);
}

TEST(ParseConfig, ListsAreSnapshotsAtTheirEndTagsAndAbsentWithoutOne) {
    const auto config = parse("<r><ApVM><Pid>1</Pid></ApVM>"
                              "<APCollection><ApVM><Pid>2</Pid></ApVM></APCollection>"
                              "<APCollection><ApVM><Pid>3</Pid></ApVM></APCollection>"
                              "<ApVM><Pid>4</Pid></ApVM><LdVM/><FwInfoVM/></r>");
    ASSERT_TRUE(config);
    ASSERT_EQ(config->APCollection->size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(config->APCollection->at(i)->Pid, i + 1);
    EXPECT_FALSE(config->LDCollection);
    EXPECT_FALSE(config->FwInfoCollection);
}

TEST(ParseConfig, TextIsTrimmedPerChunkCdataCountsAndPrefixedNamesDoNotMatch) {
    const auto config = parse(R"(<r xmlns:p="urn:v"><ProgramTitle>a &amp; b</ProgramTitle>
  <PromptText>x <![CDATA[ <y> ]]> z</PromptText><p:IsOnline>1</p:IsOnline><isonline>1</isonline>
</r>)");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ProgramTitle, QStringLiteral("a&b"));
    EXPECT_EQ(config->PromptText, QStringLiteral("x<y>z"));
    EXPECT_EQ(config->IsOnline, std::nullopt);
}

TEST(ParseConfig, ADocumentThatIsNotWellFormedGivesNothingAndSaysSo) {
    ScopedDiagnosticCapture log;
    const char* broken[] = {"<r><ProgramTitle>T</ProgramTitle><APCollection/>", // no root end
                            "<r><ProgramTitle>T</PromptText></r>", "<r/><r/>", ""};
    for (const char* document : broken)
        EXPECT_FALSE(parse(document)) << document;
    EXPECT_EQ(
        log.lines(),
        QStringList(std::size(broken),
                    QStringLiteral("[ParseConfig][156][parseXML(from:)] XML parsing failed")));
}

// Everything written to stderr while `action` runs.
static QByteArray standardErrorOf(const std::function<void()>& action) {
    QTemporaryFile capture;
    EXPECT_TRUE(capture.open());
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(capture.handle(), STDERR_FILENO);
    action();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    capture.seek(0);
    return capture.readAll();
}

TEST(ParseConfig, ABrokenEncodingFailsWithoutWritingToStandardError) {
    // Bytes that UTF-7 cannot decode: libxml2 reports the encoding error outside the SAX handler.
    const char raw[] = "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<Config>t\0sion><ApVM>dd>"
                       "</ApVM></Config>";
    const QByteArray document(raw, sizeof raw - 1);
    ScopedDiagnosticCapture log;
    std::optional<ConfigModel> config;
    const QByteArray written = standardErrorOf([&] { config = ParseConfig::parseXML(document); });
    EXPECT_FALSE(config);
    EXPECT_EQ(written, QByteArray());
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral(
                               "[ParseConfig][156][parseXML(from:)] XML parsing failed")});
}

TEST(ParseConfig, ExternalEntitiesAndDtdsNeverReadAFile) {
    QTemporaryDir dir;
    const QByteArray secret = dir.filePath(QStringLiteral("secret.txt")).toUtf8();
    const QByteArray dtd = dir.filePath(QStringLiteral("evil.dtd")).toUtf8();
    QFile secretFile(QString::fromUtf8(secret));
    QFile dtdFile(QString::fromUtf8(dtd));
    ASSERT_TRUE(secretFile.open(QIODevice::WriteOnly) && dtdFile.open(QIODevice::WriteOnly));
    secretFile.write("SECRET");
    dtdFile.write("<!ENTITY leak SYSTEM \"file://" + secret + "\">");
    secretFile.close();
    dtdFile.close();

    const QByteArray body = "<r><ProgramTitle>&leak;</ProgramTitle></r>";
    const QByteArray documents[] = {
        "<!DOCTYPE r [<!ENTITY leak SYSTEM \"file://" + secret + "\">]>" + body,
        "<!DOCTYPE r [<!ENTITY leak SYSTEM \"" + secret + "\">]>" + body,
        "<!DOCTYPE r SYSTEM \"file://" + dtd + "\">" + body,
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + dtd + "\"> %p;]>" + body,
    };
    const xmlExternalEntityLoader loaderBefore = xmlGetExternalEntityLoader();
    for (const QByteArray& document : documents) {
        const auto config = parse(document);
        if (config && config->ProgramTitle) {
            EXPECT_FALSE(config->ProgramTitle->contains(u"SECRET")) << document.toStdString();
        }
    }
    // The refusal lasts only as long as a parse: other libxml2 users keep their loader.
    EXPECT_EQ(xmlGetExternalEntityLoader(), loaderBefore);
}
