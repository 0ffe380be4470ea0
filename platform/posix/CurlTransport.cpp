#include "platform/posix/CurlTransport.h"

#include <curl/curl.h>

#include <algorithm>

#include "platform/posix/CurlErrors.h"
#include <cctype>

namespace qv
{

namespace
{

constexpr size_t nMaxAnswerBytes = 64u << 20;

struct Received
{
    std::string sBody;
    std::string sStatusText;
    bool bTooLarge = false;
};

size_t OnBody(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto& received = *static_cast<Received*>(pUser);
    const size_t nBytes = nSize * nCount;
    if (received.sBody.size() + nBytes > nMaxAnswerBytes)
    {
        received.bTooLarge = true;
        return 0; // aborts the transfer
    }
    received.sBody.append(pData, nBytes);
    return nBytes;
}

size_t OnHeader(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto& received = *static_cast<Received*>(pUser);
    const std::string sLine(pData, nSize * nCount);
    if (sLine.rfind("HTTP/", 0) == 0)
    {
        // "HTTP/1.1 404 Not Found": the reason phrase after the code.
        const size_t nFirst = sLine.find(' ');
        const size_t nSecond = nFirst == std::string::npos ? nFirst : sLine.find(' ', nFirst + 1);
        std::string sText = nSecond == std::string::npos ? std::string() : sLine.substr(nSecond + 1);
        while (!sText.empty() && std::isspace(static_cast<unsigned char>(sText.back())))
            sText.pop_back();
        received.sStatusText = sText;
        received.sBody.clear(); // a new response (after a 100 Continue)
    }
    return nSize * nCount;
}


} // namespace

CurlTransport::CurlTransport()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlTransport::~CurlTransport()
{
    curl_global_cleanup();
}

HttpReply CurlTransport::Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                              const std::string& sBody)
{
    HttpReply reply;
    CURL* pCurl = curl_easy_init();
    if (!pCurl)
    {
        reply.sDescription = "libcurl could not start";
        reply.sSource = "libcurl";
        return reply;
    }
    Received received;
    curl_slist* pHeaders = nullptr;
    // curl adds its own Expect and form Content-Type to POST bodies; the program sends neither.
    pHeaders = curl_slist_append(pHeaders, "Expect:");
    pHeaders = curl_slist_append(pHeaders, "Content-Type:");
    if (sMethod == "POST")
        pHeaders = curl_slist_append(pHeaders, ("Host: " + sHost).c_str());

    curl_easy_setopt(pCurl, CURLOPT_URL, sUrl.c_str());
    curl_easy_setopt(pCurl, CURLOPT_CUSTOMREQUEST, sMethod.c_str());
    if (sMethod == "POST")
    {
        curl_easy_setopt(pCurl, CURLOPT_POSTFIELDS, sBody.data());
        curl_easy_setopt(pCurl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(sBody.size()));
    }
    curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, pHeaders);
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(pCurl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(pCurl, CURLOPT_HEADERDATA, &received);
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(nConnectTimeoutSeconds));
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, nReceiveTimeoutSeconds);
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOPROXY, "*");

    const CURLcode nCode = curl_easy_perform(pCurl);
    if (nCode == CURLE_OK)
    {
        reply.nError = TransportError::None;
        curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &reply.nStatus);
        reply.sStatusText = std::move(received.sStatusText);
        reply.sBody = std::move(received.sBody);
    }
    else
    {
        reply.nError = received.bTooLarge ? TransportError::Other : ClassifyCurlError(nCode);
        reply.nSystemCode = static_cast<long>(nCode);
        reply.sDescription = received.bTooLarge ? "The server's answer is too large" : curl_easy_strerror(nCode);
        reply.sSource = "libcurl";
    }
    curl_slist_free_all(pHeaders);
    curl_easy_cleanup(pCurl);
    return reply;
}

} // namespace qv
