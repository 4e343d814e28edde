#pragma once

#include "tools/listing-sim/Listing.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo::sim {

// Escapes the five XML special characters of a UTF-8 text.
std::string xmlEscape(std::string_view text);

// The XML declaration every answer starts with; the body follows in Shift_JIS.
inline constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n";
inline constexpr const char* kXmlContentType = "text/xml; charset=Shift_JIS";

// One ItemInfo element with its eight children, in UTF-8.
std::string itemInfoElement(const ListingFields& fields);

// A whole listing answer (declaration, ResultSet, one ListingInfo) converted to Shift_JIS.
std::string listingAnswer(int64_t totalPages, int64_t currentPage, int64_t totalResults,
                          const std::vector<ListingFields>& items);

// The parts of an answer around its ItemInfo elements, in Shift_JIS, for streamed answers.
std::string listingAnswerHead(int64_t totalPages, int64_t currentPage, int64_t totalResults);
std::string listingAnswerTail();

// A well-formed answer whose internal DTD expands one entity into about 10^9 characters.
std::string entityBombAnswer();

// The same bytes as a complete answer, cut inside an element in its second half.
std::string cutInsideElement(const std::string& answer);

} // namespace pelimo::sim
