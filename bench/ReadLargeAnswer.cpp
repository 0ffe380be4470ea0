// Reads a 5 MB answer (a login with a large refresh block) the way the program does: parse, then the XPath
// helpers over every folder. Prints the throughput and the peak memory of the process.
#include <chrono>
#include <cstdio>
#include <string>

#include "session/XPath.h"
#include "PeakMemory.h"

namespace
{

std::string LargeAnswer(size_t nTargetBytes)
{
    std::string sFolders;
    for (int nId = 257; sFolders.size() < nTargetBytes; ++nId)
    {
        const std::string sId = std::to_string(nId);
        sFolders += "<folder id=\"" + sId + "\" uuid=\"0b8f1c2d-" + sId + "\" deletable=\"1\" name=\"Folder " + sId +
                    " Ελληνικά\" absFolderPath=\"/Folder " + sId + "\" l=\"1\" luuid=\"a1c2\" u=\"" +
                    std::to_string(nId % 7) +
                    "\" view=\"message\" rev=\"1\" ms=\"4190\" n=\"812\" s=\"41288716\" "
                    "i4ms=\"4190\" i4next=\"1990\"/>";
    }
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
           "<context xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session><refresh><version>8.8.15_GA</version>"
           "<folder id=\"1\" name=\"USER_ROOT\" l=\"11\">" +
           sFolders +
           "</folder></refresh><change token=\"4271\"/></context></soap:Header><soap:Body>"
           "<AuthResponse xmlns=\"urn:zimbraAccount\"><authToken>0_ab</authToken></AuthResponse></soap:Body>"
           "</soap:Envelope>";
}

} // namespace

int main()
{
    const std::string sAnswer = LargeAnswer(5u << 20);
    const long nBefore = PeakKilobytes();
    constexpr int nRounds = 10;
    size_t nFolders = 0, nUnread = 0;
    const auto tStart = std::chrono::steady_clock::now();
    for (int i = 0; i < nRounds; ++i)
    {
        pugi::xml_document doc;
        doc.load_buffer(sAnswer.data(), sAnswer.size());
        qv::XPath xp([](const std::string& sText) { std::fprintf(stderr, "%s\n", sText.c_str()); });
        const pugi::xml_node root = doc.document_element();
        if (xp.NodeExists(root, "/soap:Envelope/soap:Header/context/refresh/version"))
            (void)xp.NodeText(root, "/soap:Envelope/soap:Header/context/refresh/version");
        nFolders = 0;
        for (const pugi::xpath_node& folder :
             xp.SelectAll(root, "/soap:Envelope/soap:Header/context/refresh//*[self::folder or self::link]"))
        {
            ++nFolders;
            nUnread += folder.node().attribute("u").as_uint();
        }
    }
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    const double dMegabytes = static_cast<double>(sAnswer.size()) * nRounds / (1 << 20);
    std::printf("answer: %.1f MB, %zu folders (unread sum %zu)\n", static_cast<double>(sAnswer.size()) / (1 << 20),
                nFolders, nUnread / nRounds);
    std::printf("read with the XPath helpers: %.1f MB/s (%.1f ms per answer)\n", dMegabytes / dSeconds,
                dSeconds * 1000 / nRounds);
    std::printf("peak memory: %.1f MB (%.1f MB before reading)\n", PeakKilobytes() / 1024.0, nBefore / 1024.0);
    return 0;
}
