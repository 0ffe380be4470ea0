// The small rules of the check cycle that read the server's texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv
{

// Servers before 6.0 name the session element "sessionId" and take the old appointment request.
// Compared by number: "10.0.6_GA" is a newer server than "6.0", whatever the text says.
bool IsOldServer(std::string_view sServerVersion);

// Seconds between checks from the account's polling preference ("5m", "30s", "300", "500ms"...),
// with the program's limits: none or 0 gives 300, "as new mail arrives" gives 15, above 900 gives 4 hours.
int32_t PollingSeconds(std::string_view sPreference, bool bPresent);

// The leading number of a text, rounded halves to even; 0 when there is none.
int32_t LeadingWholeNumber(std::string_view sText);

// A whole number of the server's (an id, a count, milliseconds); 0 when the text does not start with one.
int64_t WholeNumber(std::string_view sText);

// A text of the server's as the user is shown it: at most nMaxCharacters characters, cut on a character's
// boundary and ended with "…" when it was longer. An answer may hold megabytes in one field.
inline constexpr size_t nShownTextCharacters = 300;
std::string ShownText(std::string_view sText, size_t nMaxCharacters = nShownTextCharacters);

// Only the host, with a port if any: no scheme, no path, no blanks.
bool IsValidServerHost(const std::string& sHost);

} // namespace qv
