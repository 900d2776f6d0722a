#include "base/tools/CEncodingTool.h"

#include <string>

#include "base/tools/CMD5Digest.h"
#include "base/tools/CUnicodeTool.h"

namespace {

bool TextMD5(const char16_t* text, char16_t* out, bool lowerCase)
{
    if (!out)
        return false;
    std::string utf8 = CUnicodeTool::ToUtf8(text);
    CMD5Digest md5;
    md5.Update(utf8.data(), utf8.size());
    unsigned char digest[16];
    md5.Final(digest);
    CEncodingTool::FormatDigest(digest, out, lowerCase);
    return true;
}

}  // namespace

bool CEncodingTool::GetWideCharMD5(const char16_t* text, char16_t* out)
{
    return TextMD5(text, out, false);
}

bool CEncodingTool::GetWideCharLowerMD5(const char16_t* text, char16_t* out)
{
    return TextMD5(text, out, true);
}

void CEncodingTool::FormatDigest(const unsigned char* digest, char16_t* out, bool lowerCase)
{
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    for (int i = 0; i < 16; i++) {
        out[2 * i] = static_cast<char16_t>(digits[digest[i] >> 4]);
        out[2 * i + 1] = static_cast<char16_t>(digits[digest[i] & 0x0F]);
    }
    out[32] = u'\0';
}
