#include <gtest/gtest.h>

#include <QTemporaryFile>
#include <libxml/parser.h>
#include <unistd.h>

#include "config/ParseConfig.h"
#include "support/ScopedDiagnosticCapture.h"

static QString text(const std::optional<QString>& field) {
    return field.value_or(QStringLiteral("<absent>"));
}

static const QString parseFailed =
    QStringLiteral("[ParseConfig][156][parseXML(from:)] XML parsing failed");

TEST(ParseConfig, EveryElementReachesItsOwnFieldAndEachRecordStartsEmpty) {
    const auto config = ParseConfig::parseXML(R"(<Anything>
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
    EXPECT_EQ(
        QStringList({text(config->ProgramTitle), text(config->PromptText),
                     text(config->ImageModel->ImageName), text(config->ImageModel->ImageString)}),
        QStringList({"Title", "Plug it in", "pic", "QUJD"}));
    EXPECT_EQ(config->IsOnline, true);
    const APModel& ap = *config->APCollection->at(0);
    EXPECT_EQ(std::tuple(ap.Vid, ap.Pid, ap.IsSwitch_Ld, ap.IsSwitch_Ap),
              std::tuple(4617, 1, true, false));
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
    EXPECT_EQ(std::tuple(first.Standard, first.Tournament), std::tuple(true, false));
    const FwInfoModel& second = *config->FwInfoCollection->at(1);
    EXPECT_EQ(std::tuple(text(second.PartNumber), text(second.FileName), second.Standard),
              std::tuple(QStringLiteral("QK2"), QStringLiteral("<absent>"), std::optional<bool>()));
}

TEST(ParseConfig, SharedRecordsFollowLaterFieldsAndListsAreSnapshotsAtTheirEndTags) {
    const auto config = ParseConfig::parseXML(R"(<r>
  <ImageModel><ImageName>first</ImageName></ImageModel><ImageName>after</ImageName>
  <FwInfoCollection><FwInfoVM><FileName>before</FileName></FwInfoVM></FwInfoCollection>
  <FileName>after</FileName><PromptText>x</PromptText><PromptText>   </PromptText><IsOnline/>
  <ApVM><LdVM><Vid>7</Vid></LdVM></ApVM>
  <APCollection><ApVM><Vid>1</Vid></ApVM></APCollection><Ld_Cmd>late</Ld_Cmd>
  <LdVM><Vid>2</Vid></LdVM><LDCollection/>
  <APCollection><ApVM><Pid>3</Pid></ApVM></APCollection><ApVM/><LdVM/>
</r>)");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ProgramTitle, std::nullopt);
    EXPECT_EQ(config->PromptText, QString()); // the later one wins, present and empty
    EXPECT_EQ(config->IsOnline, false);
    EXPECT_EQ(config->ImageModel->ImageName, QStringLiteral("first")); // the stored one stays
    EXPECT_EQ(config->FwInfoCollection->at(0)->FileName, QStringLiteral("after"));
    const auto& aps = *config->APCollection;
    ASSERT_EQ(aps.size(), 3u);
    EXPECT_EQ(std::tuple(aps[0]->Vid, aps[1]->Vid, aps[2]->Pid), std::tuple(7, 1, 3));
    EXPECT_EQ(aps[1]->Ld_Cmd, QStringLiteral("late")); // needs no open record
    const auto& lds = *config->LDCollection;
    ASSERT_EQ(lds.size(), 2u);
    EXPECT_EQ(std::tuple(lds[0]->Vid, lds[1]->Vid), std::tuple(7, 2));
    const auto lists = ParseConfig::parseXML("<r><LDCollection/><FwInfoVM/></r>");
    EXPECT_TRUE(lists->LDCollection && lists->LDCollection->empty() && !lists->FwInfoCollection);
}

TEST(ParseConfig, TextIsTrimmedPerChunkCdataCountsAndPrefixedNamesDoNotMatch) {
    const auto config = ParseConfig::parseXML(R"(<r xmlns:p="urn:v">
  <ProgramTitle>a &amp; b</ProgramTitle><PromptText>x <![CDATA[ <y> ]]> z</PromptText>
  <p:IsOnline>1</p:IsOnline><isonline>1</isonline></r>)");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ProgramTitle, QStringLiteral("a&b"));
    EXPECT_EQ(config->PromptText, QStringLiteral("x<y>z"));
    EXPECT_EQ(config->IsOnline, std::nullopt);
}

// A broken encoding is reported by libxml2 outside the event handler: it must not reach stderr.
TEST(ParseConfig, ADocumentThatIsNotWellFormedGivesNothingAndSaysSoOnlyInTheLog) {
    const char utf7[] = "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<Config>t\0sion><ApVM>dd>"
                        "</ApVM></Config>";
    const QByteArray broken[] = {"<r><ProgramTitle>T</ProgramTitle><APCollection/>",
                                 "<r><ProgramTitle>T</PromptText></r>", "<r/><r/>", "",
                                 QByteArray(utf7, sizeof utf7 - 1)};
    ScopedDiagnosticCapture log;
    QTemporaryFile capture;
    ASSERT_TRUE(capture.open());
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(capture.handle(), STDERR_FILENO);
    for (const QByteArray& document : broken)
        EXPECT_FALSE(ParseConfig::parseXML(document)) << document.toStdString();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    EXPECT_EQ(capture.size(), 0);
    EXPECT_EQ(log.lines(), QStringList(std::size(broken), parseFailed));
}

TEST(ParseConfig, AnExternalEntityNeverReachesTheModelAndOtherUsersKeepTheirLoader) {
    QTemporaryFile secret;
    ASSERT_TRUE(secret.open() && secret.write("SECRET") == 6 && secret.flush());
    const xmlExternalEntityLoader loaderBefore = xmlGetExternalEntityLoader();
    const auto config = ParseConfig::parseXML("<!DOCTYPE r [<!ENTITY leak SYSTEM \"file://" +
                                              secret.fileName().toUtf8() +
                                              "\">]><r><ProgramTitle>&leak;</ProgramTitle></r>");
    EXPECT_FALSE(config && text(config->ProgramTitle).contains(u"SECRET"));
    EXPECT_EQ(xmlGetExternalEntityLoader(), loaderBefore);
}
