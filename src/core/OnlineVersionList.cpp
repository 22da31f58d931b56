#include "core/OnlineVersionList.h"

#include "core/Utf8Text.h"
#include "firmware/DescriptionFile.h"
#include "firmware/DescriptionLine.h"

std::optional<QStringList> OnlineVersionList::entries(const QByteArray& download) {
    const std::optional<QString> text = Utf8Text::decode(download);
    if (!text)
        return std::nullopt;
    return DescriptionFile::releaseLines(*text);
}

std::vector<OnlineVersionList::Item> OnlineVersionList::items(const QStringList& entries) {
    std::vector<Item> items;
    for (int index = 0; index < entries.size(); ++index)
        if (const std::optional<QString> version =
                DescriptionLine::firstVersionField(entries[index]))
            items.push_back({*version, index});
    return items;
}
