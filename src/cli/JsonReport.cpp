#include "cli/JsonReport.h"

#include <QJsonDocument>
#include <utility>

#include "core/StatusWords.h"

static QJsonObject describe(const CommandReport::Converter& converter) {
    return {{"node", converter.node},       {"vid", converter.vendorId},
            {"pid", converter.productId},   {"partNumber", converter.partNumber},
            {"version", converter.version}, {"device", converter.deviceName}};
}

void JsonReport::found(const Converter& converter) {
    writeEvent(
        "found",
        {{"node", converter.node}, {"vid", converter.vendorId}, {"pid", converter.productId}});
}

void JsonReport::identified(const Converter& converter) {
    writeEvent("identified", describe(converter));
}

void JsonReport::unidentified(const Converter& converter, const QString& why) {
    QJsonObject fields = describe(converter);
    fields.insert("reason", why);
    writeEvent("unidentified", fields);
}

void JsonReport::release(const QString& version, const QString& mode) {
    writeEvent("release", {{"version", version}, {"mode", mode}});
}

void JsonReport::status(UIStatus status) {
    const StatusWords words = StatusWords::of(status);
    writeEvent("status", {{"status", words.title}, {"text", words.text}});
}

void JsonReport::progress(const ProgressBar::Progress& progress) {
    const int percent = ProgressBar::percent(progress);
    if (std::exchange(shownPercent_, percent) == percent)
        return;
    writeEvent("progress", {{"percent", percent},
                            {"packets", progress.packets},
                            {"totalPackets", progress.totalPackets},
                            {"bytes", progress.bytes},
                            {"totalBytes", progress.totalBytes}});
}

void JsonReport::result(ExitCode code, const Failure& failure,
                        const std::optional<QString>& version) {
    QJsonObject fields{{"ok", code == ExitCode::Success},
                       {"exitCode", static_cast<int>(code)},
                       {"reason", failure.what},
                       {"next", failure.next}};
    if (version)
        fields.insert("version", *version);
    writeEvent("result", fields);
    // A person watching a script's log reads what to do next where all messages go.
    for (const QString& line : {failure.what, failure.next})
        if (code != ExitCode::Success && !line.isEmpty())
            advise(line);
}

void JsonReport::writeEvent(const QString& event, QJsonObject fields) {
    fields.insert("event", event);
    write(streams_.out,
          QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)) + "\n");
}
