#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pelimo {

// A colour 0x00BBGGRR: red in the low byte, stored in env.ini as a decimal number.
using ColourRef = uint32_t;

inline constexpr uint8_t colourRed(ColourRef c)
{
    return static_cast<uint8_t>(c & 0xff);
}
inline constexpr uint8_t colourGreen(ColourRef c)
{
    return static_cast<uint8_t>((c >> 8) & 0xff);
}
inline constexpr uint8_t colourBlue(ColourRef c)
{
    return static_cast<uint8_t>((c >> 16) & 0xff);
}
inline constexpr ColourRef makeColourRef(uint8_t r, uint8_t g, uint8_t b)
{
    return ColourRef{r} | (ColourRef{g} << 8) | (ColourRef{b} << 16);
}

// Text and background colour of one auction type's rows in the result lists.
struct TypeColours {
    ColourRef text = 0;
    ColourRef back = 0;
    bool operator==(const TypeColours&) const = default;
};

// Index of the type colour pairs: 0 ordinary, 1 multiple, 2 immediate, 3 group purchase,
// 4 fixed price.
inline constexpr size_t kTypeColourCount = 5;

// Settings of the program's own that the original file format has no key for; they live in a
// section of their own after the original one. Strings are Shift-JIS.
struct ExtSettings {
    // Scheme, host and port of the XML listing service and of the item pages; empty means the
    // built-in address.
    std::string listingBase;
    std::string itemPageBase;

    // Faster polling of the watched listings near their end: on or off, which listings count
    // as near (minutes left) and how often they are fetched between the regular cycles.
    int32_t nearEndFaster = 0;
    int32_t nearEndMinutes = 30;
    int32_t nearEndIntervalSeconds = 60;

    // How the alert mail reaches its server: 0 the plain dialogue on the SMTP port, 1 STARTTLS,
    // 2 TLS from the first byte; and the login on it (an empty user: no login).
    int32_t mailEncryption = 0;
    std::string smtpUser;
    std::string smtpPassword;

    // A push of each cycle's alarms to an http(s) address.
    int32_t pushEnabled = 0;
    std::string pushUrl;

    // A daily period in which alarms are held and then told together: on or off, its start and
    // end as "HH:MM" local time, and whether remaining-time alarms still go out in it.
    int32_t quietEnabled = 0;
    std::string quietStart = "22:00";
    std::string quietEnd = "07:00";
    int32_t quietNearEndGoOut = 1;
    // The lists show a column of the listings' pictures, rows as tall as a thumbnail.
    int32_t showPictures = 1;
    // How many days of price observations history.db keeps; ended listings stay regardless.
    int32_t historyRetentionDays = 365;

    bool operator==(const ExtSettings&) const = default;
};

// Every user setting, owned by the application for the whole run and read at the moment of
// use. A flag holds 0 or 1 and counts as on only when it is exactly 1. Strings are Shift-JIS.
struct EnvSettings {
    int32_t openSearchInBrowser = 0;
    int32_t openAlertInBrowser = 0;
    int32_t autoRefreshDetail = 0;
    std::array<TypeColours, kTypeColourCount> typeColours{};
    int32_t watchIntervalMinutes = 0;
    int32_t alarmOnRemainingTime = 0;
    int32_t remainingTimeMinutes = 0;
    int32_t alarmOnPriceChange = 0;
    int32_t alarmChangesListColour = 0;
    ColourRef alarmTextColour = 0;
    ColourRef alarmBackColour = 0;
    int32_t alarmBalloon = 0;
    int32_t alarmMail = 0;
    int32_t popBeforeSmtp = 0;
    std::string smtpHost;
    int32_t smtpPort = 0;
    std::string pop3Host;
    int32_t pop3Port = 0;
    std::string pop3User;
    std::string pop3Password;
    std::string mailFrom;
    std::string mailTo;
    ExtSettings ext;

    bool operator==(const EnvSettings&) const = default;
};

inline constexpr bool isOn(int32_t flag)
{
    return flag == 1;
}

} // namespace pelimo
