#include "session/Folders.h"

#include <algorithm>
#include <cstdint>
#include <regex>

#include "platform/Text.h"

namespace qv
{

namespace
{

// The engine works on wide characters; Windows' are UTF-16, so characters beyond the first plane go as pairs.
std::wstring Wide(const std::u32string& sText)
{
    if constexpr (sizeof(wchar_t) == 2)
    {
        const std::u16string sUnits = EncodeUtf16(sText);
        return std::wstring(sUnits.begin(), sUnits.end());
    }
    else
    {
        return std::wstring(sText.begin(), sText.end());
    }
}

// Only letters beyond ASCII are folded in a pattern: ASCII escapes such as \W and \S change meaning with case,
// and the engine folds ASCII itself.
std::u32string FoldPattern(std::u32string sPattern)
{
    for (char32_t& c : sPattern)
        if (c >= 0x80)
            c = FoldCase(c);
    return sPattern;
}

std::vector<std::string> Split(const std::string& sText, char cSeparator)
{
    std::vector<std::string> pieces;
    size_t nStart = 0;
    for (size_t nAt = sText.find(cSeparator);; nAt = sText.find(cSeparator, nStart))
    {
        pieces.push_back(sText.substr(nStart, nAt == std::string::npos ? std::string::npos : nAt - nStart));
        if (nAt == std::string::npos)
            break;
        nStart = nAt + 1;
    }
    return pieces;
}

} // namespace

std::string DisplayFolderName(const std::string& sName)
{
    return sName == "Junk" ? "Spam" : sName;
}

struct NameFilter::Compiled
{
    std::optional<std::wregex> Regex;
    std::vector<std::u32string> PlainNames; // the fallback, folded
};

const NameFilter::Compiled& NameFilter::Compile(const std::string& sPattern)
{
    auto it = Cache.find(sPattern);
    if (it != Cache.end())
        return *it->second;
    if (Cache.size() > 64)
        Cache.clear(); // the rule changes rarely; keep the cache from growing while the user types
    auto compiled = std::make_shared<Compiled>();
    try
    {
        compiled->Regex.emplace(Wide(FoldPattern(DecodeUtf8(sPattern))),
                                std::regex_constants::ECMAScript | std::regex_constants::icase);
    }
    catch (const std::regex_error&)
    {
        for (const std::string& sName : Split(sPattern, '|'))
            if (!Trim(sName).empty())
                compiled->PlainNames.push_back(FoldCase(DecodeUtf8(Trim(sName))));
        fnShow("The notification filter \"" + sPattern +
               "\" is not a valid regular expression; its names are matched as plain text.");
    }
    return *Cache.emplace(sPattern, std::move(compiled)).first->second;
}

bool NameFilter::RegexTest(const std::string& sText, const std::string& sPattern)
{
    if (sPattern.empty())
        return sText.empty();
    const Compiled& compiled = Compile(sPattern);
    const std::u32string sFolded = FoldCase(DecodeUtf8(sText));
    if (!compiled.Regex)
    {
        for (const std::u32string& sName : compiled.PlainNames)
            if (sFolded.find(sName) != std::u32string::npos)
                return true;
        return false;
    }
    try
    {
        return std::regex_search(Wide(sFolded), *compiled.Regex);
    }
    catch (const std::regex_error&)
    {
        return false; // too complex for the engine on this name
    }
}

int AccountLists::FindTag(const std::string& sId) const
{
    const auto it = TagIndex.find(sId);
    return it == TagIndex.end() ? -1 : static_cast<int>(it->second);
}

int AccountLists::FindFolder(const std::string& sKey) const
{
    const auto byId = FolderIndex.find(sKey);
    const auto byKey = LinkIndex.find(sKey);
    const size_t nById = byId == FolderIndex.end() ? SIZE_MAX : byId->second;
    const size_t nByKey = byKey == LinkIndex.end() ? SIZE_MAX : byKey->second;
    const size_t nFirst = std::min(nById, nByKey);
    return nFirst == SIZE_MAX ? -1 : static_cast<int>(nFirst);
}

void AccountLists::Reindex()
{
    TagIndex.clear();
    FolderIndex.clear();
    LinkIndex.clear();
    for (size_t i = 1; i < Tags.size(); ++i)
        if (Tags[i])
            TagIndex.emplace(Tags[i]->sId, i); // emplace keeps the first: lookups find the first match
    for (size_t i = 1; i < Folders.size(); ++i)
        if (Folders[i])
        {
            FolderIndex.emplace(Folders[i]->sId, i);
            if (Folders[i]->bEsLink && !Folders[i]->sIdRZ.empty())
                LinkIndex.emplace(Folders[i]->sIdRZ, i);
        }
}

void AccountLists::UpsertFolder(const pugi::xml_node& element)
{
    const int nAt = FindFolder(element.attribute("id").value());
    if (nAt != -1)
    {
        if (element.attribute("name"))
            Folders[static_cast<size_t>(nAt)]->sNombre = element.attribute("name").value();
        return;
    }
    ZimbraFolder folder;
    folder.sId = element.attribute("id").value();
    folder.sNombre = element.attribute("name").value();
    if (std::string_view(element.name()) == "link")
    {
        folder.bEsLink = true;
        if (std::string_view(element.attribute("view").value()) == "appointment")
        {
            folder.s_zid = element.attribute("zid").value();
            folder.s_rid = element.attribute("rid").value();
            if (!folder.s_zid.empty() && !folder.s_rid.empty())
                folder.sIdRZ = folder.s_zid + ":" + folder.s_rid;
        }
    }
    FolderIndex.emplace(folder.sId, Folders.size());
    if (folder.bEsLink && !folder.sIdRZ.empty())
        LinkIndex.emplace(folder.sIdRZ, Folders.size());
    Folders.emplace_back(std::move(folder));
}

void AccountLists::UpsertTag(const pugi::xml_node& element)
{
    const int nAt = FindTag(element.attribute("id").value());
    if (nAt != -1)
    {
        ZimbraTag& tag = *Tags[static_cast<size_t>(nAt)];
        if (element.attribute("name"))
            tag.sNombre = element.attribute("name").value();
        if (element.attribute("color"))
            tag.sColor = element.attribute("color").value();
        return;
    }
    TagIndex.emplace(element.attribute("id").value(), Tags.size());
    Tags.emplace_back(ZimbraTag{element.attribute("id").value(), element.attribute("name").value(),
                                element.attribute("color").value()});
}

void AccountLists::RemoveById(const std::string& sId)
{
    if (const int nTag = FindTag(sId); nTag != -1)
        Tags[static_cast<size_t>(nTag)].reset();
    if (const int nFolder = FindFolder(sId); nFolder != -1)
        Folders[static_cast<size_t>(nFolder)].reset();
    Reindex(); // rare: a later entry with the same id becomes the first match
}

void AccountLists::Clear()
{
    Tags.assign(1, std::nullopt);
    Folders.assign(1, std::nullopt);
    bRefreshLeido = false;
    Reindex();
}

bool AccountLists::NameMatches(const std::string& sName, const FilterRule& rule)
{
    return Filter.RegexTest(sName, rule.sFiltros);
}

bool AccountLists::Admitted(const std::string& sName, const FilterRule& rule)
{
    return NameMatches(sName, rule) == rule.bWhiteList;
}

bool AccountLists::TagsMatch(const char* sTags, const FilterRule& rule)
{
    if (!sTags)
        return false;
    for (const std::string& sPiece : Split(sTags, ','))
    {
        const int nAt = FindTag(Trim(sPiece));
        if (nAt != -1 && NameMatches(Tags[static_cast<size_t>(nAt)]->sNombre, rule))
            return true;
    }
    return false;
}

bool AccountLists::FolderMatch(const char* sFolders, const FilterRule& rule)
{
    if (!sFolders)
        return false;
    for (const std::string& sPiece : Split(sFolders, ','))
    {
        const int nAt = FindFolder(Trim(sPiece));
        if (nAt != -1 && NameMatches(DisplayFolderName(Folders[static_cast<size_t>(nAt)]->sNombre), rule))
            return true;
    }
    return false;
}

bool AccountLists::PassesFilter(const pugi::xml_node& item, const FilterRule& rule)
{
    const auto Attribute = [&](const char* sName) {
        const pugi::xml_attribute attribute = item.attribute(sName);
        return attribute ? attribute.value() : nullptr;
    };
    const bool bAnyMatch = TagsMatch(Attribute("t"), rule) || FolderMatch(Attribute("l"), rule);
    return bAnyMatch == rule.bWhiteList;
}

} // namespace qv
