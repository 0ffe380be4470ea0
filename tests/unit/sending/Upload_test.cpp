#include "sending/Upload.h"

#include <gtest/gtest.h>

#include "platform/fake/Fakes.h"

namespace qv
{
namespace
{

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Each item's or run's two texts, to compare whole lists at once.
template <class T, class U>
Pairs Texts(const std::vector<T>& items, std::string U::*pFirst, std::string U::*pSecond)
{
    Pairs texts;
    for (const T& item : items)
        texts.emplace_back(item.*pFirst, item.*pSecond);
    return texts;
}

TEST(Upload, ListFormsGiveOneItemPerPathOrFailWithTheSeparatorError)
{
    // The paths and the names given; the items (path and name) or the number of the failure.
    const std::tuple<const char*, const char*, Pairs, int32_t> cases[] = {
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
    for (const auto& [sPaths, sNames, items, nFailure] : cases)
    {
        const FileList list = SplitFileList(sPaths, sNames);
        EXPECT_EQ(list.Failure ? list.Failure->nNumber : 0, nFailure) << sPaths;
        if (!nFailure)
        {
            EXPECT_EQ(Texts(list.Items, &UploadItem::sPath, &UploadItem::sName), items) << sPaths;
        }
    }
}

TEST(Upload, ThePackerRunsOncePerFolderWithTheProgramsCommandLines)
{
    const std::pair<std::vector<std::string>, Pairs> cases[] = {
        // the paths, and each run's folder and parameters
        {{R"(C:\data\photos\*.*)"}, {{R"(C:\data)", R"(-SXr "T.zip" "photos\*.*")"}}},
        {{R"(C:\a\x.txt)", R"(D:\b\y [1].txt)", R"(C:\a\sub\*.*)", R"(C:\a\z.txt)"},
         {{R"(C:\a)", R"(-SXr "T.zip" "x.txt" "sub\*.*" "z.txt")"}, {R"(D:\b)", R"(-SXju "T.zip" "y ?1].txt")"}}},
        {{R"(C:\top.txt)", R"(E:\*.*)"},
         {{R"(C:\)", R"(-SXj "T.zip" "top.txt")"}, {R"(E:\)", R"(-SXru "T.zip" "*.*")"}}},
    };
    for (const auto& [paths, runs] : cases)
    {
        const ZipPlan plan = PlanZip(paths, "T.zip");
        ASSERT_FALSE(plan.Failure);
        EXPECT_EQ(Texts(plan.Runs, &ZipRun::sFolder, &ZipRun::sParameters), runs);
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
    const std::string sHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";
    using K = UploadAnswer::Kind;
    // The answer's body, its kind, and the id or the text shown.
    const std::tuple<const char*, K, const char*> cases[] = {
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
    for (const auto& [sResponse, nKind, sValue] : cases)
    {
        const UploadAnswer answer = ReadUploadAnswer(sHead + sResponse);
        EXPECT_EQ(answer.nKind, nKind) << sResponse;
        EXPECT_EQ(nKind == K::Accepted ? answer.sAttachId : answer.sBody, sValue) << sResponse;
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
