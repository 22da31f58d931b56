#include "WindowHarness.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <array>

static QString devicePictureBase64() {
    QImage picture(64, 40, QImage::Format_ARGB32);
    picture.fill(QColor(60, 70, 90));
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    picture.save(&png, "PNG");
    // Wrapped as an editor would leave it: the picture decoder skips the line breaks.
    QString text = QString::fromLatin1(png.data().toBase64());
    for (qsizetype at = 60; at < text.size(); at += 61)
        text.insert(at, u'\n');
    return text;
}

QByteArray checksumField(int64_t checkSum) {
    return "0x" + QByteArray::number(checkSum, 16).toUpper();
}

QString TestConfig::xml() const {
    QString products;
    using Product = std::array<QString, 3>; // part number, name, Tournament
    for (const Product& product : {Product{"QK100201", "Velmar Pad Converter Pro", "true"},
                                   Product{"QK100301", "Velmar Pad Converter Lite", "false"}})
        products += QStringLiteral("<FwInfoVM>"
                                   "<FileName>%1.txt</FileName><FileName_TE>%1_TE.txt</FileName_TE>"
                                   "<BetaFileName>%1_Beta.txt</BetaFileName>"
                                   "<BetaFileName_TE>%1_Beta_TE.txt</BetaFileName_TE>"
                                   "<PartNumber>%1</PartNumber><DeviceName>%2</DeviceName>"
                                   "<Standard>true</Standard><Tournament>%3</Tournament>"
                                   "</FwInfoVM>")
                        .arg(product[0], product[1], product[2]);
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Config>"
                          "<ProgramTitle>Test Updater</ProgramTitle>"
                          "<PromptText>Plug the converter in.</PromptText>"
                          "<IsOnline>%1</IsOnline>"
                          "<ImageModel><ImageName>converter</ImageName>"
                          "<ImageString>%2</ImageString></ImageModel>"
                          "<APCollection><ApVM><Vid>4617</Vid><Pid>1</Pid></ApVM></APCollection>"
                          "<LDCollection><LdVM><Vid>4617</Vid><Pid>2</Pid></LdVM></LDCollection>"
                          "<FwInfoCollection>%3</FwInfoCollection></Config>")
        .arg(online ? "true" : "false", devicePictureBase64(), products);
}

void TestResources::addFile(const QString& relative, const QByteArray& contents) {
    const QString path = QDir(dir_.path()).filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(contents);
}

void TestResources::addRelease(const QString& version, const QByteArray& image,
                               std::optional<int64_t> checkSum) {
    const QString folder = "data/QK100201/standard/" + version + "/";
    addFile(folder + "tmp.hex", hexText(image));
    addFile(folder + "tmp.txt", version.toLatin1() + "," +
                                    (checkSum ? checksumField(*checkSum) + "," : QByteArray()) +
                                    "tmp.hex\r\n");
}

void TestResources::copySampleReleases() {
    const QString source = qEnvironmentVariable("UPDATER_SOURCE_DIR") + "/resources/data";
    QDirIterator files(source, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        addFile("data/" + QDir(source).relativeFilePath(path), file.readAll());
    }
}

WindowHarness::WindowHarness(const TestResources& resources, Options options) {
    MainApplication::Options programOptions;
    programOptions.resourceDirectory = resources.path();
    programOptions.executablePath = options.executablePath;
    programOptions.ftpHost = options.ftpHost;
    programOptions.alerts = &alerts;
    programOptions.terminate = [this] { ++terminateRequests; };
    programOptions.exchangeTiming.deadline = options.exchangeDeadline;
    programOptions.exchangeTiming.slice = std::chrono::milliseconds{20};
    program = std::make_unique<MainApplication>(options.devices ? *options.devices : hidService,
                                                programOptions);
    statusLog = controller().mainVM.CurrentUIStatus.subscribe(
        [this](const UIStatus& status) { statuses.push_back(status); });
}

HidDeviceRef WindowHarness::plugIn(const QByteArray& partNumber, uint32_t firmwareVersion) {
    return hidService.plugIn(std::make_shared<VirtualConverter>(
        VirtualConverter::Identity{partNumber, firmwareVersion}));
}

QStringList WindowHarness::popupItems() {
    QStringList items;
    for (int i = 0; i < outlets().PopUpFwVerItems->count(); ++i)
        items << outlets().PopUpFwVerItems->itemText(i);
    return items;
}

int WindowHarness::searchTicks() const {
    const QString tick = "[" + ViewController::kClassName + "][205][onSearchTimerTick]";
    return static_cast<int>(std::ranges::count_if(
        diagnostics.lines(), [&](const QString& line) { return line.startsWith(tick); }));
}

bool WindowHarness::identify(std::chrono::milliseconds limit) {
    if (status() == UIStatus::NORMAL)
        controller().onSearchTimerTick();
    return waitForStatus(UIStatus::DEVICE_PLUG, limit);
}

bool WindowHarness::pressStart(const QString& version) {
    const int item = outlets().PopUpFwVerItems->findText(version);
    if (item < 0 || outlets().CommonButton->title() != "START")
        return false;
    outlets().PopUpFwVerItems->setCurrentIndex(item);
    statuses.clear();
    alerts.alerts.clear();
    outlets().CommonButton->click();
    return true;
}

std::optional<UIStatus> WindowHarness::waitForResult(std::chrono::milliseconds limit) {
    const bool ended = runEventLoopUntil(
        [&] { return statuses.size() > 1 && controller().entryQueue.isIdle(); }, limit);
    return ended ? std::optional(status()) : std::nullopt;
}
