// The text a mail-client hand-off carries: a message's sender, recipients, subject, body and files, each field
// after its marker "|@|" digit "|@|". Read here, and written here for whoever builds such a text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv
{

struct MapiFile
{
    std::string sPath;
    std::string sName; // as the message shows it
};

struct MapiMessage
{
    std::string sFromName;    // 1
    std::string sFromAddress; // 2
    std::string sToName;      // 3: name and address alternating, "|" between; an address may start "smtp:"
    std::string sSubject;     // 5
    std::string sBody;        // 6
    std::vector<MapiFile> Files; // 7: path and display name alternating, "|" between

    bool operator==(const MapiMessage&) const = default;
};
inline bool operator==(const MapiFile& a, const MapiFile& b)
{
    return a.sPath == b.sPath && a.sName == b.sName;
}

// sText: the UTF-8 text, already cut at its first zero byte. Never fails: a field that is missing is empty.
MapiMessage ParseMapiMessage(std::string_view sText);

// The text for a message; fields that are empty are left out. Values must not hold a marker, nor a file's path
// or name a "|".
std::string WriteMapiMessage(const MapiMessage& message);

// Items in double quotes with one blank between them: the list form that keeps blanks inside paths.
std::string QuotedList(const std::vector<std::string>& items);

} // namespace qv
