#pragma once

#include "files/UserFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

inline constexpr const char* kPriceCeilingsFileName = "AramRules.xml";

// The price ceiling the user set for one watched listing.
struct PriceRule {
    std::string itemNo;
    int32_t ceilingPrice = 0;

    bool operator==(const PriceRule&) const = default;
};

// What a read of the rules file found.
struct PriceCeilingsLoad {
    using Outcome = UserFileOutcome;

    Outcome outcome = Outcome::missing;
    std::vector<PriceRule> rules; // in document order, the first rule of a listing only
    std::string movedTo;          // where an unreadable file now lies (movedAside)
};

// A ceiling as the user or the file writes it, read as the price fields are (parsePriceText:
// "2500", "2,500", full-width digits, a trailing 円); nothing for an empty text or anything
// that is not an amount.
std::optional<int32_t> parseCeilingPrice(std::string_view text);

// "AramRules.xml" beside the watch list file.
std::string priceCeilingsPath(const std::string& directory = {});

// Reads the rules. A missing file is no rules; a damaged one is moved aside as the watch list
// file is. Item numbers are read as itemNumberOf gives them; rules without one or with an
// unusable ceiling are skipped.
PriceCeilingsLoad loadPriceCeilings(const std::string& directory = {});

// Replaces the file as a whole with the rules, in order. false when it could not be written.
bool savePriceCeilings(const std::vector<PriceRule>& rules, const std::string& directory = {});
// The bytes savePriceCeilings writes.
std::string serializePriceCeilings(const std::vector<PriceRule>& rules);

} // namespace pelimo
