#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// The words of a search's "除外" field: a listing whose title contains any of them is left
// out of the tab, not counted as new and not alerted. Titles and words are compared in their
// normalised form (normalizedTitle: width, case and compatibility forms do not count), so
// "ｶﾒﾗ" leaves out "カメラ" and "JUNK" leaves out "ｊｕｎｋ". The service's query is not
// affected: the exclusion is the program's own.
class ExcludeWords {
public:
    ExcludeWords() = default; // leaves nothing out
    // typed: the field as the user typed it (Shift-JIS), words separated by blanks of either
    // width. An empty or blank field leaves nothing out.
    explicit ExcludeWords(std::string_view typed);

    // The field as typed, for the tab's tooltip and the saved search's file.
    const std::string& typed() const { return typedText; }
    // The words as they are compared (normalised, UTF-8), sorted, each once.
    const std::vector<std::string>& words() const { return normalized; }
    bool empty() const { return normalized.empty(); }

    // Whether the listing with this title (Shift-JIS) is left out.
    bool excludes(std::string_view title) const;

    // Two fields leave out the same listings when their words are the same after
    // normalisation, whatever their order, width, case or blanks.
    bool operator==(const ExcludeWords& other) const { return normalized == other.normalized; }

private:
    std::string typedText;
    std::vector<std::string> normalized;
};

} // namespace pelimo
