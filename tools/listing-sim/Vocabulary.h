#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelimo::sim {

// The simulator's Japanese words in UTF-8, the form in which it builds every answer before
// the final conversion to the answer's own charset.
struct Vocabulary {
    Vocabulary();

    std::vector<std::string> goods;
    std::vector<std::string> origins;
    std::vector<std::string> conditions;
    std::vector<std::string> extras;
    std::string hitsFiller;
    std::string yen;
    std::string days, hours, minutes, seconds;
    std::string pagePrice, pageType, pageRemain, pageBids, pageUnits, pageNotFound;
    std::string ended; // the remaining time on the page of an ended listing
    std::string serverError;

    // The long label of an auction type code for the item page.
    std::string_view typeLabel(std::string_view code) const;

private:
    std::string labelNO, labelPA, labelFL, labelFP, labelGB, labelUnknown;
};

} // namespace pelimo::sim
