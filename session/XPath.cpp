#include "session/XPath.h"

namespace qv
{

namespace
{

// Iterative: a hostile answer nested a million deep must not exhaust the stack.
void AppendText(const pugi::xml_node& root, std::string& sOut)
{
    pugi::xml_node node = root.first_child();
    while (node && node != root)
    {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            sOut += node.value();
        if (node.type() == pugi::node_element && node.first_child())
        {
            node = node.first_child();
            continue;
        }
        while (node != root && !node.next_sibling())
            node = node.parent();
        if (node != root)
            node = node.next_sibling();
    }
}

} // namespace

std::string InnerText(const pugi::xpath_node& node)
{
    if (node.attribute())
        return node.attribute().value();
    std::string sText;
    if (node.node().type() == pugi::node_pcdata || node.node().type() == pugi::node_cdata)
        return node.node().value();
    AppendText(node.node(), sText);
    return sText;
}

bool XPath::Compiles(const std::string& sPath)
{
    try
    {
        pugi::xpath_query query(sPath.c_str());
        return static_cast<bool>(query);
    }
    catch (const pugi::xpath_exception&)
    {
        return false;
    }
}

const pugi::xpath_query* XPath::Query(const std::string& sPath)
{
    auto it = Cache.find(sPath);
    if (it == Cache.end())
    {
        std::unique_ptr<pugi::xpath_query> query;
        try
        {
            query = std::make_unique<pugi::xpath_query>(sPath.c_str());
            if (!*query)
                query.reset();
        }
        catch (const pugi::xpath_exception&)
        {
        }
        it = Cache.emplace(sPath, std::move(query)).first;
    }
    return it->second.get();
}

pugi::xpath_node XPath::First(const pugi::xml_node& node, const std::string& sPath, bool& bRejected)
{
    bRejected = false;
    const pugi::xpath_query* query = Query(sPath);
    if (!query)
    {
        bRejected = true;
        return {};
    }
    try
    {
        return query->evaluate_node(node);
    }
    catch (const pugi::xpath_exception&)
    {
        bRejected = true;
        return {};
    }
}

bool XPath::NodeExists(const pugi::xml_node& node, const std::string& sPath)
{
    bool bRejected = false;
    const pugi::xpath_node found = First(node, sPath, bRejected);
    if (bRejected)
        fnShow("Error 06442200: " + sPath);
    return static_cast<bool>(found);
}

std::string XPath::NodeText(const pugi::xml_node& node, const std::string& sPath)
{
    bool bRejected = false;
    const pugi::xpath_node found = First(node, sPath, bRejected);
    if (!found)
    {
        fnShow("Error 16442201: " + sPath);
        return {};
    }
    return InnerText(found);
}

std::string XPath::AttributeText(const pugi::xml_node& node, const std::string& sPath, const std::string& sAttribute)
{
    bool bRejected = false;
    const pugi::xpath_node found = First(node, sPath, bRejected);
    const pugi::xml_attribute attribute = found.node().attribute(sAttribute.c_str());
    if (!found || !attribute)
    {
        fnShow("Error 07553300: Nodo:" + sPath + " Attr:" + sAttribute);
        return {};
    }
    return attribute.value();
}

bool XPath::HasAttribute(const pugi::xml_node& node, const std::string& sPath, const std::string& sAttribute)
{
    bool bRejected = false;
    const pugi::xpath_node found = First(node, sPath, bRejected);
    if (bRejected)
    {
        fnShow("Error 17553301: Nodo:" + sPath + " Attr:" + sAttribute);
        return false;
    }
    return found && found.node().attribute(sAttribute.c_str());
}

pugi::xpath_node_set XPath::SelectAll(const pugi::xml_node& node, const std::string& sPath)
{
    const pugi::xpath_query* query = Query(sPath);
    if (query)
    {
        try
        {
            pugi::xpath_node_set nodes = query->evaluate_node_set(node);
            nodes.sort(); // document order, whatever the path's axes
            return nodes;
        }
        catch (const pugi::xpath_exception&)
        {
        }
    }
    fnShow("Error 06442200: " + sPath);
    return {};
}

} // namespace qv
