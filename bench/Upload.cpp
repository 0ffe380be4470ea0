// One upload through the program's own HTTP client: a file streamed to a server on this machine.
//   bench_upload PORT FILE   prints the seconds, the megabytes per second and the peak resident memory.
// Run by bench/upload.py, which runs curl on the same file against the same server beside it.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "PeakMemory.h"
#include "platform/fake/Fakes.h"
#include "platform/posix/CurlTls.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixSockets.h"
#include "sending/CHTTP.h"

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: bench_upload PORT FILE\n");
        return 2;
    }
    const std::string sHost = std::string("127.0.0.1:") + argv[1];
    const std::string sFile = argv[2];
    const uint64_t nSize = std::filesystem::file_size(sFile);

    qv::PosixSockets sockets;
    qv::CurlTls tls;
    qv::PosixFiles files;
    qv::fake::FakeDialogs dialogs;
    qv::CHTTP http(sockets, tls, files, dialogs);
    qv::HttpRequest request;
    request.sHead = "POST /service/upload?fmt=raw HTTP/1.1\r\nHost: " + sHost +
                    "\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(nSize) +
                    "\r\nConnection: Close\r\n\r\n";
    request.AddFile(sFile, nSize);

    const auto started = std::chrono::steady_clock::now();
    const qv::HttpResult result = http.POSTWrapper("http://" + sHost + "/service/upload?fmt=raw", request);
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!result.Ok())
    {
        std::fprintf(stderr, "upload failed: %s\n", result.sDescription.c_str());
        return 1;
    }
    std::printf("%.3f %.1f %.1f\n", dSeconds, static_cast<double>(nSize) / 1048576.0 / dSeconds,
                static_cast<double>(PeakKilobytes()) / 1024.0);
    return 0;
}
