// A request as it goes on the wire and an answer read by its structure.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Files.h"

namespace qv
{

// A body piece is bytes in memory or a whole file, read from disk only while it is sent.
struct BodyPiece
{
    std::string sBytes;
    std::string sPath; // empty: the piece is sBytes
    uint64_t nFileSize = 0;
};

struct HttpRequest
{
    std::string sHead; // request line and headers, each ended by CR LF, then the empty line
    std::vector<BodyPiece> Body;

    void AddBytes(std::string_view sBytes);
    // nSize is the file's size now, which the Content-Length announces; a file that changes size meanwhile fails
    // the request rather than send a body of another length.
    void AddFile(const std::string& sPath, uint64_t nSize);
    uint64_t BodyLength() const;
};

// Reads a body in pieces, one file open at a time.
class BodyReader
{
public:
    BodyReader(const std::vector<BodyPiece>& body, IFiles& files) : Body(body), Files(files) {}
    // At most nMax bytes; 0 at the end, -1 when a file cannot be read (sFailure says which).
    long long Read(char* pBuffer, size_t nMax);
    std::string sFailure;

private:
    const std::vector<BodyPiece>& Body;
    IFiles& Files;
    size_t iPiece = 0;
    uint64_t nDone = 0; // bytes of the current piece already given
    std::unique_ptr<IFileReader> File;
};

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpAnswer
{
    int nStatus = 0;
    std::string sReason;
    std::string sHeaderBlock; // the final answer's status line and headers, up to and with the empty line
    HeaderList Headers;
    std::string sBody; // as received
};

// The parts of a received answer; interim (1xx) answers are passed over. Nothing without an end of headers or
// without a status line.
std::optional<HttpAnswer> ParseAnswer(std::string_view sResponse);
// The value of the first header of that name (case ignored), trimmed; empty without one.
std::string GetHeaderValue(std::string_view sHeaderBlock, std::string_view sName);
// Header lines of a block that starts with a request or status line; a folded line continues the one before.
HeaderList ParseHeaders(std::string_view sHeaderBlock);
// The length an answer will have once complete, when its headers have ended and give a Content-Length.
std::optional<size_t> CompleteLength(std::string_view sResponse);

} // namespace qv
