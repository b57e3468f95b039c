#include "storage/settings_file.h"

#include <cstdint>
#include <span>
#include <type_traits>
#include <variant>

#include "platform/profile.h"
#include "storage/ini_integer.h"

namespace quillharbor {

namespace {

constexpr std::string_view kGeneral = "General";
constexpr std::string_view kDefault = "Default";
constexpr std::string_view kProxyPassword = "HTTPProxyPassword";

template <class Record>
struct Field {
    std::string_view key;
    std::variant<bool Record::*, std::uint8_t Record::*, std::uint16_t Record::*,
                 std::string Record::*>
        member;
};

// Both tables are in the order in which the keys are written.
const Field<GlobalOptions> kGeneralFields[] = {
    {"NameAuto", &GlobalOptions::NameAuto},
    {"TaskRoot", &GlobalOptions::TaskRoot},
    {"SaveSeparate", &GlobalOptions::SaveSeparate},
    {"AlwaysRetrieve", &GlobalOptions::AlwaysRetrieve},
    {"ForceFTPRetrieve", &GlobalOptions::ForceFTPRetrieve},
    {"BreakConnection", &GlobalOptions::BreakConnection},
    {"MaxHTTPConns", &GlobalOptions::MaxHTTPConns},
    {"Pause", &GlobalOptions::Pause},
    {"ObeyRobotExclusion", &GlobalOptions::ObeyRobotExclusion},
    {"HTTPTimeout", &GlobalOptions::HTTPTimeout},
    {"UseHTTPProxy", &GlobalOptions::UseHTTPProxy},
    {"HTTPProxyName", &GlobalOptions::HTTPProxyName},
    {"HTTPProxyPort", &GlobalOptions::HTTPProxyPort},
    {"HTTPProxyUser", &GlobalOptions::HTTPProxyUser},
    {kProxyPassword, &GlobalOptions::HTTPProxyPassword},
    {"MaxFTPConns", &GlobalOptions::MaxFTPConns},
    {"DefUser", &GlobalOptions::DefUser},
    {"DefPassword", &GlobalOptions::DefPassword},
    {"FTPTimeout", &GlobalOptions::FTPTimeout},
    {"UseFTPProxy", &GlobalOptions::UseFTPProxy},
    {"FTPProxyName", &GlobalOptions::FTPProxyName},
    {"Notify", &GlobalOptions::Notify},
    {"ShowDropWindow", &GlobalOptions::ShowDropWindow},
    {"PasteLinksFromClipboard", &GlobalOptions::PasteLinksFromClipboard},
    {"DropWindowPosition", &GlobalOptions::DropWindowPosition},
    {"RetryOnFails", &GlobalOptions::RetryOnFails},
    {"UseRasCtrl", &GlobalOptions::UseRasCtrl},
    {"HTTPS", &GlobalOptions::HTTPS},
    {"VerifyCertificates", &GlobalOptions::VerifyCertificates},
    {"FastDispatch", &GlobalOptions::FastDispatch},
    {"MaxConnsPerHost", &GlobalOptions::MaxConnsPerHost},
    {"KeepAlive", &GlobalOptions::KeepAlive},
};

const Field<DefaultTaskOptions> kDefaultFields[] = {
    {"DirTemplate", &DefaultTaskOptions::DirTemplate},
    {"StartingDoc", &DefaultTaskOptions::StartingDoc},
    {"TrySlashes", &DefaultTaskOptions::TrySlashes},
    {"Parse", &DefaultTaskOptions::Parse},
    {"StartAtOnce", &DefaultTaskOptions::StartAtOnce},
    {"StartAfter", &DefaultTaskOptions::StartAfter},
    {"DownloadFrom", &DefaultTaskOptions::DownloadFrom},
    {"MaxLevels", &DefaultTaskOptions::MaxLevels},
    {"MaxLevelsInf", &DefaultTaskOptions::MaxLevelsInf},
    {"AcceptedFileExtensions", &DefaultTaskOptions::AcceptedFileExtensions},
    {"MaxFiles", &DefaultTaskOptions::MaxFiles},
    {"MaxFilesInf", &DefaultTaskOptions::MaxFilesInf},
    {"FollowFTP", &DefaultTaskOptions::FollowFTP},
    {"PageRequisites", &DefaultTaskOptions::PageRequisites},
    {"SiteLayout", &DefaultTaskOptions::SiteLayout},
};

template <class Value>
void assignFromText(Value& target, const std::string& text) {
    if constexpr (std::is_same_v<Value, std::string>) {
        target = text;
    } else if (std::optional<std::int64_t> number = parseIniInteger(text)) {
        if constexpr (std::is_same_v<Value, bool>) {
            target = *number != 0;
        } else {
            // Cut to the field's width: conversion to an unsigned type keeps the low bits.
            target = static_cast<Value>(*number);
        }
    }
}

template <class Value>
std::string toText(const Value& value) {
    if constexpr (std::is_same_v<Value, std::string>) {
        return value;
    } else if constexpr (std::is_same_v<Value, bool>) {
        return value ? "1" : "0";
    } else {
        return std::to_string(static_cast<unsigned>(value));
    }
}

template <class Record>
std::string fieldText(const Record& record, const Field<Record>& field) {
    return std::visit([&](auto member) { return toText(record.*member); }, field.member);
}

template <class Record>
void readFields(const Profile& profile, std::string_view section,
                std::span<const Field<Record>> fields, Record& record) {
    for (const Field<Record>& field : fields) {
        if (std::optional<std::string> text = profile.find(section, field.key)) {
            std::visit([&](auto member) { assignFromText(record.*member, *text); }, field.member);
        }
    }
}

// Writes the fields into the profile; a field that cannot be written keeps its old line and
// is reported through firstError, and the rest go on.
template <class Record>
void writeFields(Profile& profile, std::string_view section, std::span<const Field<Record>> fields,
                 const Record& record, std::string_view skippedKey, Status& firstError) {
    for (const Field<Record>& field : fields) {
        if (field.key == skippedKey) {
            continue;
        }
        Status written = profile.writeString(section, field.key, fieldText(record, field));
        if (!written && firstError.ok()) {
            firstError = Error{written.error().text + "; the other settings were saved"};
        }
    }
}

template <class Record>
void appendEntries(std::vector<SettingEntry>& entries, std::string_view section,
                   std::span<const Field<Record>> fields, const Record& record) {
    for (const Field<Record>& field : fields) {
        entries.push_back(SettingEntry{std::string(section), std::string(field.key),
                                       fieldText(record, field), field.key == kProxyPassword});
    }
}

}  // namespace

std::string configurationFilePath(const std::string& programDir) {
    return programDir + std::string(kConfigurationFileName);
}

void SetDefaultSettings(GlobalOptions& global, DefaultTaskOptions& defaults,
                        const std::string& programDir) {
    global = GlobalOptions{};
    global.TaskRoot = programDir + "My Downloads/";
    defaults = DefaultTaskOptions{};
    defaults.SaveSeparate = global.SaveSeparate;
}

Status LoadSettings(GlobalOptions& global, DefaultTaskOptions& defaults,
                    const std::string& programDir) {
    Result<Profile> profile = Profile::load(configurationFilePath(programDir));
    if (!profile) {
        return profile.error();
    }
    readFields<GlobalOptions>(profile.value(), kGeneral, kGeneralFields, global);
    if (!global.HTTPProxyPassword.empty()) {
        global.SavePassword = true;
    }
    readFields<DefaultTaskOptions>(profile.value(), kDefault, kDefaultFields, defaults);
    defaults.SaveSeparate = global.SaveSeparate;
    return {};
}

Status SaveSettings(const GlobalOptions& global, const DefaultTaskOptions& defaults,
                    const std::string& programDir) {
    Result<Profile> profile = Profile::load(configurationFilePath(programDir));
    if (!profile) {
        return profile.error();
    }
    Status firstError;
    writeFields<GlobalOptions>(profile.value(), kGeneral, kGeneralFields, global,
                               global.SavePassword ? std::string_view() : kProxyPassword,
                               firstError);
    writeFields<DefaultTaskOptions>(profile.value(), kDefault, kDefaultFields, defaults, {},
                                    firstError);
    if (Status saved = profile.value().save(); !saved) {
        return saved;
    }
    return firstError;
}

std::vector<SettingEntry> settingEntries(const GlobalOptions& global,
                                         const DefaultTaskOptions& defaults) {
    std::vector<SettingEntry> entries;
    appendEntries<GlobalOptions>(entries, kGeneral, kGeneralFields, global);
    appendEntries<DefaultTaskOptions>(entries, kDefault, kDefaultFields, defaults);
    return entries;
}

}  // namespace quillharbor
