#pragma once

#include <QString>

// Where "config" and "data/" live. Found once, from the executable's own folder: in the build
// tree the resources sit in "resources" beside the executable; installed, they are in
// "../share/velmar-converter-update" relative to the bin folder.
class ResourceDirectory {
public:
    // The directory of this run. Needs a QCoreApplication the first time.
    static QString path();

    static QString locate(const QString& executableDirectory);
};
