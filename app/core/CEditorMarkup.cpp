#include "app/core/CEditorMarkup.h"

#include <cstdio>

#include "app/core/CEditorText.h"
#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

std::u16string FromUtf16(std::string_view bytes, bool bigEndian)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        text += static_cast<char16_t>(lo | (hi << 8));
    }
    return text;
}

std::string Offset(size_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%010zu", value);
    return text;
}

}  // namespace

std::u16string CEditorMarkup::DecodeClipboardText(std::string_view bytes)
{
    std::u16string text;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        text = FromUtf16(bytes.substr(2), false);
    else if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        text = FromUtf16(bytes.substr(2), true);
    else if (bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes[0] != '\0' && bytes[1] == '\0')
        text = FromUtf16(bytes, false);
    else if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        text = CUnicodeTool::FromUtf8(bytes.substr(3));
    else
        text = CUnicodeTool::FromUtf8(bytes);
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

std::u16string CEditorMarkup::GetSourceAddress(std::string_view bytes)
{
    std::u16string text = DecodeClipboardText(bytes);
    size_t end = text.find_first_of(u"\r\n");
    if (end != std::u16string::npos)
        text.resize(end);
    return CStringTool::TrimBlanks(text);
}

std::string CEditorMarkup::BuildHtmlFormat(std::u16string_view html, std::u16string_view sourceUrl)
{
    std::u16string source(sourceUrl);
    size_t end = source.find_first_of(u"\r\n");
    if (end != std::u16string::npos)
        source.resize(end);

    static constexpr std::string_view kBefore = "<html><body>\r\n<!--StartFragment-->";
    static constexpr std::string_view kAfter = "<!--EndFragment-->\r\n</body>\r\n</html>";
    std::string body = CUnicodeTool::ToUtf8(html);
    std::string sourceLine = source.empty() ? std::string() : "SourceURL:" + CUnicodeTool::ToUtf8(source) + "\r\n";
    // Every offset has ten digits, so the header's length is known first.
    auto header = [&](size_t startHtml, size_t endHtml, size_t startFragment, size_t endFragment) {
        return "Version:0.9\r\nStartHTML:" + Offset(startHtml) + "\r\nEndHTML:" + Offset(endHtml) +
               "\r\nStartFragment:" + Offset(startFragment) + "\r\nEndFragment:" + Offset(endFragment) + "\r\n" +
               sourceLine;
    };
    size_t startHtml = header(0, 0, 0, 0).size();
    size_t startFragment = startHtml + kBefore.size();
    size_t endFragment = startFragment + body.size();
    size_t endHtml = endFragment + kAfter.size();
    return header(startHtml, endHtml, startFragment, endFragment) + std::string(kBefore) + body + std::string(kAfter);
}

std::u16string CEditorMarkup::BuildTableHtml(int rows, int columns)
{
    std::u16string table = u"<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\"><tbody>";
    for (int row = 0; row < rows; ++row) {
        table += u"<tr>";
        for (int column = 0; column < columns; ++column)
            table += u"<td>&nbsp;</td>";
        table += u"</tr>";
    }
    return table + u"</tbody></table>";
}

std::u16string CEditorMarkup::BuildLinkHtml(std::u16string_view url, std::u16string_view title)
{
    std::u16string shown = CStringTool::TrimBlanks(title);
    if (shown.empty())
        shown = url;
    return u"<a href=\"" + CHtmlEscape::Escape(url, CHtmlEscape::Text) + u"\">" +
           CHtmlEscape::Escape(shown, CHtmlEscape::Text) + u"</a>";
}
