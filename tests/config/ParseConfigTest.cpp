#include <gtest/gtest.h>

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <functional>
#include <libxml/parser.h>
#include <unistd.h>

#include "config/ParseConfig.h"
#include "support/ScopedDiagnosticCapture.h"

namespace {

std::optional<ConfigModel> parse(const char* document) {
    return ParseConfig::parseXML(QByteArray(document));
}

const QString kFailureLine =
    QStringLiteral("[ParseConfig][156][parseXML(from:)] XML parsing failed");

} // namespace

TEST(ParseConfig, ReadsEveryFieldOfACompleteDocument) {
    ScopedDiagnosticCapture log;
    const auto config = parse(R"(<?xml version="1.0"?>
<Anything>
  <ProgramTitle>  Title  </ProgramTitle>
  <PromptText>Plug it in</PromptText>
  <IsOnline>true</IsOnline>
  <ImageModel><ImageName>pic</ImageName><ImageString>QUJD</ImageString></ImageModel>
  <APCollection><ApVM lang="ignored">
    <Vid>4617</Vid><Pid>1</Pid><IsSwitch_Ld>Yes</IsSwitch_Ld><Ld_Cmd>01 02</Ld_Cmd>
    <Ld_Cmd_Len>2</Ld_Cmd_Len><IsSwitch_Ap>0</IsSwitch_Ap><Ap_Cmd/><Ap_Cmd_Len>0</Ap_Cmd_Len>
  </ApVM></APCollection>
  <LDCollection><LdVM><Vid> +4617 </Vid><Pid>0x02</Pid></LdVM></LDCollection>
  <FwInfoCollection>
    <FwInfoVM><FileName>a.txt</FileName><FileName_TE>a_TE.txt</FileName_TE>
      <BetaFileName>a_Beta.txt</BetaFileName><BetaFileName_TE>a_Beta_TE.txt</BetaFileName_TE>
      <PartNumber>QK1</PartNumber><DeviceName>Pro</DeviceName>
      <Standard>true</Standard><Tournament>false</Tournament></FwInfoVM>
    <FwInfoVM><PartNumber>QK2</PartNumber></FwInfoVM>
  </FwInfoCollection>
</Anything>)");
    ASSERT_TRUE(config);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(config->ProgramTitle, QStringLiteral("Title"));
    EXPECT_EQ(config->PromptText, QStringLiteral("Plug it in"));
    EXPECT_EQ(config->IsOnline, true);
    ASSERT_TRUE(config->ImageModel);
    EXPECT_EQ(config->ImageModel->ImageName, QStringLiteral("pic"));
    EXPECT_EQ(config->ImageModel->ImageString, QStringLiteral("QUJD"));

    ASSERT_TRUE(config->APCollection);
    ASSERT_EQ(config->APCollection->size(), 1u);
    const APModel& ap = *config->APCollection->front();
    EXPECT_EQ(ap.Vid, 4617);
    EXPECT_EQ(ap.Pid, 1);
    EXPECT_EQ(ap.IsSwitch_Ld, true);
    EXPECT_EQ(ap.Ld_Cmd, QStringLiteral("01 02"));
    EXPECT_EQ(ap.Ld_Cmd_Len, QStringLiteral("2"));
    EXPECT_EQ(ap.IsSwitch_Ap, false);
    EXPECT_EQ(ap.Ap_Cmd, QString()); // present and empty, not absent
    EXPECT_EQ(ap.Ap_Cmd_Len, QStringLiteral("0"));

    ASSERT_TRUE(config->LDCollection);
    ASSERT_EQ(config->LDCollection->size(), 1u);
    EXPECT_EQ(config->LDCollection->front()->Vid, 4617); // white space of the chunk trimmed
    EXPECT_EQ(config->LDCollection->front()->Pid, std::nullopt);

    ASSERT_TRUE(config->FwInfoCollection);
    ASSERT_EQ(config->FwInfoCollection->size(), 2u);
    const FwInfoModel& first = *config->FwInfoCollection->at(0);
    EXPECT_EQ(first.FileName, QStringLiteral("a.txt"));
    EXPECT_EQ(first.FileName_TE, QStringLiteral("a_TE.txt"));
    EXPECT_EQ(first.BetaFileName, QStringLiteral("a_Beta.txt"));
    EXPECT_EQ(first.BetaFileName_TE, QStringLiteral("a_Beta_TE.txt"));
    EXPECT_EQ(first.PartNumber, QStringLiteral("QK1"));
    EXPECT_EQ(first.DeviceName, QStringLiteral("Pro"));
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
    EXPECT_EQ(onlyTitle->ProgramTitle, QStringLiteral("T"));
    EXPECT_EQ(onlyTitle->PromptText, std::nullopt);
    EXPECT_EQ(onlyTitle->IsOnline, std::nullopt);
    EXPECT_FALSE(onlyTitle->ImageModel);
    EXPECT_FALSE(onlyTitle->APCollection);
    EXPECT_FALSE(onlyTitle->LDCollection);
    EXPECT_FALSE(onlyTitle->FwInfoCollection);

    const auto empties = parse("<r><ProgramTitle/><PromptText>   </PromptText><IsOnline/>"
                               "<APCollection/><ProgramTitle>later</ProgramTitle>"
                               "<PromptText>x</PromptText><PromptText></PromptText></r>");
    ASSERT_TRUE(empties);
    EXPECT_EQ(empties->ProgramTitle, QStringLiteral("later")); // the later one wins
    EXPECT_EQ(empties->PromptText, QString());
    EXPECT_EQ(empties->IsOnline, false);
    ASSERT_TRUE(empties->APCollection);
    EXPECT_TRUE(empties->APCollection->empty()); // present and empty
}

TEST(ParseConfig, SharedRecordsFollowLaterChangesButTheImageModelDoesNot) {
    const auto config = parse(R"(<r>
  <ImageModel><ImageName>first</ImageName></ImageModel>
  <ImageName>after</ImageName>
  <FwInfoCollection><FwInfoVM><FileName>before.txt</FileName></FwInfoVM></FwInfoCollection>
  <FileName>after.txt</FileName>
</r>)");
    ASSERT_TRUE(config);
    ASSERT_TRUE(config->ImageModel);
    EXPECT_EQ(config->ImageModel->ImageName, QStringLiteral("first"));
    ASSERT_EQ(config->FwInfoCollection->size(), 1u);
    EXPECT_EQ(config->FwInfoCollection->front()->FileName, QStringLiteral("after.txt"));

    const auto noImageYet = parse("<r><ImageString>QUJD</ImageString><ImageModel/></r>");
    ASSERT_TRUE(noImageYet && noImageYet->ImageModel);
    EXPECT_EQ(noImageYet->ImageModel->ImageString, std::nullopt);
}

TEST(ParseConfig, VidAndPidGoToTheRecordsThatAreOpen) {
    const auto separate = parse("<r><APCollection><ApVM><Vid>1</Vid></ApVM></APCollection>"
                                "<LDCollection><LdVM><Vid>2</Vid><Pid>3</Pid></LdVM></LDCollection>"
                                "<Ld_Cmd>late</Ld_Cmd></r>");
    ASSERT_TRUE(separate);
    const APModel& ap = *separate->APCollection->front();
    EXPECT_EQ(ap.Vid, 1);
    EXPECT_EQ(ap.Pid, std::nullopt);
    // The command fields need only a record, not an open one.
    EXPECT_EQ(ap.Ld_Cmd, QStringLiteral("late"));
    EXPECT_EQ(separate->LDCollection->front()->Vid, 2);
    EXPECT_EQ(separate->LDCollection->front()->Pid, 3);

    const auto nested = parse("<r><ApVM><LdVM><Vid>7</Vid></LdVM></ApVM>"
                              "<APCollection/><LDCollection/></r>");
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->APCollection->front()->Vid, 7);
    EXPECT_EQ(nested->LDCollection->front()->Vid, 7);
}

TEST(ParseConfig, ListsAreSnapshotsTakenAtTheirEndTags) {
    const auto config = parse(R"(<r>
  <ApVM><Pid>1</Pid></ApVM>
  <APCollection><ApVM><Pid>2</Pid></ApVM></APCollection>
  <ApVM><Pid>3</Pid></ApVM>
  <LdVM><Pid>4</Pid></LdVM>
  <FwInfoVM><PartNumber>QK</PartNumber></FwInfoVM>
</r>)");
    ASSERT_TRUE(config);
    ASSERT_EQ(config->APCollection->size(), 2u);
    EXPECT_EQ(config->APCollection->at(0)->Pid, 1);
    EXPECT_EQ(config->APCollection->at(1)->Pid, 2);
    EXPECT_FALSE(config->LDCollection); // never closed: absent, not empty
    EXPECT_FALSE(config->FwInfoCollection);

    const auto twice = parse("<r><APCollection><ApVM><Pid>1</Pid></ApVM></APCollection>"
                             "<APCollection><ApVM><Pid>2</Pid></ApVM></APCollection></r>");
    ASSERT_TRUE(twice);
    ASSERT_EQ(twice->APCollection->size(), 2u);
    EXPECT_EQ(twice->APCollection->at(0)->Pid, 1);
    EXPECT_EQ(twice->APCollection->at(1)->Pid, 2);
}

TEST(ParseConfig, TextIsTrimmedPerChunkAndCdataCounts) {
    const auto config = parse("<r><ProgramTitle>a &amp; b</ProgramTitle>"
                              "<PromptText>x <![CDATA[ <y> ]]> z</PromptText>"
                              "<DeviceName>ignored</DeviceName>"
                              "<ImageModel><ImageString><![CDATA[QU]]>JD</ImageString></ImageModel>"
                              "</r>");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ProgramTitle, QStringLiteral("a&b"));
    EXPECT_EQ(config->PromptText, QStringLiteral("x<y>z"));
    EXPECT_EQ(config->ImageModel->ImageString, QStringLiteral("QUJD"));
}

TEST(ParseConfig, NamesAreComparedAsWrittenWithTheirPrefix) {
    const auto config = parse(R"(<r xmlns:p="urn:velmar"><p:ProgramTitle>prefixed</p:ProgramTitle>
<programtitle>lower</programtitle><PromptText>plain</PromptText></r>)");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ProgramTitle, std::nullopt);
    EXPECT_EQ(config->PromptText, QStringLiteral("plain"));
}

TEST(ParseConfig, DocumentsThatAreNotWellFormedGiveNothing) {
    ScopedDiagnosticCapture log;
    const char* broken[] = {
        "<r><ProgramTitle>T</ProgramTitle><APCollection><ApVM/></APCollection>", // no root end
        "<r><ProgramTitle>T</PromptText></r>",
        "<r/><r/>",
        "plain text",
        "",
    };
    for (const char* document : broken) {
        EXPECT_FALSE(parse(document)) << document;
    }
    EXPECT_EQ(log.lines(), QStringList(std::size(broken), kFailureLine));
}

TEST(ParseConfig, DeclaredEncodingsAreHonoured) {
    const QString title = QStringLiteral("Café Ünïcode");
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r><ProgramTitle>");
    text.append(title).append(u"</ProgramTitle></r>");

    for (auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        const QByteArray utf16 = encoder.encode(text);
        const auto config = ParseConfig::parseXML(utf16);
        ASSERT_TRUE(config);
        EXPECT_EQ(config->ProgramTitle, title);
    }

    const QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                              "<r><ProgramTitle>Caf\xe9 \xdcn\xef"
                              "code</ProgramTitle></r>";
    const auto config = ParseConfig::parseXML(latin1);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ProgramTitle, title);
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
    EXPECT_EQ(log.lines(), QStringList{kFailureLine});
}

TEST(ParseConfig, ExternalEntitiesAndDtdsAreNeverRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString secret = dir.filePath(QStringLiteral("secret.txt"));
    const QString dtd = dir.filePath(QStringLiteral("evil.dtd"));
    {
        QFile file(secret);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("SECRET");
        QFile dtdFile(dtd);
        ASSERT_TRUE(dtdFile.open(QIODevice::WriteOnly));
        dtdFile.write("<!ENTITY leak SYSTEM \"file://" + secret.toUtf8() + "\">");
    }
    const QByteArray url = "file://" + secret.toUtf8();
    const QByteArray documents[] = {
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "\">]><r><ProgramTitle>&x;</ProgramTitle></r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secret.toUtf8() +
            "\">]><r><ProgramTitle>&x;</ProgramTitle></r>",
        "<!DOCTYPE r SYSTEM \"file://" + dtd.toUtf8() +
            "\"><r><ProgramTitle>&leak;</ProgramTitle></r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + dtd.toUtf8() +
            "\"> %p;]><r><ProgramTitle>&leak;</ProgramTitle></r>",
    };
    const xmlExternalEntityLoader loaderBefore = xmlGetExternalEntityLoader();
    for (const QByteArray& document : documents) {
        const auto config = ParseConfig::parseXML(document);
        if (config && config->ProgramTitle) {
            EXPECT_FALSE(config->ProgramTitle->contains(u"SECRET")) << document.toStdString();
        }
    }
    // The refusal lasts only as long as a parse: other libxml2 users keep their loader.
    EXPECT_EQ(xmlGetExternalEntityLoader(), loaderBefore);
}

TEST(ParseConfig, EntityExpansionBombEndsWithoutAnUnboundedConfiguration) {
    QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY l0 \"lol\">";
    for (int level = 1; level <= 10; ++level) {
        bomb += "<!ENTITY l" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i)
            bomb += "&l" + QByteArray::number(level - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><r><ProgramTitle>&l10;</ProgramTitle><PromptText>&l10;&l10;</PromptText></r>";

    const auto config = ParseConfig::parseXML(bomb);
    if (config) {
        EXPECT_LT(config->ProgramTitle.value_or(QString()).size(), 1 << 20);
        EXPECT_LT(config->PromptText.value_or(QString()).size(), 1 << 20);
    }
}
