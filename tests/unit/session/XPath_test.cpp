#include "session/XPath.h"

#include <gtest/gtest.h>

#include "../Answers.h"
#include "session/AnswerPaths.h"

namespace qv
{
namespace
{

class XPathHelpers : public ::testing::Test
{
protected:
    std::vector<std::string> Shown;
    XPath Xp{[this](const std::string& sText) { Shown.push_back(sText); }};
    pugi::xml_document Doc;

    pugi::xml_node Load(const std::string& sAnswer)
    {
        EXPECT_TRUE(Doc.load_string(sAnswer.c_str()));
        return Doc.document_element();
    }
};

TEST_F(XPathHelpers, EveryShippedPathCompiles)
{
    for (const std::string& sPath : Paths::All())
        EXPECT_TRUE(XPath::Compiles(sPath)) << sPath;
}

TEST_F(XPathHelpers, ShowTheirNumberedMessagesWhenTheAnswerLacksSomething)
{
    const pugi::xml_node root = Load(test::LoginAnswer());
    EXPECT_EQ(Xp.NodeText(root, "//nothing"), "");
    EXPECT_EQ(Xp.AttributeText(root, Paths::sChange, "nope"), "");
    EXPECT_EQ(Xp.AttributeText(root, "//nothing", "id"), "");
    EXPECT_FALSE(Xp.NodeExists(root, "refresh//(folder|link)"));
    EXPECT_FALSE(Xp.HasAttribute(root, "refresh//(folder|link)", "id"));
    const std::vector<std::string> expected = {
        "Error 16442201: //nothing",
        "Error 07553300: Nodo:/soap:Envelope/soap:Header/context/change Attr:nope",
        "Error 07553300: Nodo://nothing Attr:id",
        "Error 06442200: refresh//(folder|link)",
        "Error 17553301: Nodo:refresh//(folder|link) Attr:id",
    };
    EXPECT_EQ(Shown, expected);
}

TEST_F(XPathHelpers, SelectInDocumentOrderAcrossAChoice)
{
    const pugi::xml_node root =
        Load("<refresh><folder id=\"1\"><folder id=\"2\"/><link id=\"3\"><folder id=\"4\"/></link><folder id=\"5\"/>"
             "</folder></refresh>");
    std::string sIds;
    for (const pugi::xpath_node& node : Xp.SelectAll(root.parent(), "refresh//*[self::folder or self::link]"))
        sIds += node.node().attribute("id").value();
    EXPECT_EQ(sIds, "12345");

    const pugi::xml_node notify =
        Load("<notify><modified><tag id=\"b\"/></modified><created><tag id=\"a\"/><m><tag id=\"c\"/></m></created>"
             "</notify>");
    sIds.clear();
    for (const pugi::xpath_node& node : Xp.SelectAll(notify, "(created|modified)//tag"))
        sIds += node.node().attribute("id").value();
    EXPECT_EQ(sIds, "bac");
}

TEST_F(XPathHelpers, TextOfDeepAndMixedContent)
{
    std::string sOpen, sClose;
    for (int i = 0; i < 100000; ++i)
        sOpen += "<d>", sClose += "</d>";
    const pugi::xml_node root =
        Load("<su>Presupuesto &amp; <b>plazos</b> — versión 2" + sOpen + "x" + sClose + "</su>");
    EXPECT_EQ(Xp.NodeText(root.parent(), "su"), "Presupuesto & plazos — versión 2x");
}

} // namespace
} // namespace qv
