#include "cli/TextReport.h"

#include <QStringList>

#include "core/StatusWords.h"

// "/dev/hidraw3  1209:0002  QK100201  V1.0.0.5  Velmar Pad Converter Pro"
static QString line(const CommandReport::Converter& converter) {
    QStringList fields{converter.node, QString("%1:%2")
                                           .arg(converter.vendorId, 4, 16, QChar('0'))
                                           .arg(converter.productId, 4, 16, QChar('0'))};
    for (const QString& field : {converter.partNumber, converter.version, converter.deviceName})
        fields << (field.isEmpty() ? QString("-") : field);
    return fields.join("  ");
}

// `text` in the colour of the SGR code `colour`, where the stream takes colour.
static QString painted(const QString& text, bool colourOn, const char* colour) {
    return colourOn ? QString("\x1b[%1m%2\x1b[0m").arg(colour, text) : text;
}

void TextReport::identified(const Converter& converter) {
    write(streams_.out, line(converter) + "\n");
}

void TextReport::unidentified(const Converter& converter, const QString& why) {
    write(streams_.out, line(converter) + "  (" + why + ")\n");
}

void TextReport::release(const QString& version, const QString&) {
    write(streams_.out, version + "\n");
}

void TextReport::status(UIStatus status) {
    // A failure is told by the result, in its own two lines.
    if (status == UIStatus::UPGRADE_FW_FAILED || status == UIStatus::DOWNLOAD_FAILED)
        return;
    write(streams_.out, bar_.finish());
    const StatusWords words = StatusWords::of(status);
    write(streams_.out, words.title + ": " + words.text + "\n");
}

void TextReport::download(const QString& file) {
    write(streams_.out, "Downloading " + file + "\n");
}

void TextReport::progress(const ProgressBar::Progress& progress) {
    write(streams_.out, bar_.advance(progress));
}

void TextReport::result(ExitCode code, const Failure& failure,
                        const std::optional<QString>& version) {
    write(streams_.out, bar_.finish());
    if (code != ExitCode::Success && !failure.what.isEmpty())
        write(streams_.err, painted(failure.what, streams_.errColour, "31") + "\n");
    if (code != ExitCode::Success && !failure.next.isEmpty())
        write(streams_.err, failure.next + "\n");
    if (version)
        write(streams_.out,
              painted("The converter now runs " + *version + ".", streams_.outColour, "32") + "\n");
}
