#include <gtest/gtest.h>

#include <QTemporaryFile>
#include <libxml/parser.h>

#include "ScopedDiagnosticCapture.h"
#include "config/ParseConfig.h"

static QString text(const std::optional<QString>& field) {
    return field.value_or(QStringLiteral("<absent>"));
}

TEST(ParseConfig, EveryElementReachesItsOwnFieldAndEachRecordStartsEmpty) {
    const auto config = ParseConfig::parseXML(R"(<Anything>
  <ProgramTitle> a &amp; b </ProgramTitle><PromptText>x <![CDATA[ <y> ]]> z</PromptText>
  <ImageModel><ImageName>pic</ImageName><ImageString>QUJD</ImageString></ImageModel>
  <APCollection><ApVM lang="ignored"><Vid>4617</Vid><Pid>1</Pid><IsSwitch_Ld>Yes</IsSwitch_Ld>
    <Ld_Cmd>01 02</Ld_Cmd><Ld_Cmd_Len>2</Ld_Cmd_Len><IsSwitch_Ap>0</IsSwitch_Ap><Ap_Cmd/>
    <Ap_Cmd_Len>0</Ap_Cmd_Len></ApVM></APCollection>
  <LDCollection><LdVM><Vid> +4617 </Vid><Pid>0x02</Pid></LdVM></LDCollection><IsOnline>1</IsOnline>
  <FwInfoCollection><FwInfoVM><FileName>a</FileName><FileName_TE>b</FileName_TE>
    <BetaFileName>c</BetaFileName><BetaFileName_TE>d</BetaFileName_TE><PartNumber>QK1</PartNumber>
    <DeviceName>Pro</DeviceName><Standard>true</Standard><Tournament>no</Tournament></FwInfoVM>
    <FwInfoVM><PartNumber>QK2</PartNumber></FwInfoVM></FwInfoCollection>
</Anything>)");
    ASSERT_TRUE(config && config->FwInfoCollection->size() == 2);
    const APModel& ap = *config->APCollection->at(0);
    const LDModel& ld = *config->LDCollection->at(0);
    const FwInfoModel& first = *config->FwInfoCollection->at(0);
    const FwInfoModel& second = *config->FwInfoCollection->at(1);
    EXPECT_EQ(
        QStringList({text(config->ProgramTitle), text(config->PromptText),
                     text(config->ImageModel->ImageName), text(config->ImageModel->ImageString),
                     text(ap.Ld_Cmd), text(ap.Ld_Cmd_Len), text(ap.Ap_Cmd), text(ap.Ap_Cmd_Len),
                     text(first.FileName), text(first.FileName_TE), text(first.BetaFileName),
                     text(first.BetaFileName_TE), text(first.PartNumber), text(first.DeviceName),
                     text(second.PartNumber), text(second.FileName)}),
        QStringList({"a&b", "x<y>z", "pic", "QUJD", "01 02", "2", "", "0", "a", "b", "c", "d",
                     "QK1", "Pro", "QK2", "<absent>"}));
    EXPECT_EQ(std::tuple(config->IsOnline, ap.Vid, ap.Pid, ap.IsSwitch_Ld, ap.IsSwitch_Ap, ld.Vid,
                         ld.Pid, first.Standard, first.Tournament, second.Standard),
              std::tuple(true, 4617, 1, true, false, 4617, std::nullopt, true, false,
                         std::optional<bool>()));
}

TEST(ParseConfig, SharedRecordsFollowLaterFieldsAndListsAreSnapshotsAtTheirEndTags) {
    const auto config = ParseConfig::parseXML(R"(<r xmlns:p="urn:v">
  <ImageModel><ImageName>first</ImageName></ImageModel><ImageName>after</ImageName>
  <FwInfoCollection><FwInfoVM><FileName>before</FileName></FwInfoVM></FwInfoCollection>
  <FileName>after</FileName><PromptText>x</PromptText><PromptText>   </PromptText><IsOnline/>
  <ApVM><LdVM><Vid>7</Vid></LdVM></ApVM><p:IsOnline>1</p:IsOnline><isonline>1</isonline>
  <APCollection><ApVM><Vid>1</Vid></ApVM></APCollection><Ld_Cmd>late</Ld_Cmd>
  <LdVM><Vid>2</Vid></LdVM><LDCollection/>
  <APCollection><ApVM><Pid>3</Pid></ApVM></APCollection><ApVM/><LdVM/>
</r>)");
    ASSERT_TRUE(config && config->APCollection->size() == 3 && config->LDCollection->size() == 2);
    const auto& aps = *config->APCollection;
    const auto& lds = *config->LDCollection;
    // The later PromptText wins, present and empty; the stored image stays; Ld_Cmd needs no record.
    EXPECT_EQ(std::tuple(config->ProgramTitle, config->PromptText, config->IsOnline,
                         config->ImageModel->ImageName, config->FwInfoCollection->at(0)->FileName,
                         aps[1]->Ld_Cmd),
              std::tuple(std::nullopt, QString(), false, "first", "after", "late"));
    EXPECT_EQ(std::tuple(aps[0]->Vid, aps[1]->Vid, aps[2]->Pid, lds[0]->Vid, lds[1]->Vid),
              std::tuple(7, 1, 3, 7, 2));
    const auto lists = ParseConfig::parseXML("<r><LDCollection/><FwInfoVM/></r>");
    EXPECT_TRUE(lists->LDCollection && lists->LDCollection->empty() && !lists->FwInfoCollection);
}

// A broken encoding is reported by libxml2 outside the event handler: it must not reach stderr.
// Other users of libxml2 keep their external entity loader.
TEST(ParseConfig, ABrokenDocumentGivesNothingSaidOnlyInTheLogAndNoExternalEntityIsRead) {
    const char utf7[] = "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<Config>t\0sion><ApVM>dd>"
                        "</ApVM></Config>";
    const QByteArray broken[] = {"<r><ProgramTitle>T</ProgramTitle><APCollection/>",
                                 "<r><ProgramTitle>T</PromptText></r>", "<r/><r/>", "",
                                 QByteArray(utf7, sizeof utf7 - 1)};
    ScopedDiagnosticCapture log;
    testing::internal::CaptureStderr();
    for (const QByteArray& document : broken)
        EXPECT_FALSE(ParseConfig::parseXML(document)) << document.toStdString();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(log.lines(), QStringList(std::size(broken),
                                       "[ParseConfig][156][parseXML(from:)] XML parsing failed"));

    QTemporaryFile secret;
    ASSERT_TRUE(secret.open() && secret.write("SECRET") == 6 && secret.flush());
    const xmlExternalEntityLoader loaderBefore = xmlGetExternalEntityLoader();
    const auto config = ParseConfig::parseXML("<!DOCTYPE r [<!ENTITY leak SYSTEM \"file://" +
                                              secret.fileName().toUtf8() +
                                              "\">]><r><ProgramTitle>&leak;</ProgramTitle></r>");
    EXPECT_FALSE(config && text(config->ProgramTitle).contains(u"SECRET"));
    EXPECT_EQ(xmlGetExternalEntityLoader(), loaderBefore);
}
