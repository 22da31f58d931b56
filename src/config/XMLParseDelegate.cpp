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

    template <auto field> static void root(XMLParseDelegate& d) {
        assign(d.parsedObject_.*field, d.currentValue);
    }
    template <auto field> static void image(XMLParseDelegate& d) {
        if (d.deviceImageModel)
            assign(*d.deviceImageModel.*field, d.currentValue);
    }
    // Unlike Vid and Pid, the application fields look only at whether a record exists, not
    // whether it is open.
    template <auto field> static void application(XMLParseDelegate& d) {
        if (d.apModel)
            assign(*d.apModel.*field, d.currentValue);
    }
    // The record may already be in the list: a change here shows there too (shared record).
    template <auto field> static void firmware(XMLParseDelegate& d) {
        if (d.fwInfoModel)
            assign(*d.fwInfoModel.*field, d.currentValue);
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
        {u"ImageName", image<&DeviceImageModel::ImageName>},
        {u"ImageString", image<&DeviceImageModel::ImageString>},
        // A list end stores a snapshot of every record completed so far, in the whole document.
        {u"APCollection",
         [](XMLParseDelegate& d) { d.parsedObject_.APCollection = d.apCollection; }},
        {u"LDCollection",
         [](XMLParseDelegate& d) { d.parsedObject_.LDCollection = d.ldCollection; }},
        {u"FwInfoCollection",
         [](XMLParseDelegate& d) { d.parsedObject_.FwInfoCollection = d.fwInfoCollection; }},
        {u"ApVM",
         [](XMLParseDelegate& d) {
             if (d.apModel) {
                 d.apCollection.push_back(d.apModel);
                 d.createAPModel = false;
             }
         }},
        {u"LdVM",
         [](XMLParseDelegate& d) {
             if (d.ldModel) {
                 d.ldCollection.push_back(d.ldModel);
                 d.createLDModel = false;
             }
         }},
        {u"FwInfoVM",
         [](XMLParseDelegate& d) {
             if (d.fwInfoModel)
                 d.fwInfoCollection.push_back(d.fwInfoModel);
         }},
        {u"Vid", identity<&APModel::Vid, &LDModel::Vid>},
        {u"Pid", identity<&APModel::Pid, &LDModel::Pid>},
        {u"IsSwitch_Ld", application<&APModel::IsSwitch_Ld>},
        {u"Ld_Cmd", application<&APModel::Ld_Cmd>},
        {u"Ld_Cmd_Len", application<&APModel::Ld_Cmd_Len>},
        {u"IsSwitch_Ap", application<&APModel::IsSwitch_Ap>},
        {u"Ap_Cmd", application<&APModel::Ap_Cmd>},
        {u"Ap_Cmd_Len", application<&APModel::Ap_Cmd_Len>},
        {u"FileName", firmware<&FwInfoModel::FileName>},
        {u"FileName_TE", firmware<&FwInfoModel::FileName_TE>},
        {u"BetaFileName", firmware<&FwInfoModel::BetaFileName>},
        {u"BetaFileName_TE", firmware<&FwInfoModel::BetaFileName_TE>},
        {u"PartNumber", firmware<&FwInfoModel::PartNumber>},
        {u"DeviceName", firmware<&FwInfoModel::DeviceName>},
        {u"Standard", firmware<&FwInfoModel::Standard>},
        {u"Tournament", firmware<&FwInfoModel::Tournament>},
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
