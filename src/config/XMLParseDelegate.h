#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

#include "config/ConfigModel.h"

// Receives the reader's events for one configuration document and builds the ConfigModel.
// One instance serves exactly one parse. It reacts only to element names (compared as written,
// prefix included), never to nesting or attributes: an element changes the record that is
// current when its end tag arrives, wherever it stands.
class XMLParseDelegate {
public:
    void didStartElement(QStringView qualifiedName);
    // One chunk of a text run; a run may arrive in several chunks.
    void foundCharacters(QStringView chunk);
    void didEndElement(QStringView qualifiedName);

    const ConfigModel& parsedObject() const { return parsedObject_; }

private:
    // What the end of each known element does, in a table of element names (in the .cpp).
    struct Actions;
    friend struct Actions;

    ConfigModel parsedObject_;
    QString currentValue;
    std::optional<DeviceImageModel> deviceImageModel;
    LDModelRef ldModel;
    std::vector<LDModelRef> ldCollection;
    APModelRef apModel;
    std::vector<APModelRef> apCollection;
    bool createAPModel = false;
    bool createLDModel = false;
    FwInfoModelRef fwInfoModel;
    std::vector<FwInfoModelRef> fwInfoCollection;
};
