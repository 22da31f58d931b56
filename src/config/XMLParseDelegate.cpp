#include "config/XMLParseDelegate.h"

#include "config/ConfigValue.h"

void XMLParseDelegate::didStartElement(QStringView qualifiedName) {
    currentValue.clear();
    // A new record replaces the current one; the old one lives on only if a list holds it.
    if (qualifiedName == u"ImageModel")
        deviceImageModel = DeviceImageModel{};
    else if (qualifiedName == u"ApVM") {
        apModel = std::make_shared<APModel>();
        createAPModel = true;
    } else if (qualifiedName == u"LdVM") {
        ldModel = std::make_shared<LDModel>();
        createLDModel = true;
    } else if (qualifiedName == u"FwInfoVM")
        fwInfoModel = std::make_shared<FwInfoModel>();
}

void XMLParseDelegate::foundCharacters(QStringView chunk) {
    // Trimmed per chunk, not per value: the reader splits a run at entity references, so
    // "a &amp; b" arrives as "a ", "&", " b" and is kept as "a&b". Documents rely on this to
    // indent values freely.
    currentValue.append(chunk.trimmed());
}

void XMLParseDelegate::didEndElement(QStringView qualifiedName) {
    // The first group that knows the name acts; a name nobody knows changes nothing.
    (void)(endRootField(qualifiedName) || endImageField(qualifiedName) ||
           endListOrRecord(qualifiedName) || endIdentityField(qualifiedName) ||
           endApplicationField(qualifiedName) || endFirmwareField(qualifiedName));
    currentValue.clear();
}

bool XMLParseDelegate::endRootField(QStringView name) {
    if (name == u"ProgramTitle")
        parsedObject_.ProgramTitle = currentValue;
    else if (name == u"PromptText")
        parsedObject_.PromptText = currentValue;
    else if (name == u"IsOnline")
        parsedObject_.IsOnline = ConfigValue::toBoolean(currentValue);
    else
        return false;
    return true;
}

bool XMLParseDelegate::endImageField(QStringView name) {
    if (name == u"ImageModel") {
        // A value record: the stored copy no longer follows the current image record.
        if (deviceImageModel)
            parsedObject_.ImageModel = *deviceImageModel;
    } else if (name == u"ImageName") {
        if (deviceImageModel)
            deviceImageModel->ImageName = currentValue;
    } else if (name == u"ImageString") {
        if (deviceImageModel)
            deviceImageModel->ImageString = currentValue;
    } else
        return false;
    return true;
}

bool XMLParseDelegate::endListOrRecord(QStringView name) {
    // A list end stores a snapshot of every record completed so far, in the whole document.
    if (name == u"APCollection")
        parsedObject_.APCollection = apCollection;
    else if (name == u"LDCollection")
        parsedObject_.LDCollection = ldCollection;
    else if (name == u"ApVM") {
        if (apModel) {
            apCollection.push_back(apModel);
            createAPModel = false;
        }
    } else if (name == u"LdVM") {
        if (ldModel) {
            ldCollection.push_back(ldModel);
            createLDModel = false;
        }
    } else
        return false;
    return true;
}

bool XMLParseDelegate::endIdentityField(QStringView name) {
    // Vid and Pid belong to both record kinds; the open flags say which record they are in.
    std::optional<int64_t> APModel::*apField = nullptr;
    std::optional<int64_t> LDModel::*ldField = nullptr;
    if (name == u"Vid") {
        apField = &APModel::Vid;
        ldField = &LDModel::Vid;
    } else if (name == u"Pid") {
        apField = &APModel::Pid;
        ldField = &LDModel::Pid;
    } else
        return false;

    const std::optional<int64_t> value = ConfigValue::toInteger(currentValue);
    if (createAPModel && apModel)
        (*apModel).*apField = value;
    if (createLDModel && ldModel)
        (*ldModel).*ldField = value;
    return true;
}

bool XMLParseDelegate::endApplicationField(QStringView name) {
    std::optional<QString> APModel::*textField = nullptr;
    std::optional<bool> APModel::*flagField = nullptr;
    if (name == u"IsSwitch_Ld")
        flagField = &APModel::IsSwitch_Ld;
    else if (name == u"Ld_Cmd")
        textField = &APModel::Ld_Cmd;
    else if (name == u"Ld_Cmd_Len")
        textField = &APModel::Ld_Cmd_Len;
    else if (name == u"IsSwitch_Ap")
        flagField = &APModel::IsSwitch_Ap;
    else if (name == u"Ap_Cmd")
        textField = &APModel::Ap_Cmd;
    else if (name == u"Ap_Cmd_Len")
        textField = &APModel::Ap_Cmd_Len;
    else
        return false;

    // Unlike Vid and Pid, these look only at whether a record exists, not whether it is open.
    if (!apModel)
        return true;
    if (flagField)
        (*apModel).*flagField = ConfigValue::toBoolean(currentValue);
    else
        (*apModel).*textField = currentValue;
    return true;
}

bool XMLParseDelegate::endFirmwareField(QStringView name) {
    if (name == u"FwInfoCollection") {
        parsedObject_.FwInfoCollection = fwInfoCollection;
        return true;
    }
    if (name == u"FwInfoVM") {
        if (fwInfoModel)
            fwInfoCollection.push_back(fwInfoModel);
        return true;
    }

    std::optional<QString> FwInfoModel::*textField = nullptr;
    std::optional<bool> FwInfoModel::*flagField = nullptr;
    if (name == u"FileName")
        textField = &FwInfoModel::FileName;
    else if (name == u"FileName_TE")
        textField = &FwInfoModel::FileName_TE;
    else if (name == u"BetaFileName")
        textField = &FwInfoModel::BetaFileName;
    else if (name == u"BetaFileName_TE")
        textField = &FwInfoModel::BetaFileName_TE;
    else if (name == u"PartNumber")
        textField = &FwInfoModel::PartNumber;
    else if (name == u"DeviceName")
        textField = &FwInfoModel::DeviceName;
    else if (name == u"Standard")
        flagField = &FwInfoModel::Standard;
    else if (name == u"Tournament")
        flagField = &FwInfoModel::Tournament;
    else
        return false;

    // The record may already be in the list: a change here shows there too (shared record).
    if (!fwInfoModel)
        return true;
    if (flagField)
        (*fwInfoModel).*flagField = ConfigValue::toBoolean(currentValue);
    else
        (*fwInfoModel).*textField = currentValue;
    return true;
}
