#pragma once

#include <map>
#include <string>

#include "core/common/Json.h"

namespace quorlen {

// Codes that stand on more than one entry of "Lista", each with the number
// of its entries. Two sheets with one code are two entries for one student
// (a copied scan, a sheet scanned twice, a misprinted code): a teacher must
// see them.
std::map<std::string, int> RepeatedCodes(const Json& document);

// "Kod 1001 powtarza się na 19 arkuszach."
std::string RepeatedCodeNote(const std::string& code, int count);

// Joins two remarks of an entry into one "Uwagi" text.
std::string JoinNotes(const std::string& first, const std::string& second);

// Puts the remark in "Uwagi" of every entry whose code repeats, and takes a
// remark of an earlier flagging off entries whose code no longer repeats;
// every other remark stays. An entry left without a remark has no "Uwagi".
void FlagRepeatedCodes(Json& document);

}  // namespace quorlen
