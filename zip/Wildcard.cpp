#include "zip/Wildcard.h"

#include <bitset>
#include <cstdint>
#include <vector>

namespace {

enum class TTokenKind { Literal, AnyOne, Set, Star };

struct TToken {
    explicit TToken(TTokenKind k) : kind(k) {}
    TTokenKind kind;
    unsigned char literal = 0;
    std::bitset<256> set;    // Set: the accepted characters; Star: what it may absorb
    bool restricted = false; // Star only
};

// Parses "<...>" starting at pattern[pos] == '<'. Returns false for an unterminated or empty set.
bool ParseSet(const std::string& pattern, size_t& pos, std::bitset<256>& set) {
    size_t i = pos + 1;
    bool negate = false;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) {
        negate = true;
        ++i;
    }
    std::bitset<256> chars;
    bool any = false;
    while (i < pattern.size() && pattern[i] != '>') {
        const auto low = static_cast<unsigned char>(pattern[i]);
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != '>') {
            const auto high = static_cast<unsigned char>(pattern[i + 2]);
            for (unsigned c = low; c <= high; ++c)
                chars.set(c);
            i += 3;
        } else {
            chars.set(low);
            ++i;
        }
        any = true;
    }
    if (i >= pattern.size() || !any)
        return false;
    set = negate ? ~chars : chars;
    pos = i + 1;
    return true;
}

bool Tokenise(const std::string& pattern, std::vector<TToken>& tokens) {
    size_t pos = 0;
    while (pos < pattern.size()) {
        const char c = pattern[pos];
        if (c == '*') {
            ++pos;
            if (!tokens.empty() && tokens.back().kind == TTokenKind::Star && !tokens.back().restricted)
                continue; // "**" is "*"
            TToken star(TTokenKind::Star);
            star.set.set();
            tokens.push_back(star);
        } else if (c == '?') {
            tokens.emplace_back(TTokenKind::AnyOne);
            ++pos;
        } else if (c == '<') {
            TToken set(TTokenKind::Set);
            if (!ParseSet(pattern, pos, set.set))
                return false;
            if (!tokens.empty() && tokens.back().kind == TTokenKind::Star && !tokens.back().restricted) {
                tokens.back().set = set.set;
                tokens.back().restricted = true;
            }
            tokens.push_back(set);
        } else {
            TToken literal(TTokenKind::Literal);
            literal.literal = static_cast<unsigned char>(c);
            tokens.push_back(literal);
            ++pos;
        }
    }
    return true;
}

} // namespace

bool MatchWildcard(const std::string& pattern, const std::string& name) {
    if (pattern == "*")
        return true;
    if (pattern.find_first_of("*?<") == std::string::npos)
        return pattern == name;
    std::vector<TToken> tokens;
    if (!Tokenise(pattern, tokens))
        return false;
    // next[n]: do the tokens after the current one match name[n..]? Filled from the last token back.
    const size_t n = name.size();
    std::vector<uint8_t> next(n + 1, 0), row(n + 1, 0);
    next[n] = 1;
    for (size_t t = tokens.size(); t-- > 0;) {
        const TToken& token = tokens[t];
        if (token.kind == TTokenKind::Star) {
            row[n] = next[n];
            for (size_t i = n; i-- > 0;)
                row[i] = next[i] || (token.set.test(static_cast<unsigned char>(name[i])) && row[i + 1]);
        } else {
            row[n] = 0;
            for (size_t i = 0; i < n; ++i) {
                const auto c = static_cast<unsigned char>(name[i]);
                bool ok = false;
                if (token.kind == TTokenKind::Literal)
                    ok = c == token.literal;
                else if (token.kind == TTokenKind::AnyOne)
                    ok = true;
                else
                    ok = token.set.test(c);
                row[i] = ok && next[i + 1];
            }
        }
        row.swap(next);
    }
    return next[0] != 0;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
    return text;
}
