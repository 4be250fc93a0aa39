// Both services' request builders with any credentials, host and console
// text, then the re-encoding of the request as the program sends it. A
// request is whole or not made at all: never cut, never past its buffer.
//
// Input: the service (any byte, so unknown services too), a capacity for
// the re-encoding, the id, key and host (each a length byte and its
// bytes), then the console text (its buffer is exactly the rest, so a
// read beyond consoleSize is caught).
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "upload/upload_requests.h"

namespace {

std::size_t boundedLength(const char* text, std::size_t limit)
{
    const void* zero = std::memchr(text, 0, limit);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : limit;
}

// Well-formed UTF-8 of characters below 0x10000 only; returns the number of
// characters, or -1.
long utf8Characters(const char* text, std::size_t length)
{
    long characters = 0;
    for (std::size_t i = 0; i < length; ++characters) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t n = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 0;
        if (n == 0 || i + n > length)
            return -1;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return -1;
        i += n;
    }
    return characters;
}

// The re-encoding: valid UTF-8, one character per byte, ASCII unchanged,
// and no write beyond `capacity`.
void checkReencoding(const char* text, std::size_t capacity)
{
    std::vector<char> out(capacity + 8, '\x5A');
    const std::size_t length = reencodeWindows1252AsUtf8(text, out.data(), capacity);
    for (std::size_t i = capacity; i < out.size(); ++i)
        FUZZ_CHECK(out[i] == '\x5A');
    if (capacity == 0) {
        FUZZ_CHECK(length == 0);
        return;
    }
    FUZZ_CHECK(length < capacity && std::strlen(out.data()) == length);
    const std::size_t textLength = std::strlen(text);
    if (length == 0) {
        FUZZ_CHECK(out[0] == '\0');
        return;
    }
    FUZZ_CHECK(utf8Characters(out.data(), length) == static_cast<long>(textLength));
    std::string asciiIn, asciiOut;
    for (std::size_t i = 0; i < textLength; ++i)
        if (static_cast<unsigned char>(text[i]) < 0x80)
            asciiIn += text[i];
    for (std::size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(out[i]) < 0x80)
            asciiOut += out[i];
    FUZZ_CHECK(asciiIn == asciiOut);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input{data, size};
    const auto service = static_cast<UploadService>(takeByte(input));
    const std::size_t capacity = takeByte(input) * 5u;
    char id[96];
    char key[96];
    char host[160];
    takeText(input, 80, id);
    takeText(input, 80, key);
    takeText(input, 150, host);
    const std::vector<char> console(input.data, input.data + input.size);
    // An empty text still comes as a real pointer, as the 1024-byte buffer does.
    const char* consoleText = console.empty() ? "" : console.data();

    char out[REQUEST_BUFFER_SIZE + 8];
    std::memset(out, 0x5A, sizeof out);
    const std::size_t length =
        composeUploadRequest(service, id, key, consoleText, console.size(), host, out);
    for (std::size_t i = REQUEST_BUFFER_SIZE; i < sizeof out; ++i)
        FUZZ_CHECK(out[i] == 0x5A);
    FUZZ_CHECK(length < REQUEST_BUFFER_SIZE && std::strlen(out) == length);

    const std::size_t idLength = std::strlen(id);
    const std::size_t keyLength = std::strlen(key);
    const std::size_t consoleLength = boundedLength(consoleText, console.size());
    const bool known = service == SERVICE_WEATHER_UNDERGROUND || service == SERVICE_WEATHERCLOUD;
    const bool credentialsFit = idLength > 0 && idLength < CREDENTIAL_UTF8_SIZE && keyLength > 0
                             && keyLength < CREDENTIAL_UTF8_SIZE;
    if (!known || !credentialsFit) {
        FUZZ_CHECK(length == 0);
        return 0;
    }

    // The fixed parts' length, from the shortest request of the service.
    char shortest[REQUEST_BUFFER_SIZE];
    const std::size_t fixed = composeUploadRequest(service, "i", "k", "", 0, "", shortest) - 2;
    const std::size_t needed = fixed + idLength + keyLength + consoleLength + std::strlen(host);
    if (needed >= REQUEST_BUFFER_SIZE) {
        FUZZ_CHECK(length == 0 && out[0] == '\0');
        return 0;
    }
    FUZZ_CHECK(length == needed);

    // The pieces go in whole and unescaped, the host last.
    const std::string request(out, length);
    const std::string text(consoleText, consoleLength);
    const std::string credentials = service == SERVICE_WEATHER_UNDERGROUND
                                      ? "ID=" + std::string(id) + "&PASSWORD=" + key + "&" + text + "&"
                                      : "wid/" + std::string(id) + "/key/" + key + text + " HTTP/1.0\r\n";
    FUZZ_CHECK(request.compare(0, 5, "GET /") == 0);
    FUZZ_CHECK(request.find(credentials) != std::string::npos);
    const std::string ending = std::string("\r\nHost:  ") + host + "\r\n\r\n";
    FUZZ_CHECK(request.size() > ending.size()
               && request.compare(request.size() - ending.size(), ending.size(), ending) == 0);

    checkReencoding(out, REQUEST_BUFFER_SIZE);
    checkReencoding(out, capacity);
    return 0;
}
