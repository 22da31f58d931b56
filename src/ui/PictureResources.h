#pragma once

#include <QImage>
#include <QString>
#include <optional>

// The pictures compiled into the program, looked up by name: "0" to "20", "complete", "failed",
// "download". Absent for any other name. Each comes in two resolutions; the one that suits the
// screens' pixel density is chosen.
class PictureResources {
public:
    static std::optional<QImage> named(const QString& name);
};
