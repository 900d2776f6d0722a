// The "HTML Format" clipboard payload: its header is parsed for the page a
// paste came from. The payload is also rebuilt from decoded clipboard text
// and an address, and the address must come back out of it.
#include <string>
#include <string_view>

#include "FuzzUtil.h"
#include "app/core/CEditorMarkup.h"
#include "app/core/CEditorText.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::string payload(reinterpret_cast<const char*>(data), size);
    std::optional<std::u16string> url = CEditorText::GetSourceUrl(payload);
    if (url) {
        FUZZ_REQUIRE(CEditorText::IsSourceUrl(*url));
        FUZZ_REQUIRE(CEditorText::GetSourceNote(payload).has_value());
    }

    // First line: the source address; the rest: the copied HTML.
    std::string_view bytes(payload);
    size_t newline = bytes.find('\n');
    std::string_view source = newline == std::string_view::npos ? bytes : bytes.substr(0, newline);
    std::string_view html = newline == std::string_view::npos ? std::string_view() : bytes.substr(newline + 1);
    std::u16string address = CEditorMarkup::GetSourceAddress(source);
    std::u16string fragment = CEditorMarkup::DecodeClipboardText(html);
    std::string built = CEditorMarkup::BuildHtmlFormat(fragment, address);
    std::optional<std::u16string> back = CEditorText::GetSourceUrl(built);
    if (back)
        FUZZ_REQUIRE(CEditorText::IsSourceUrl(*back));
    CEditorMarkup::BuildLinkHtml(address, fragment);
    return 0;
}
