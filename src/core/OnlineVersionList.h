#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The version list on the download server: one release per line (CR LF), "//" comments.
class OnlineVersionList {
public:
    // One pop-up item: the version shown and the list line it stands for.
    struct Item {
        QString title;
        int entryIndex = -1;
    };

    // The release lines of a downloaded list, in file order; absent when it is not UTF-8.
    static std::optional<QStringList> entries(const QByteArray& download);

    // A pop-up item for every entry with a version field, each remembering its entry, so that
    // a line without a version never shifts which line a selected item stands for.
    static std::vector<Item> items(const QStringList& entries);
};
