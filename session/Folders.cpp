#include "session/Folders.h"

#include <algorithm>
#include <cstdint>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "platform/Text.h"

namespace qv
{

namespace
{

// The work one name may cost the engine, in its own unit (backtracking points). The engine counts afresh at
// every place in the name where it starts a match, so each start gets a share: a long name then costs no more
// than a short one, and a filter that runs away on it stops early instead of freezing the tray.
constexpr uint32_t nMatchBudget = 1'000'000;
constexpr uint32_t nMatchPerStartFloor = 100; // a few alternatives always fit, however long the name
constexpr uint32_t nHeapLimitKiB = 8 * 1024;  // the backtracking frames of one match
// The engine also walks a name without counting (a possessive run, a repeated class), once per starting place,
// so that work grows with the square of the length. Zimbra's names have at most 128 characters (512 bytes);
// of a longer name only the start is looked at.
constexpr size_t nNameBytesLooked = 1024;
constexpr uint32_t nParensNestLimit = 250; // deeper patterns are refused rather than risking the stack

constexpr uint32_t nRegexOptions = PCRE2_UTF | PCRE2_CASELESS | PCRE2_ALT_BSUX | PCRE2_DOLLAR_ENDONLY |
                                   PCRE2_NEVER_BACKSLASH_C; // \C could stop inside a character
constexpr uint32_t nPlainOptions = PCRE2_LITERAL | PCRE2_CASELESS | PCRE2_UTF;

struct CodeFree
{
    void operator()(pcre2_code* pCode) const { pcre2_code_free(pCode); }
};
using UniqueCode = std::unique_ptr<pcre2_code, CodeFree>;

struct MatchDataFree
{
    void operator()(pcre2_match_data* pData) const { pcre2_match_data_free(pData); }
};

// The engine wants valid UTF-8. An invalid byte of a name or a pattern reads as the character of that number
// (U+0080..U+00FF), as everywhere else in the program.
std::string ValidUtf8(std::string_view sText)
{
    return EncodeUtf8(DecodeUtf8(sText));
}

bool IsUtf8Error(int nResult)
{
    return nResult <= PCRE2_ERROR_UTF8_ERR1 && nResult >= PCRE2_ERROR_UTF8_ERR21;
}

enum class Found { Yes, No, TooCostly };

Found SearchIn(const pcre2_code* pCode, pcre2_match_context* pContext, std::string_view sText)
{
    std::string sCut;
    if (sText.size() > nNameBytesLooked)
        sText = sCut = CutUtf8(sText, nNameBytesLooked);
    const uint32_t nShare = nMatchBudget / static_cast<uint32_t>(sText.size() + 1);
    if (pContext)
        pcre2_set_match_limit(pContext, std::max(nShare, nMatchPerStartFloor));
    const std::unique_ptr<pcre2_match_data, MatchDataFree> pData(pcre2_match_data_create(1, nullptr));
    if (!pData)
        return Found::TooCostly;
    const auto Run = [&](std::string_view sSubject) {
        return pcre2_match(pCode, reinterpret_cast<PCRE2_SPTR>(sSubject.data()), sSubject.size(), 0, 0, pData.get(),
                           pContext);
    };
    int nResult = Run(sText);
    if (IsUtf8Error(nResult))
        nResult = Run(ValidUtf8(sText));
    if (nResult >= 0)
        return Found::Yes;
    return nResult == PCRE2_ERROR_NOMATCH ? Found::No : Found::TooCostly; // a limit, or out of memory
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

struct NameFilter::Engine
{
    struct CompileFree
    {
        void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
    };
    struct MatchFree
    {
        void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
    };
    std::unique_ptr<pcre2_compile_context, CompileFree> pCompile{pcre2_compile_context_create(nullptr)};
    std::unique_ptr<pcre2_match_context, MatchFree> pMatch{pcre2_match_context_create(nullptr)};

    Engine()
    {
        if (pCompile)
        {
            pcre2_set_compile_extra_options(pCompile.get(), PCRE2_EXTRA_ALT_BSUX);
            pcre2_set_parens_nest_limit(pCompile.get(), nParensNestLimit);
        }
        if (pMatch)
            pcre2_set_heap_limit(pMatch.get(), nHeapLimitKiB);
    }
};

struct NameFilter::Compiled
{
    UniqueCode Regex;                   // null when the engine refused the pattern
    std::vector<UniqueCode> PlainNames; // then these, each matched as plain text
    bool bCostReported = false;
};

NameFilter::NameFilter(ShowFn fnShow) : fnShow(std::move(fnShow)), pEngine(std::make_unique<Engine>()) {}
NameFilter::~NameFilter() = default;
NameFilter::NameFilter(NameFilter&&) noexcept = default;
NameFilter& NameFilter::operator=(NameFilter&&) noexcept = default;

std::shared_ptr<NameFilter::Compiled> NameFilter::Compile(const std::string& sPattern)
{
    if (const auto it = Cache.find(sPattern); it != Cache.end())
        return it->second;
    if (Cache.size() > 64)
        Cache.clear(); // the rule changes rarely; keep the cache from growing while the user types
    auto compiled = std::make_shared<Compiled>();
    const auto CompileText = [&](const std::string& sText, uint32_t nOptions, pcre2_compile_context* pContext) {
        const std::string sValid = ValidUtf8(sText);
        int nError = 0;
        PCRE2_SIZE nErrorAt = 0;
        return UniqueCode(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(sValid.data()), sValid.size(), nOptions, &nError,
                                        &nErrorAt, pContext));
    };
    compiled->Regex = CompileText(sPattern, nRegexOptions, pEngine->pCompile.get());
    if (!compiled->Regex)
        for (const std::string& sName : Split(sPattern, '|'))
            if (!Trim(sName).empty()) // no shared context: its escape options are refused with plain text
                if (UniqueCode pName = CompileText(Trim(sName), nPlainOptions, nullptr))
                    compiled->PlainNames.push_back(std::move(pName));
    Cache.emplace(sPattern, compiled);
    // In the cache before the message: a check that runs while the box is open must not show it again.
    if (!compiled->Regex)
        fnShow("The notification filter \"" + sPattern +
               "\" is not a valid regular expression; its names are matched as plain text.");
    return compiled;
}

bool NameFilter::RegexTest(const std::string& sText, const std::string& sPattern)
{
    if (sPattern.empty())
        return sText.empty();
    const std::shared_ptr<Compiled> compiled = Compile(sPattern); // held: a message box may clear the cache
    Found found = Found::No;
    if (compiled->Regex)
        found = SearchIn(compiled->Regex.get(), pEngine->pMatch.get(), sText);
    else
        for (const UniqueCode& pName : compiled->PlainNames)
            if (const Found inName = SearchIn(pName.get(), pEngine->pMatch.get(), sText); inName != Found::No)
                if ((found = inName) == Found::Yes)
                    break;
    if (found == Found::TooCostly && !compiled->bCostReported)
    {
        compiled->bCostReported = true;
        fnShow("The notification filter \"" + sPattern + "\" needs too much work on the name \"" + CutUtf8(sText, 80) +
               (sText.size() > 80 ? "..." : "") + "\"; it counts as not matching such names.");
    }
    return found == Found::Yes;
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

void AccountLists::RemoveByIds(const std::vector<std::string>& ids)
{
    if (ids.empty())
        return;
    // How many entries each id may still take, for tags and for folders apart: one id removes a tag and a folder.
    std::unordered_map<std::string, size_t> tagsLeft, foldersLeft;
    for (const std::string& sId : ids)
    {
        ++tagsLeft[sId];
        ++foldersLeft[sId];
    }
    const auto Take = [](std::unordered_map<std::string, size_t>& left, const std::string& sKey) {
        const auto it = left.find(sKey);
        if (it == left.end() || it->second == 0)
            return false;
        --it->second;
        return true;
    };
    for (size_t i = 1; i < Tags.size(); ++i)
        if (Tags[i] && Take(tagsLeft, Tags[i]->sId))
            Tags[i].reset();
    for (size_t i = 1; i < Folders.size(); ++i)
        if (Folders[i] && (Take(foldersLeft, Folders[i]->sId) ||
                           (Folders[i]->bEsLink && !Folders[i]->sIdRZ.empty() && Take(foldersLeft, Folders[i]->sIdRZ))))
            Folders[i].reset();
    Reindex(); // once: a later entry with a removed id becomes the first match
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
    return PassesFilter(Attribute("t"), Attribute("l"), rule);
}

bool AccountLists::PassesFilter(const char* sTags, const char* sFolders, const FilterRule& rule)
{
    const bool bAnyMatch = TagsMatch(sTags, rule) || FolderMatch(sFolders, rule);
    return bAnyMatch == rule.bWhiteList;
}

} // namespace qv
