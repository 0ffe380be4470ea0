#include "sending/MapiText.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

TEST(MapiText, EachFieldByItsMarker)
{
    struct Case
    {
        const char* sWhat;
        std::string sText;
        MapiMessage expected;
    };
    const Case cases[] = {
        {"a subject alone", "|@|5|@|Report", {.sSubject = "Report"}},
        {"a message to send", "|@|1|@| Ann |@|2|@|ann@x.org|@|3|@|Bob|SMTP:bob@x.org|@|4|@|ignored|@|5|@|Hi|@|6|@|Text ",
         {"Ann", "ann@x.org", "Bob|SMTP:bob@x.org", "Hi", "Text", {}}},
        {"two files, one in a folder with a blank, and a pair without a path",
         "|@|5|@|Files|@|7|@|C:\\My Docs\\a.txt|a.txt| |skipped.txt|C:\\b.pdf|Plan",
         {.sSubject = "Files", .Files = {{"C:\\My Docs\\a.txt", "a.txt"}, {"C:\\b.pdf", "Plan"}}}},
        {"the last path without its name is shown under its file name", "|@|7|@|C:\\x\\a.txt|A|C:\\y\\b.txt",
         {.Files = {{"C:\\x\\a.txt", "A"}, {"C:\\y\\b.txt", "b.txt"}}}},
        {"whatever follows the files belongs to them", "|@|7|@|C:\\a.txt|a|@|5|@|late",
         {.Files = {{"C:\\a.txt", "a"}, {"@", "5"}, {"@", "late"}}}},
        {"markers out of order each keep their own text", "|@|5|@|Subject|@|3|@|Bob|bob@x.org|@|1|@|Ann",
         {.sFromName = "Ann", .sToName = "Bob|bob@x.org", .sSubject = "Subject"}},
        {"a marker of another digit is text", "|@|5|@|a |@|9|@| b|@|", {.sSubject = "a |@|9|@| b|@|"}},
        {"no markers at all", "just text", {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        EXPECT_EQ(ParseMapiMessage(c.sText), c.expected);
    }
}

TEST(MapiText, WhatIsWrittenReadsBackTheSame)
{
    const MapiMessage message{"Ann", "ann@x.org", "Bob|bob@x.org|Cy|smtp:cy@x.org", "Año 1", "<html>x</html>",
                              {{"C:\\My Docs\\a b.txt", "a b.txt"}, {"\\\\server\\share\\c.pdf", "Plan"}}};
    EXPECT_EQ(ParseMapiMessage(WriteMapiMessage(message)), message);
    EXPECT_EQ(WriteMapiMessage({.sSubject = "S"}), "|@|5|@|S");
    EXPECT_EQ(QuotedList({"C:\\a b.txt", "x"}), "\"C:\\a b.txt\" \"x\"");
}

} // namespace
} // namespace qv
