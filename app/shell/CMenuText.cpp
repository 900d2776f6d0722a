#include "app/shell/CMenuText.h"

#include "app/core/CCommandTable.h"
#include "base/tools/CUnicodeTool.h"

namespace {

std::u16string_view LabelPart(std::u16string_view caption)
{
    size_t tab = caption.find(u'\t');
    return tab == std::u16string_view::npos ? caption : caption.substr(0, tab);
}

// Walks the label once; `mnemonic` decides what a marked letter becomes.
std::u16string Convert(std::u16string_view caption, bool mnemonic)
{
    std::u16string_view label = LabelPart(caption);
    std::u16string out;
    out.reserve(label.size() + 2);
    for (size_t i = 0; i < label.size(); ++i) {
        char16_t c = label[i];
        if (c == u'&') {
            if (i + 1 >= label.size())
                break;
            if (label[i + 1] == u'&') {
                out += u'&';
                ++i;
                continue;
            }
            if (mnemonic)
                out += u'_';
            continue;
        }
        if (c == u'_' && mnemonic)
            out += u'_';
        out += c;
    }
    return out;
}

}  // namespace

std::string CMenuText::ToMnemonicLabel(std::u16string_view caption)
{
    return CUnicodeTool::ToUtf8(Convert(caption, true));
}

std::string CMenuText::ToPlainLabel(std::u16string_view caption)
{
    return CUnicodeTool::ToUtf8(Convert(caption, false));
}

std::string CMenuText::GetShortcutLabel(std::u16string_view caption)
{
    return CUnicodeTool::ToUtf8(CCommandTable::GetShortcutText(caption));
}

char16_t CMenuText::GetMnemonic(std::u16string_view caption)
{
    std::u16string_view label = LabelPart(caption);
    for (size_t i = 0; i + 1 < label.size(); ++i) {
        if (label[i] != u'&')
            continue;
        char16_t next = label[i + 1];
        if (next == u'&') {
            ++i;
            continue;
        }
        return next >= u'A' && next <= u'Z' ? static_cast<char16_t>(next - u'A' + u'a') : next;
    }
    return 0;
}
