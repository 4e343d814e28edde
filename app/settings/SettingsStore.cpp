#include "app/settings/SettingsStore.h"

#include "app/settings/ProfileFile.h"
#include "platform/FileSystem.h"
#include "platform/text/NumberText.h"
#include "settings_texts.h"

#include <array>
#include <string>

namespace pelimo {
namespace {

namespace t = settings_texts;

// One line of env.ini. Decimal rows go through a signed 32-bit value (colours included);
// text rows are copied as they stand.
struct KeyRow {
    const char* key;
    const char* defaultText;
    int32_t (*getNumber)(const EnvSettings&);
    void (*setNumber)(EnvSettings&, int32_t);
    std::string EnvSettings::*text;
};

template <int32_t EnvSettings::*Field> constexpr KeyRow flagRow(const char* key, const char* defaultText)
{
    return {key, defaultText, [](const EnvSettings& s) { return s.*Field; },
            [](EnvSettings& s, int32_t v) { s.*Field = v; }, nullptr};
}

template <ColourRef EnvSettings::*Field> constexpr KeyRow colourRow(const char* key, const char* defaultText)
{
    return {key, defaultText, [](const EnvSettings& s) { return static_cast<int32_t>(s.*Field); },
            [](EnvSettings& s, int32_t v) { s.*Field = static_cast<ColourRef>(v); }, nullptr};
}

template <size_t Index, ColourRef TypeColours::*Part>
constexpr KeyRow typeColourRow(const char* key, const char* defaultText)
{
    return {key, defaultText,
            [](const EnvSettings& s) { return static_cast<int32_t>(s.typeColours[Index].*Part); },
            [](EnvSettings& s, int32_t v) { s.typeColours[Index].*Part = static_cast<ColourRef>(v); },
            nullptr};
}

constexpr KeyRow textRow(const char* key, std::string EnvSettings::*field)
{
    return {key, "", nullptr, nullptr, field};
}

// The keys in the order they are read and written, which is also the order of the lines of
// a file the program creates.
constexpr std::array<KeyRow, 31> kKeys{{
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
    textRow(t::kKeyPop3Password, &EnvSettings::pop3Password),
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

void applyRow(const KeyRow& row, const std::string& value, EnvSettings& settings)
{
    if (row.text)
        settings.*row.text = value;
    else
        row.setNumber(settings, leadingInteger(value));
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
    for (const KeyRow& row : kKeys) {
        std::optional<std::string> value;
        if (profile)
            value = profile->value(settings_texts::kSection, row.key);
        applyRow(row, value.value_or(row.defaultText), settings);
    }
}

bool saveSettingsTo(const std::string& path, const EnvSettings& settings)
{
    if (path.empty())
        return false;
    auto profile = readProfileForUpdate(path);
    if (!profile)
        return false;
    for (const KeyRow& row : kKeys) {
        const std::string value = row.text ? settings.*row.text : std::to_string(row.getNumber(settings));
        profile->setValue(settings_texts::kSection, row.key, value);
    }
    return writeProfile(*profile, path);
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
    for (const KeyRow& row : kKeys)
        applyRow(row, row.defaultText, settings);
    return settings;
}

} // namespace pelimo
