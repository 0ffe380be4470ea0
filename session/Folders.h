// The account's folders and tags as the program knows them, and the user's notification rule over their names.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv
{

struct ZimbraTag
{
    std::string sId;
    std::string sNombre;
    std::string sColor;
};

struct ZimbraFolder
{
    std::string sId;
    std::string sNombre;
    bool bEsLink = false;
    std::string s_zid;
    std::string s_rid;
    std::string sIdRZ; // "zid:rid": how the owner's items name a mounted calendar
};

// "Junk" shows as "Spam": the rule speaks of what the user sees.
std::string DisplayFolderName(const std::string& sName);

// The rule's regular expression: PCRE2 with JavaScript's escapes (\uXXXX, \xHH), matching anywhere in the name,
// letters of every script folded by Unicode's case rules, while \w, \d and \s keep their ASCII meaning.
// A pattern the engine refuses is reported once and then read as plain names separated by "|". A name that
// would cost the engine more than its bounded work counts as not matching, reported once per pattern.
class NameFilter
{
public:
    using ShowFn = std::function<void(const std::string&)>;
    explicit NameFilter(ShowFn fnShow);
    ~NameFilter();
    NameFilter(NameFilter&&) noexcept;
    NameFilter& operator=(NameFilter&&) noexcept;
    bool RegexTest(const std::string& sText, const std::string& sPattern);

private:
    struct Compiled;
    struct Engine;
    std::shared_ptr<Compiled> Compile(const std::string& sPattern);

    ShowFn fnShow;
    std::unique_ptr<Engine> pEngine; // the compile and match settings every pattern shares
    std::map<std::string, std::shared_ptr<Compiled>> Cache;
};

struct FilterRule
{
    std::string sFiltros;
    bool bWhiteList = false;
};

// Both lists keep stable positions: entries are appended, a removed one leaves an empty place.
class AccountLists
{
public:
    explicit AccountLists(NameFilter::ShowFn fnShow) : Filter(std::move(fnShow)) {}

    int FindTag(const std::string& sId) const;
    int FindFolder(const std::string& sKey) const;
    void UpsertTag(const pugi::xml_node& element);
    void UpsertFolder(const pugi::xml_node& element);
    // Deleted items' ids, in one pass since the server deletes thousands at once: each listed id takes the first
    // tag and the first folder (or mounted calendar) that still carry it; unknown ids do nothing.
    void RemoveByIds(const std::vector<std::string>& ids);
    // Another account: what was known of the old one must not filter the new one.
    void Clear();

    bool Admitted(const std::string& sName, const FilterRule& rule);
    bool TagsMatch(const char* sTags, const FilterRule& rule);
    bool FolderMatch(const char* sFolders, const FilterRule& rule);
    bool PassesFilter(const pugi::xml_node& item, const FilterRule& rule);
    // The same over an item's tag ids and folder ids as kept (nullptr: the attribute was absent).
    bool PassesFilter(const char* sTags, const char* sFolders, const FilterRule& rule);

    std::vector<std::optional<ZimbraTag>> Tags{std::nullopt}; // position 0 is never used
    std::vector<std::optional<ZimbraFolder>> Folders{std::nullopt};
    bool bRefreshLeido = false;

private:
    bool NameMatches(const std::string& sName, const FilterRule& rule);
    void Reindex();
    NameFilter Filter;
    // First position of each id and mounted-calendar key: an account has thousands of folders, and every
    // new message looks its folder up.
    std::unordered_map<std::string, size_t> TagIndex, FolderIndex, LinkIndex;
};

} // namespace qv
