#include "app/core/CPageTitle.h"

#include "app/core/CUIPort.h"
#include "base/tools/CStringTool.h"

namespace {

// In the order the user is shown them.
constexpr char16_t kForbidden[] = u"\\/:*?\"<>|";
constexpr char16_t kUntitled[] = u"Untitled-";
constexpr size_t kUntitledLength = 9;

}  // namespace

bool CPageTitle::IsForbidden(char16_t c)
{
    return std::u16string_view(kForbidden).find(c) != std::u16string_view::npos;
}

std::u16string CPageTitle::GetCharacterList()
{
    std::u16string text;
    for (const char16_t* c = kForbidden; *c; ++c) {
        if (c != kForbidden)
            text += u' ';
        text += *c;
    }
    return text;
}

std::u16string CPageTitle::GetForbiddenMessage()
{
    return u"A Page title cannot contain any of the following characters:\n\t" + GetCharacterList();
}

bool CPageTitle::OnTitleTextChanged(std::u16string& text)
{
    if (text.empty() || !IsForbidden(text.back()))
        return true;
    text.pop_back();
    ShowMessage(GetForbiddenMessage());
    return false;
}

std::u16string CPageTitle::Clean(std::u16string_view title)
{
    std::u16string clean(title);
    for (char16_t& c : clean) {
        if (c == u'\\' || c == u'/' || c == u'<' || c == u'>')
            c = u'-';
        else if (IsForbidden(c))
            c = u' ';
        else if (c == u'\0')
            c = u' ';  // a NUL would cut the file name short
    }
    return CStringTool::TrimBlanks(clean);
}

long CPageTitle::GetUntitledNumber(std::u16string_view title)
{
    if (title.size() < kUntitledLength + 1 || title.size() > kUntitledLength + 9 ||
        title.substr(0, kUntitledLength) != kUntitled || title[kUntitledLength] == u'0')
        return 0;
    long number = 0;
    for (char16_t c : title.substr(kUntitledLength)) {
        if (c < u'0' || c > u'9')
            return 0;
        number = number * 10 + (c - u'0');
    }
    return number;
}

std::u16string CPageTitle::GetUntitledTitle(long number)
{
    std::u16string digits;
    for (; number > 0; number /= 10)
        digits.insert(digits.begin(), char16_t(u'0' + number % 10));
    return kUntitled + digits;
}
