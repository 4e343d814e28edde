#include "search/saved/SavedSearchFields.h"

#include "platform/text/NumberText.h"
#include "search/exclude/ExcludeWords.h"

#include <cstdio>

namespace pelimo {

using namespace std::chrono;

std::optional<SavedSearchField> savedSearchFieldNamed(std::string_view element)
{
    for (const SavedSearchFieldName& f : kSavedSearchFields) {
        if (element == f.element)
            return f.field;
    }
    return std::nullopt;
}

bool savedSearchHasField(const SearchRequest& request, SavedSearchField field)
{
    return field != SavedSearchField::exclude || !ExcludeWords(request.excludeWords).empty();
}

std::string savedSearchFieldText(const SearchRequest& request, SavedSearchField field)
{
    switch (field) {
    case SavedSearchField::keyword:
        return request.text;
    case SavedSearchField::lotNumberMode:
        return std::to_string(request.lotNumberMode);
    case SavedSearchField::auctionTypes:
        return request.auctionTypes;
    case SavedSearchField::priceLow:
        return std::to_string(request.priceLow);
    case SavedSearchField::priceHigh:
        return std::to_string(request.priceHigh);
    case SavedSearchField::exclude:
        return request.excludeWords;
    }
    return {};
}

void setSavedSearchField(SearchRequest& request, SavedSearchField field, const std::string& sjis)
{
    const std::string text = sjis == "\n" ? std::string() : sjis;
    switch (field) {
    case SavedSearchField::keyword:
        request.text = text;
        break;
    case SavedSearchField::lotNumberMode:
        request.lotNumberMode = leadingInteger(text);
        break;
    case SavedSearchField::auctionTypes:
        request.auctionTypes = trimmedBlanks(text);
        break;
    case SavedSearchField::priceLow:
        request.priceLow = leadingInteger(text);
        break;
    case SavedSearchField::priceHigh:
        request.priceHigh = leadingInteger(text);
        break;
    case SavedSearchField::exclude:
        request.excludeWords = text;
        break;
    }
}

std::string seenTimeText(SeenSet::Time t)
{
    const sys_days day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss hms{t - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return text;
}

std::optional<SeenSet::Time> parseSeenTime(const std::string& text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &zone) != 7 ||
        zone != 'Z')
        return std::nullopt;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    return sys_days{ymd} + hours{h} + minutes{mi} + seconds{s};
}

} // namespace pelimo
