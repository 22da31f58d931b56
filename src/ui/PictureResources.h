#pragma once

#include <QImage>
#include <QString>
#include <optional>

// The pictures compiled into the program, looked up by name: "0" to "20", "complete", "failed",
// "download". Absent for any other name.
class PictureResources {
public:
    static std::optional<QImage> named(const QString& name);
};
