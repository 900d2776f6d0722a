#include "base/tools/CSysString.h"

#include <cstdlib>
#include <cstring>

#include "base/tools/CStringTool.h"

namespace {

// The header is 8 bytes so the characters stay 8-byte aligned.
constexpr size_t kHeader = 8;

}  // namespace

char16_t* CSysString::Alloc(const char16_t* text)
{
    if (!text)
        return nullptr;
    return AllocLen(text, static_cast<uint32_t>(CStringTool::Length(text)));
}

char16_t* CSysString::AllocLen(const char16_t* text, uint32_t length)
{
    size_t bytes = kHeader + (static_cast<size_t>(length) + 1) * sizeof(char16_t);
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    if (!block)
        return nullptr;
    std::memcpy(block, &length, sizeof(length));
    auto* chars = reinterpret_cast<char16_t*>(block + kHeader);
    if (text)
        std::memcpy(chars, text, length * sizeof(char16_t));
    else
        std::memset(chars, 0, length * sizeof(char16_t));
    chars[length] = u'\0';
    return chars;
}

void CSysString::Free(char16_t* text)
{
    if (text)
        std::free(reinterpret_cast<unsigned char*>(text) - kHeader);
}

uint32_t CSysString::Len(const char16_t* text)
{
    if (!text)
        return 0;
    uint32_t length;
    std::memcpy(&length, reinterpret_cast<const unsigned char*>(text) - kHeader, sizeof(length));
    return length;
}
