// The Access pattern matcher against a plain reference: the pattern is taken apart character
// by character as the language describes it and matched by trying every split, with a table
// of the answers already known.
#include "fuzz_support.h"
#include "optionsfile/access_pattern.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

using kv::AccessPattern;

struct Item {
    enum Kind { Char, Any, Digit, Run, Set } kind = Char;
    char32_t c = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

char32_t lower_ascii(char32_t c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}
char32_t upper_ascii(char32_t c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

// nullopt where the matcher must refuse the pattern.
std::optional<std::vector<Item>> parse(const std::vector<char32_t>& p,
                                       std::optional<char32_t> escape) {
    std::vector<Item> items;
    for (std::size_t i = 0; i < p.size(); ++i) {
        Item item;
        if (escape && p[i] == *escape) {
            if (i + 1 == p.size())
                return std::nullopt;
            item.c = p[++i];
        } else if (p[i] == '?') {
            item.kind = Item::Any;
        } else if (p[i] == '#') {
            item.kind = Item::Digit;
        } else if (p[i] == '*') {
            item.kind = Item::Run;
        } else if (p[i] == '[') {
            std::size_t close = i + 1;
            while (close < p.size() && p[close] != ']')
                ++close;
            if (close == p.size())
                return std::nullopt;
            std::size_t k = i + 1;
            item.kind = Item::Set;
            if (k < close && p[k] == '!') {
                item.negated = true;
                ++k;
            }
            if (k == close && !item.negated) { // "[]": the empty run
                i = close;
                continue;
            }
            for (; k < close; ++k) {
                if (k + 2 < close && p[k + 1] == '-') {
                    if (p[k + 2] < p[k])
                        return std::nullopt;
                    item.ranges.emplace_back(p[k], p[k + 2]);
                    k += 2;
                } else {
                    item.ranges.emplace_back(p[k], p[k]);
                }
            }
            i = close;
        } else {
            item.c = p[i];
        }
        items.push_back(std::move(item));
    }
    return items;
}

bool one(const Item& item, char32_t c) {
    switch (item.kind) {
    case Item::Char:
        return lower_ascii(c) == lower_ascii(item.c);
    case Item::Any:
        return true;
    case Item::Digit:
        return c >= '0' && c <= '9';
    case Item::Run:
        return false;
    case Item::Set: {
        bool in = false;
        for (const auto& [low, high] : item.ranges) {
            for (char32_t x : {c, lower_ascii(c), upper_ascii(c)})
                in = in || (x >= low && x <= high);
        }
        return in != item.negated;
    }
    }
    return false;
}

// Does items[i..] match value[j..]?
bool match(const std::vector<Item>& items, const std::vector<char32_t>& value, std::size_t i,
           std::size_t j, std::vector<signed char>& memo) {
    signed char& known = memo[i * (value.size() + 1) + j];
    if (known >= 0)
        return known;
    bool result;
    if (i == items.size())
        result = j == value.size();
    else if (items[i].kind == Item::Run)
        result = match(items, value, i + 1, j, memo) ||
                 (j < value.size() && match(items, value, i, j + 1, memo));
    else
        result =
            j < value.size() && one(items[i], value[j]) && match(items, value, i + 1, j + 1, memo);
    known = result;
    return result;
}

} // namespace

// The input: a flag byte (bit 0: with an escape character, the next byte), then the
// pattern, a NUL byte and the value.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (in.empty())
        return 0;
    std::optional<char32_t> escape;
    const bool withEscape = (in[0] & 1) != 0;
    in.remove_prefix(1);
    if (withEscape) {
        if (in.empty())
            return 0;
        escape = static_cast<unsigned char>(in[0]);
        in.remove_prefix(1);
    }
    const auto nul = in.find('\0');
    const std::string_view pattern = in.substr(0, nul);
    const std::string_view value = nul == std::string_view::npos ? "" : in.substr(nul + 1);
    if (pattern.size() > 200 || value.size() > 400)
        return 0;

    const auto items = parse(kv::decode_utf8_strict(pattern), escape);
    std::optional<AccessPattern> compiled;
    try {
        compiled.emplace(pattern, escape);
    } catch (const AccessPattern::Error&) {
    }
    KV_FUZZ_CHECK(items.has_value() == compiled.has_value(),
                  "the pattern is " + std::string(items ? "valid" : "invalid") +
                      " for the reference: " + std::string(pattern));
    if (!items)
        return 0;
    const std::vector<char32_t> cps = kv::decode_utf8_strict(value);
    std::vector<signed char> memo((items->size() + 1) * (cps.size() + 1), -1);
    const bool expected = match(*items, cps, 0, 0, memo);
    KV_FUZZ_CHECK(compiled->matches(value) == expected,
                  "pattern [" + std::string(pattern) + "] value [" + std::string(value) + "]");
    return 0;
}
