// The four lookups every reader of an answer uses. A lookup that fails where the caller assumed success
// shows a numbered message, so an unexpected answer is noticed rather than silently misread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>

namespace qv
{

class XPath
{
public:
    using ShowFn = std::function<void(const std::string&)>;
    explicit XPath(ShowFn fnShow) : fnShow(std::move(fnShow)) {}

    bool NodeExists(const pugi::xml_node& node, const std::string& sPath);
    std::string NodeText(const pugi::xml_node& node, const std::string& sPath);
    std::string AttributeText(const pugi::xml_node& node, const std::string& sPath, const std::string& sAttribute);
    bool HasAttribute(const pugi::xml_node& node, const std::string& sPath, const std::string& sAttribute);

    // Every node the path selects, in document order; empty (and the NodeExists message) on a rejected path.
    pugi::xpath_node_set SelectAll(const pugi::xml_node& node, const std::string& sPath);

    // Whether the engine accepts the path; for the test that proves every shipped path compiles.
    static bool Compiles(const std::string& sPath);

private:
    // nullptr when the engine rejects the path. Compiled once: the same few paths are read at every check.
    const pugi::xpath_query* Query(const std::string& sPath);
    pugi::xpath_node First(const pugi::xml_node& node, const std::string& sPath, bool& bRejected);

    ShowFn fnShow;
    std::map<std::string, std::unique_ptr<pugi::xpath_query>> Cache;
};

// The text of a node as the answer shows it: the element's whole text content, or an attribute's value.
std::string InnerText(const pugi::xpath_node& node);

} // namespace qv
