#include "sending/Upload.h"

#include <gtest/gtest.h>

#include "platform/fake/Fakes.h"

namespace qv
{
namespace
{

TEST(Upload, ListFormsGiveOneItemPerPathOrFailWithTheSeparatorError)
{
    struct Case
    {
        const char* sPaths;
        const char* sNames;
        std::vector<UploadItem> Items;
        int32_t nFailure;
    };
    const Case cases[] = {
        {R"("C:\a b\x.txt" "C:\y.txt")", "", {{R"(C:\a b\x.txt)", ""}, {R"(C:\y.txt)", ""}}, 0},
        {R"(C:\x.txt  C:\y.txt)", "", {{R"(C:\x.txt)", ""}, {R"(C:\y.txt)", ""}}, 0},
        {R"("C:\x.tmp" "C:\y.txt")",
         R"("D:\given\Report.pdf" "Notes.txt")",
         {{R"(C:\x.tmp)", "Report.pdf"}, {R"(C:\y.txt)", "Notes.txt"}},
         0},
        {R"("C:\a b\x.txt" C:\y.txt)", "", {}, 54112},
        {R"(C:\x.txt "C:\a b.txt")", "", {}, 54112},
        {R"("C:\x.txt)", "", {}, 54112},
        {R"("C:\x.txt" "C:\y.txt")", R"("One")", {}, 9},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sPaths);
        const FileList list = SplitFileList(c.sPaths, c.sNames);
        EXPECT_EQ(list.Failure ? list.Failure->nNumber : 0, c.nFailure);
        if (c.nFailure)
            continue;
        ASSERT_EQ(list.Items.size(), c.Items.size());
        for (size_t i = 0; i < c.Items.size(); ++i)
        {
            EXPECT_EQ(list.Items[i].sPath, c.Items[i].sPath);
            EXPECT_EQ(list.Items[i].sName, c.Items[i].sName);
        }
    }
}

TEST(Upload, ThePackerRunsOncePerFolderWithTheProgramsCommandLines)
{
    struct Case
    {
        std::vector<std::string> Paths;
        std::vector<ZipRun> Runs;
    };
    const Case cases[] = {
        {{R"(C:\data\photos\*.*)"}, {{R"(C:\data)", R"(-SXr "T.zip" "photos\*.*")"}}},
        {{R"(C:\a\x.txt)", R"(D:\b\y [1].txt)", R"(C:\a\sub\*.*)", R"(C:\a\z.txt)"},
         {{R"(C:\a)", R"(-SXr "T.zip" "x.txt" "sub\*.*" "z.txt")"}, {R"(D:\b)", R"(-SXju "T.zip" "y ?1].txt")"}}},
        {{R"(C:\top.txt)", R"(E:\*.*)"},
         {{R"(C:\)", R"(-SXj "T.zip" "top.txt")"}, {R"(E:\)", R"(-SXru "T.zip" "*.*")"}}},
    };
    for (const Case& c : cases)
    {
        const ZipPlan plan = PlanZip(c.Paths, "T.zip");
        ASSERT_FALSE(plan.Failure);
        ASSERT_EQ(plan.Runs.size(), c.Runs.size());
        for (size_t i = 0; i < c.Runs.size(); ++i)
        {
            EXPECT_EQ(plan.Runs[i].sFolder, c.Runs[i].sFolder);
            EXPECT_EQ(plan.Runs[i].sParameters, c.Runs[i].sParameters);
        }
    }
    std::vector<std::string> many;
    for (int i = 0; i < 257; ++i)
        many.push_back(R"(C:\f\)" + std::to_string(i) + ".txt");
    EXPECT_EQ(PlanZip(many, "T.zip").Failure->nNumber, 9);
    many.pop_back();
    EXPECT_FALSE(PlanZip(many, "T.zip").Failure);
}

TEST(Upload, SizesAreWrittenWithOneDecimalRoundedHalfToEven)
{
    const std::pair<uint64_t, const char*> cases[] = {
        {12, "12 B"},      {1023, "1023 B"},    {1024, "1 KB"},
        {1536, "1,5 KB"},  {1280, "1,2 KB"},    {1792, "1,8 KB"},
        {1048576, "1 MB"}, {1310720, "1,2 MB"}, {uint64_t{5} << 30, "5120 MB"},
    };
    for (const auto& [nTotal, sText] : cases)
        EXPECT_EQ(SizeText(nTotal, ","), sText) << nTotal;
}

TEST(Upload, TheAnswerIsReadByItsStructure)
{
    struct Case
    {
        const char* sResponse;
        UploadAnswer::Kind nKind;
        const char* sValue; // the id, the location or the text shown
    };
    const std::string sHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";
    using K = UploadAnswer::Kind;
    const Case cases[] = {
        {"200,'null','abc'\n", K::Accepted, "abc"},
        {"200,'null','abc'", K::Accepted, "abc"}, // short, without its line end
        {"200,'2','s:a,s:b'\r\n", K::Accepted, "s:a,s:b"},
        {"200,'null','s1:u-1'\n", K::Accepted, "s1:u-1"},
        {"200,'3','s:a,s:b,s:c'\n", K::Accepted, "s:a,s:b,s:c"},
        {"401,'null'\n", K::Refused, "401,'null'\n"},
        {"200,'null'\n", K::Refused, "200,'null'\n"},
        {"200,'null','null'\n", K::Refused, "200,'null','null'\n"},
        {"<html>200,'x','y'</html>", K::Refused, "<html>200,'x','y'</html>"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sResponse);
        const UploadAnswer answer = ReadUploadAnswer(sHead + c.sResponse);
        EXPECT_EQ(answer.nKind, c.nKind);
        EXPECT_EQ(c.nKind == K::Accepted ? answer.sAttachId : answer.sBody, c.sValue);
    }
    EXPECT_EQ(ReadUploadAnswer("HTTP/1.1 302 Found\r\nLocation: http://b/up\r\n\r\n").sLocation, "http://b/up");
    EXPECT_EQ(ReadUploadAnswer("HTTP/1.1 500 Server Error\r\nX-Zimbra-Fault-Message: no space\r\n\r\n").sBody,
              "500 Server Error: no space");
    EXPECT_EQ(ReadUploadAnswer("HTTP/1.1 200 OK\r\n").nKind, K::NoHeaders);
}

TEST(Upload, TheBoundaryChangesOnlyWhenAFileHoldsIt)
{
    fake::FakeFiles files;
    files.Contents["plain"] = "----QuorvelPostBoundary without the two dashes before it";
    files.Contents["holds"] = std::string(70000, 'x') + "------QuorvelPostBoundary--\r\n"; // across a block's end
    files.Contents["holds too"] = "------QuorvelPostBoundary_1";
    const auto Choose = [&](std::vector<std::string> paths) {
        std::vector<UploadPart> parts;
        for (const std::string& sPath : paths)
            parts.push_back({"n", sPath, files.Contents[sPath].size()});
        return ChooseBoundary(parts, files);
    };
    EXPECT_EQ(Choose({"plain"}), "----QuorvelPostBoundary");
    EXPECT_EQ(Choose({"plain", "holds"}), "----QuorvelPostBoundary_1");
    EXPECT_EQ(Choose({"holds", "holds too"}), "----QuorvelPostBoundary_2");
    files.Locked.push_back("plain");
    EXPECT_EQ(Choose({"plain"}), std::nullopt);
}

} // namespace
} // namespace qv
