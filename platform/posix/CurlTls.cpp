#include "platform/posix/CurlTls.h"

#include <curl/curl.h>

#include <algorithm>

#include "platform/posix/CurlErrors.h"

namespace qv
{

namespace
{

constexpr size_t nMaxAnswerBytes = 16u << 20;

struct Transfer
{
    const TlsRequest* pRequest = nullptr;
    std::string sHead, sBody;
    bool bTooLarge = false;
};

size_t OnRead(char* pBuffer, size_t nSize, size_t nCount, void* pUser)
{
    auto& transfer = *static_cast<Transfer*>(pUser);
    const long long nRead = transfer.pRequest->fnReadBody(pBuffer, nSize * nCount);
    return nRead < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(nRead);
}

size_t OnHeader(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto& transfer = *static_cast<Transfer*>(pUser);
    const std::string_view sLine(pData, nSize * nCount);
    if (sLine.substr(0, 5) == "HTTP/")
        transfer.sHead.clear(); // a final answer after an interim one
    transfer.sHead.append(sLine);
    return nSize * nCount;
}

size_t OnBody(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto& transfer = *static_cast<Transfer*>(pUser);
    if (transfer.sBody.size() + nSize * nCount > nMaxAnswerBytes)
    {
        transfer.bTooLarge = true;
        return 0;
    }
    transfer.sBody.append(pData, nSize * nCount);
    return nSize * nCount;
}


} // namespace

CurlTls::CurlTls()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlTls::~CurlTls()
{
    curl_global_cleanup();
}

TlsAnswer CurlTls::Exchange(const TlsRequest& request, const SocketTimeouts& timeouts)
{
    TlsAnswer answer;
    CURL* pCurl = curl_easy_init();
    if (!pCurl)
    {
        answer.sDescription = "libcurl could not start";
        return answer;
    }
    Transfer transfer;
    transfer.pRequest = &request;
    curl_slist* pHeaders = curl_slist_append(nullptr, "Expect:"); // the program never waits for 100 Continue
    for (const auto& [sName, sValue] : request.Headers)
        pHeaders = curl_slist_append(pHeaders, (sValue.empty() ? sName + ";" : sName + ": " + sValue).c_str());
    const std::string sUrl = "https://" + request.sHost + ":" + std::to_string(request.nPort) + request.sPath;

    curl_easy_setopt(pCurl, CURLOPT_URL, sUrl.c_str());
    if (request.sMethod == "POST")
    {
        curl_easy_setopt(pCurl, CURLOPT_POST, 1L);
        curl_easy_setopt(pCurl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.nBodyLength));
        curl_easy_setopt(pCurl, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(pCurl, CURLOPT_READDATA, &transfer);
    }
    else
        curl_easy_setopt(pCurl, CURLOPT_CUSTOMREQUEST, request.sMethod.c_str());
    curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, pHeaders);
    curl_easy_setopt(pCurl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(pCurl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(pCurl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(pCurl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!sCaFile.empty())
        curl_easy_setopt(pCurl, CURLOPT_CAINFO, sCaFile.c_str());
    curl_easy_setopt(pCurl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.nConnectMs));
    // No progress for the send or receive time: the same limit as a stalled send or receive on a socket.
    curl_easy_setopt(pCurl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(pCurl, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(std::max(1, std::max(timeouts.nSendMs, timeouts.nReceiveMs) / 1000)));
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOPROXY, "*");

    const CURLcode nCode = curl_easy_perform(pCurl);
    if (nCode == CURLE_OK)
    {
        answer.nError = TransportError::None;
        answer.sHead = std::move(transfer.sHead);
        answer.sBody = std::move(transfer.sBody);
    }
    else
    {
        answer.nError = transfer.bTooLarge ? TransportError::Other : ClassifyCurlError(nCode);
        answer.nSystemCode = static_cast<long>(nCode);
        answer.sDescription = transfer.bTooLarge ? "The server's answer is too large" : curl_easy_strerror(nCode);
    }
    curl_slist_free_all(pHeaders);
    curl_easy_cleanup(pCurl);
    return answer;
}

} // namespace qv
