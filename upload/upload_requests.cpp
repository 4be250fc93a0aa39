#include "upload/upload_requests.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char WU_REQUEST_START[] = "GET /weatherstation/updateweatherstation.php?";
constexpr char WU_QUERY_END[] = "&softwaretype=vws%20versionxx&action=updateraw&realtime=1&rtfreq2.5";
constexpr char WC_REQUEST_START[] = "GET /v01/set/";
constexpr char REQUEST_LINE_END[] = " HTTP/1.0\r\n";
constexpr char HOST_HEADER[] = "Host:  ";
constexpr char HEADERS_END[] = "\r\n\r\n";

// Appends into a fixed buffer; once a piece does not fit, the text is
// spoilt and nothing more is written.
struct Text {
    char* out;
    std::size_t capacity; // bytes, the zero included
    std::size_t length;
    bool overflowed;
};

void append(Text& text, const char* bytes, std::size_t n)
{
    if (text.overflowed || n >= text.capacity - text.length) {
        text.overflowed = true;
        return;
    }
    std::memcpy(text.out + text.length, bytes, n);
    text.length += n;
    text.out[text.length] = '\0';
}

void append(Text& text, const char* zeroTerminated)
{
    append(text, zeroTerminated, std::strlen(zeroTerminated));
}

std::size_t boundedLength(const char* text, std::size_t limit)
{
    const void* zero = std::memchr(text, 0, limit);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : limit;
}

bool credentialFits(const char* credential)
{
    const std::size_t n = boundedLength(credential, CREDENTIAL_UTF8_SIZE);
    return n > 0 && n < CREDENTIAL_UTF8_SIZE;
}

// 0x80..0x9F of Windows-1252; 0xA0..0xFF are the same code points.
const std::uint16_t WINDOWS_1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// UTF-8 of one code point below 0x10000.
std::size_t utf8Of(std::uint16_t c, char bytes[3])
{
    if (c < 0x80) {
        bytes[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (c >> 6));
        bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
}

} // namespace

std::size_t composeUploadRequest(UploadService service, const char* id, const char* key, const char* consoleText,
                                 std::size_t consoleSize, const char* host, char out[REQUEST_BUFFER_SIZE])
{
    out[0] = '\0';
    if (!id || !key || !host || (service != SERVICE_WEATHER_UNDERGROUND && service != SERVICE_WEATHERCLOUD) ||
        !credentialFits(id) || !credentialFits(key))
        return 0;
    const std::size_t consoleLength = consoleText ? boundedLength(consoleText, consoleSize) : 0;

    // The query (or path) has a 1024-byte buffer of its own.
    char query[REQUEST_BUFFER_SIZE] = "";
    Text piece{query, sizeof query, 0, false};
    if (service == SERVICE_WEATHER_UNDERGROUND) {
        append(piece, "ID=");
        append(piece, id);
        append(piece, "&");
        append(piece, "PASSWORD=");
        append(piece, key);
        append(piece, "&");
        append(piece, consoleText, consoleLength);
        append(piece, WU_QUERY_END);
    } else {
        append(piece, "wid/");
        append(piece, id);
        append(piece, "/key/");
        append(piece, key);
        append(piece, consoleText, consoleLength);
    }
    if (piece.overflowed)
        return 0;

    Text request{out, REQUEST_BUFFER_SIZE, 0, false};
    append(request, service == SERVICE_WEATHER_UNDERGROUND ? WU_REQUEST_START : WC_REQUEST_START);
    append(request, query, piece.length);
    append(request, REQUEST_LINE_END);
    append(request, HOST_HEADER);
    append(request, host);
    append(request, HEADERS_END);
    if (request.overflowed) {
        out[0] = '\0';
        return 0;
    }
    return request.length;
}

std::size_t reencodeWindows1252AsUtf8(const char* text, char* out, std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    std::size_t length = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        const std::uint16_t c = byte >= 0x80 && byte < 0xA0 ? WINDOWS_1252_HIGH[byte - 0x80] : byte;
        char bytes[3];
        const std::size_t n = utf8Of(c, bytes);
        if (n >= capacity - length) {
            out[0] = '\0';
            return 0;
        }
        std::memcpy(out + length, bytes, n);
        length += n;
    }
    out[length] = '\0';
    return length;
}
