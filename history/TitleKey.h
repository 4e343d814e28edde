#pragma once

#include <string>
#include <string_view>

namespace pelimo {

// A title as it is compared when matching: NFKC with case folding (full-width letters and
// digits become their plain forms, "ＰＳ５" and "ps5" are one), blanks of every width folded
// to single spaces and none at either end. Takes and gives UTF-8; a text that is not valid
// UTF-8 is compared as it stands.
//
// This one function is where titles are normalised; the archive's filter, the relisting
// check and the stored keys all go through it.
std::string titleMatchKey(std::string_view utf8);

} // namespace pelimo
