// Splits a printer stream into its pieces: escape runs, UELs, PJL lines, PCL
// escape sequences (with their binary payloads), form feeds and stray bytes.
// Pure: works on a byte span, keeps offsets into it, does no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pclinspect {

using Bytes = std::span<const std::uint8_t>;

enum class TokenKind {
    escapeRun,   // ESC bytes each followed by another ESC (job separator padding)
    uel,         // ESC%-12345X, universal exit language
    pjlLine,     // "@PJL ..." up to and including its line feed
    escape,      // a well-formed PCL escape sequence (two-character or parameterized)
    formFeed,    // 0x0C
    stray,       // bytes that belong to no command
    malformed,   // an ESC that does not start a valid sequence, or a truncated one
};

// One parameter of a parameterized escape: ESC*r6600t5100S has two
// (6600 'T' and 5100 'S'). `letter` is always upper case.
struct Parameter {
    std::string value;         // the value field as written ("600", "-12345", "8.50", "")
    char letter = 0;
    bool hasPayload = false;        // binary data follows this parameter (W)
    std::size_t payloadOffset = 0;
    std::size_t payloadLength = 0;  // bytes actually present
    bool payloadTruncated = false;  // the count ran past the end of the stream
};

struct Token {
    TokenKind kind = TokenKind::stray;
    std::size_t offset = 0;
    std::size_t length = 0;          // whole token, payloads included
    char parameterized = 0;          // escape: '*', '&', '%', ... or 0 for two-character escapes
    char group = 0;                  // escape: 'b', 'l', ... or 0 when absent
    char finalChar = 0;              // two-character escape: its second byte ('E' for ESC E)
    std::vector<Parameter> params;   // parameterized escape
    std::string problem;             // malformed: what is wrong
    bool unterminated = false;       // pjlLine without its line feed
};

// Splits the whole stream. Never fails: anything unreadable becomes a
// `malformed` or `stray` token, so offsets always cover the stream exactly.
std::vector<Token> tokenize(Bytes stream);
// The same for a piece of a stream: `pjlMode` says whether the printer is
// at the PJL level where the piece starts, and is left as it is after it.
std::vector<Token> tokenize(Bytes stream, bool& pjlMode);

// The numeric value of a parameter; a missing value reads as 0.
double numericValue(const Parameter& p);
// The value as a whole non-negative count, or -1 if it is not one.
long countValue(const Parameter& p);

}  // namespace pclinspect
