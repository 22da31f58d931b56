// Build-time tool: reads the product configuration and writes the udev rule and the AppStream
// metainfo from the USB identities it names, so that neither can drift from what the program
// searches for. Fails the build (non-zero exit) rather than write an incomplete file.
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

#include "DeviceIdentityList.h"
#include "MetainfoWriter.h"
#include "UdevRuleWriter.h"
#include "config/ParseConfig.h"

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "updater-device-files: %s\n", qPrintable(message));
    return 1;
}

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

bool writeFile(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(text.toUtf8());
    return file.commit();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        return fail(QStringLiteral("usage: updater-device-files CONFIG_XML RULES_OUT "
                                   "METAINFO_TEMPLATE METAINFO_OUT"));
    }
    const auto xml = readFile(args[1]);
    if (!xml) {
        return fail(QStringLiteral("cannot read %1").arg(args[1]));
    }
    const auto config = ParseConfig::parseXML(*xml);
    if (!config) {
        return fail(QStringLiteral("%1 is not a well-formed configuration").arg(args[1]));
    }
    QString error;
    const auto identities = DeviceIdentityList::fromConfig(*config, &error);
    if (!identities) {
        return fail(QStringLiteral("%1: %2").arg(args[1], error));
    }
    const auto metainfoTemplate = readFile(args[3]);
    if (!metainfoTemplate) {
        return fail(QStringLiteral("cannot read %1").arg(args[3]));
    }
    const auto metainfo = MetainfoWriter::fill(QString::fromUtf8(*metainfoTemplate), *identities);
    if (!metainfo) {
        return fail(QStringLiteral("%1 has no @MODALIASES@ line").arg(args[3]));
    }
    if (!writeFile(args[2], UdevRuleWriter::write(*identities))) {
        return fail(QStringLiteral("cannot write %1").arg(args[2]));
    }
    if (!writeFile(args[4], *metainfo)) {
        return fail(QStringLiteral("cannot write %1").arg(args[4]));
    }
    return 0;
}
