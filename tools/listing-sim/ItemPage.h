#pragma once

#include "tools/listing-sim/Listing.h"
#include "tools/listing-sim/Vocabulary.h"

#include <string>
#include <string_view>

namespace pelimo::sim {

// The item page of a listing, a small UTF-8 HTML document for the embedded browser.
std::string itemPageHtml(const ListingFields& fields, const Vocabulary& words);

// The page for an exhibit id the site does not know.
std::string itemNotFoundHtml(std::string_view itemNo, const Vocabulary& words);

// The listing service's HTML error page.
std::string serverErrorHtml(const Vocabulary& words);

} // namespace pelimo::sim
