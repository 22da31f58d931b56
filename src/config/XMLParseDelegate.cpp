#include "config/XMLParseDelegate.h"

#include "config/ConfigValue.h"

#include <string_view>
#include <type_traits>
#include <utility>

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

namespace {
// A field takes the element's text as its type reads it.
template <typename T> void assign(std::optional<T>& field, const QString& text) {
    if constexpr (std::is_same_v<T, bool>)
        field = ConfigValue::toBoolean(text);
    else if constexpr (std::is_same_v<T, int64_t>)
        field = ConfigValue::toInteger(text);
    else
        field = text;
}
} // namespace

struct XMLParseDelegate::Actions {
    using Action = void (*)(XMLParseDelegate&);
    using D = XMLParseDelegate;

    template <auto field> static void root(XMLParseDelegate& d) {
        assign(d.parsedObject_.*field, d.currentValue);
    }
    // A field of the current record, if there is one. A shared record may already be in its
    // list: a change here shows there too.
    template <auto record, auto field> static void current(XMLParseDelegate& d) {
        if (d.*record)
            assign((*(d.*record)).*field, d.currentValue);
    }
    // A record's end adds it to its list and, for the two kinds that have one, clears its open
    // flag.
    template <auto record, auto list, auto... openFlag> static void complete(XMLParseDelegate& d) {
        if (d.*record) {
            (d.*list).push_back(d.*record);
            ((d.*openFlag = false), ...);
        }
    }
    // Vid and Pid belong to both record kinds; the open flags say which record they are in.
    template <auto apField, auto ldField> static void identity(XMLParseDelegate& d) {
        if (d.createAPModel && d.apModel)
            assign(*d.apModel.*apField, d.currentValue);
        if (d.createLDModel && d.ldModel)
            assign(*d.ldModel.*ldField, d.currentValue);
    }

    static constexpr std::pair<std::u16string_view, Action> onEnd[] = {
        {u"ProgramTitle", root<&ConfigModel::ProgramTitle>},
        {u"PromptText", root<&ConfigModel::PromptText>},
        {u"IsOnline", root<&ConfigModel::IsOnline>},
        // A value record: the stored copy no longer follows the current image record.
        {u"ImageModel",
         [](XMLParseDelegate& d) {
             if (d.deviceImageModel)
                 d.parsedObject_.ImageModel = *d.deviceImageModel;
         }},
        {u"ImageName", current<&D::deviceImageModel, &DeviceImageModel::ImageName>},
        {u"ImageString", current<&D::deviceImageModel, &DeviceImageModel::ImageString>},
        // A list end stores a snapshot of every record completed so far, in the whole document.
        {u"APCollection",
         [](XMLParseDelegate& d) { d.parsedObject_.APCollection = d.apCollection; }},
        {u"LDCollection",
         [](XMLParseDelegate& d) { d.parsedObject_.LDCollection = d.ldCollection; }},
        {u"FwInfoCollection",
         [](XMLParseDelegate& d) { d.parsedObject_.FwInfoCollection = d.fwInfoCollection; }},
        {u"ApVM", complete<&D::apModel, &D::apCollection, &D::createAPModel>},
        {u"LdVM", complete<&D::ldModel, &D::ldCollection, &D::createLDModel>},
        {u"FwInfoVM", complete<&D::fwInfoModel, &D::fwInfoCollection>},
        {u"Vid", identity<&APModel::Vid, &LDModel::Vid>},
        {u"Pid", identity<&APModel::Pid, &LDModel::Pid>},
        // Unlike Vid and Pid, the application fields look only at whether a record exists, not
        // whether it is open.
        {u"IsSwitch_Ld", current<&D::apModel, &APModel::IsSwitch_Ld>},
        {u"Ld_Cmd", current<&D::apModel, &APModel::Ld_Cmd>},
        {u"Ld_Cmd_Len", current<&D::apModel, &APModel::Ld_Cmd_Len>},
        {u"IsSwitch_Ap", current<&D::apModel, &APModel::IsSwitch_Ap>},
        {u"Ap_Cmd", current<&D::apModel, &APModel::Ap_Cmd>},
        {u"Ap_Cmd_Len", current<&D::apModel, &APModel::Ap_Cmd_Len>},
        {u"FileName", current<&D::fwInfoModel, &FwInfoModel::FileName>},
        {u"FileName_TE", current<&D::fwInfoModel, &FwInfoModel::FileName_TE>},
        {u"BetaFileName", current<&D::fwInfoModel, &FwInfoModel::BetaFileName>},
        {u"BetaFileName_TE", current<&D::fwInfoModel, &FwInfoModel::BetaFileName_TE>},
        {u"PartNumber", current<&D::fwInfoModel, &FwInfoModel::PartNumber>},
        {u"DeviceName", current<&D::fwInfoModel, &FwInfoModel::DeviceName>},
        {u"Standard", current<&D::fwInfoModel, &FwInfoModel::Standard>},
        {u"Tournament", current<&D::fwInfoModel, &FwInfoModel::Tournament>},
    };
};

void XMLParseDelegate::didEndElement(QStringView qualifiedName) {
    // A name nobody knows changes nothing.
    for (const auto& [name, action] : Actions::onEnd)
        if (qualifiedName == QStringView(name)) {
            action(*this);
            break;
        }
    currentValue.clear();
}
