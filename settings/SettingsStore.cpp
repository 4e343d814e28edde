#include "settings/SettingsStore.h"

#include "platform/FileSystem.h"
#include "platform/text/NumberText.h"
#include "settings/ProfileFile.h"
#include "settings_texts.h"

#include <array>
#include <string>

namespace pelimo {
namespace {

namespace t = settings_texts;

// One line of env.ini, for a record of one section. Decimal rows go through a signed 32-bit
// value (colours included); text rows are copied as they stand. A secret row's value, when
// there is one, makes the file readable by its owner only.
template <class Record> struct KeyRow {
    const char* key;
    const char* defaultText;
    int32_t (*getNumber)(const Record&);
    void (*setNumber)(Record&, int32_t);
    std::string Record::*text;
    bool secret = false;
};

template <class Member> struct MemberOf;
template <class Record, class Value> struct MemberOf<Value Record::*> {
    using type = Record;
};

template <auto Field, class Record = typename MemberOf<decltype(Field)>::type>
constexpr KeyRow<Record> flagRow(const char* key, const char* defaultText)
{
    return {key, defaultText, [](const Record& s) { return s.*Field; },
            [](Record& s, int32_t v) { s.*Field = v; }, nullptr};
}

template <ColourRef EnvSettings::*Field>
constexpr KeyRow<EnvSettings> colourRow(const char* key, const char* defaultText)
{
    return {key, defaultText, [](const EnvSettings& s) { return static_cast<int32_t>(s.*Field); },
            [](EnvSettings& s, int32_t v) { s.*Field = static_cast<ColourRef>(v); }, nullptr};
}

template <size_t Index, ColourRef TypeColours::*Part>
constexpr KeyRow<EnvSettings> typeColourRow(const char* key, const char* defaultText)
{
    return {key, defaultText,
            [](const EnvSettings& s) { return static_cast<int32_t>(s.typeColours[Index].*Part); },
            [](EnvSettings& s, int32_t v) { s.typeColours[Index].*Part = static_cast<ColourRef>(v); },
            nullptr};
}

template <class Record>
constexpr KeyRow<Record> textRow(const char* key, std::string Record::*field, const char* defaultText = "")
{
    return {key, defaultText, nullptr, nullptr, field};
}

// The passwords, and the push address, whose path is the topic: whoever knows it reads the alerts.
template <class Record> constexpr KeyRow<Record> secretRow(const char* key, std::string Record::*field)
{
    return {key, "", nullptr, nullptr, field, true};
}

// The keys in the order they are read and written, which is also the order of the lines of
// a file the program creates.
constexpr std::array<KeyRow<EnvSettings>, 31> kKeys{{
    flagRow<&EnvSettings::openSearchInBrowser>(t::kKeyOpenSearchInBrowser, "0"),
    flagRow<&EnvSettings::openAlertInBrowser>(t::kKeyOpenAlertInBrowser, "0"),
    flagRow<&EnvSettings::autoRefreshDetail>(t::kKeyAutoRefreshDetail, "0"),
    flagRow<&EnvSettings::watchIntervalMinutes>(t::kKeyWatchInterval, "5"),
    flagRow<&EnvSettings::alarmOnRemainingTime>(t::kKeyAlarmOnRemainingTime, "0"),
    flagRow<&EnvSettings::remainingTimeMinutes>(t::kKeyRemainingTimeMinutes, "5"),
    flagRow<&EnvSettings::alarmOnPriceChange>(t::kKeyAlarmOnPriceChange, "0"),
    flagRow<&EnvSettings::alarmChangesListColour>(t::kKeyAlarmChangesListColour, ""),
    colourRow<&EnvSettings::alarmBackColour>(t::kKeyAlarmBackColour, "255"),
    colourRow<&EnvSettings::alarmTextColour>(t::kKeyAlarmTextColour, "16777215"),
    flagRow<&EnvSettings::alarmBalloon>(t::kKeyAlarmBalloon, ""),
    flagRow<&EnvSettings::alarmMail>(t::kKeyAlarmMail, ""),
    textRow(t::kKeySmtpHost, &EnvSettings::smtpHost),
    flagRow<&EnvSettings::smtpPort>(t::kKeySmtpPort, "25"),
    textRow(t::kKeyMailFrom, &EnvSettings::mailFrom),
    textRow(t::kKeyMailTo, &EnvSettings::mailTo),
    flagRow<&EnvSettings::popBeforeSmtp>(t::kKeyPopBeforeSmtp, ""),
    textRow(t::kKeyPop3Host, &EnvSettings::pop3Host),
    flagRow<&EnvSettings::pop3Port>(t::kKeyPop3Port, "110"),
    textRow(t::kKeyPop3User, &EnvSettings::pop3User),
    secretRow(t::kKeyPop3Password, &EnvSettings::pop3Password),
    typeColourRow<0, &TypeColours::text>(t::kKeyOrdinaryText, "64"),
    typeColourRow<0, &TypeColours::back>(t::kKeyOrdinaryBack, "16777215"),
    typeColourRow<1, &TypeColours::text>(t::kKeyMultipleText, "64"),
    typeColourRow<1, &TypeColours::back>(t::kKeyMultipleBack, "16777215"),
    typeColourRow<2, &TypeColours::text>(t::kKeyImmediateText, "64"),
    typeColourRow<2, &TypeColours::back>(t::kKeyImmediateBack, "16777215"),
    typeColourRow<3, &TypeColours::text>(t::kKeyGroupText, "64"),
    typeColourRow<3, &TypeColours::back>(t::kKeyGroupBack, "16777215"),
    typeColourRow<4, &TypeColours::text>(t::kKeyFixedText, "64"),
    typeColourRow<4, &TypeColours::back>(t::kKeyFixedBack, "16777215"),
}};

// The program's own section, after the original one; a Windows program reading the file
// ignores it. New settings of the program's own are rows here.
constexpr std::array<KeyRow<ExtSettings>, 16> kExtKeys{{
    textRow(t::kKeyListingBase, &ExtSettings::listingBase),
    textRow(t::kKeyItemPageBase, &ExtSettings::itemPageBase),
    flagRow<&ExtSettings::nearEndFaster>(t::kKeyNearEndFaster, "0"),
    flagRow<&ExtSettings::nearEndMinutes>(t::kKeyNearEndMinutes, "30"),
    flagRow<&ExtSettings::nearEndIntervalSeconds>(t::kKeyNearEndInterval, "60"),
    flagRow<&ExtSettings::mailEncryption>(t::kKeyMailEncryption, "0"),
    textRow(t::kKeySmtpUser, &ExtSettings::smtpUser),
    secretRow(t::kKeySmtpPassword, &ExtSettings::smtpPassword),
    flagRow<&ExtSettings::pushEnabled>(t::kKeyPushEnabled, "0"),
    secretRow(t::kKeyPushUrl, &ExtSettings::pushUrl),
    flagRow<&ExtSettings::quietEnabled>(t::kKeyQuietEnabled, "0"),
    textRow(t::kKeyQuietStart, &ExtSettings::quietStart, "22:00"),
    textRow(t::kKeyQuietEnd, &ExtSettings::quietEnd, "07:00"),
    flagRow<&ExtSettings::quietNearEndGoOut>(t::kKeyQuietNearEndGoOut, "1"),
    flagRow<&ExtSettings::showPictures>(t::kKeyShowPictures, "1"),
    flagRow<&ExtSettings::historyRetentionDays>(t::kKeyHistoryRetentionDays, "365"),
}};

template <class Record> void applyRow(const KeyRow<Record>& row, const std::string& value, Record& record)
{
    if (row.text)
        record.*row.text = value;
    else
        row.setNumber(record, leadingInteger(value));
}

template <class Record, size_t N>
void loadSection(const ProfileFile* profile, const char* section, const std::array<KeyRow<Record>, N>& rows,
                 Record& record)
{
    for (const KeyRow<Record>& row : rows) {
        std::optional<std::string> value;
        if (profile)
            value = profile->value(section, row.key);
        applyRow(row, value.value_or(row.defaultText), record);
    }
}

template <class Record, size_t N>
void saveSection(ProfileFile& profile, const char* section, const std::array<KeyRow<Record>, N>& rows,
                 const Record& record)
{
    for (const KeyRow<Record>& row : rows) {
        const std::string value = row.text ? record.*row.text : std::to_string(row.getNumber(record));
        profile.setValue(section, row.key, value);
    }
}

template <class Record, size_t N>
bool holdsSecret(const std::array<KeyRow<Record>, N>& rows, const Record& record)
{
    for (const KeyRow<Record>& row : rows) {
        if (row.secret && !(record.*row.text).empty())
            return true;
    }
    return false;
}

template <class Record, size_t N>
void applyDefaults(const std::array<KeyRow<Record>, N>& rows, Record& record)
{
    for (const KeyRow<Record>& row : rows)
        applyRow(row, row.defaultText, record);
}

} // namespace

std::string settingsFilePath()
{
    // Without a folder the name would land in the filesystem's root.
    const std::string folder = platform::currentDirectory();
    return folder.empty() ? std::string() : platform::joinPath(folder, "env.ini");
}

void loadSettingsFrom(const std::string& path, EnvSettings& settings)
{
    // One read of the file gives the same values as one profile read per key.
    const auto profile = path.empty() ? std::nullopt : readProfileForUpdate(path);
    const ProfileFile* file = profile ? &*profile : nullptr;
    loadSection(file, t::kSection, kKeys, settings);
    loadSection(file, t::kExtSection, kExtKeys, settings.ext);
}

bool saveSettingsTo(const std::string& path, const EnvSettings& settings)
{
    if (path.empty())
        return false;
    auto profile = readProfileForUpdate(path);
    if (!profile)
        return false;
    // The original section first, so a new file holds it before the program's own.
    saveSection(*profile, t::kSection, kKeys, settings);
    saveSection(*profile, t::kExtSection, kExtKeys, settings.ext);
    // A file that held nothing secret may have been left readable to others; the first save
    // with a password or the push address in it closes it.
    const bool secret = holdsSecret(kKeys, settings) || holdsSecret(kExtKeys, settings.ext);
    return writeProfile(*profile, path,
                        secret ? platform::FileAccess::ownerOnly : platform::FileAccess::asItWas);
}

void loadSettings(EnvSettings& settings)
{
    loadSettingsFrom(settingsFilePath(), settings);
}

bool saveSettings(const EnvSettings& settings)
{
    return saveSettingsTo(settingsFilePath(), settings);
}

EnvSettings defaultSettings()
{
    EnvSettings settings;
    applyDefaults(kKeys, settings);
    applyDefaults(kExtKeys, settings.ext);
    return settings;
}

} // namespace pelimo
