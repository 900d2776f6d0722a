#include "app/core/CEditorText.h"

#include <cctype>
#include <climits>
#include <cstdio>

#include "app/core/CFileSys.h"
#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

template <typename Char>
int ParseNumber(std::basic_string_view<Char> text)
{
    return static_cast<int>(CStringTool::ReadLong(text));
}

// A name inside a relative address: the characters that would end the
// path part or start an escape are escaped themselves.
void AppendPathPart(std::u16string& out, std::u16string_view part)
{
    for (char16_t c : part) {
        if (c == u'%')
            out += u"%25";
        else if (c == u'#')
            out += u"%23";
        else if (c == u'?')
            out += u"%3F";
        else
            out += c;
    }
}

std::u16string Utf16(const char* ascii)
{
    return CUnicodeTool::FromUtf8(ascii);
}

}  // namespace

// ---- source note ----

std::optional<std::u16string> CEditorText::GetSourceUrl(const std::string& payload)
{
    if (payload.size() < kMinHtmlFormatSize)
        return std::nullopt;
    static constexpr std::string_view kStartKey = "StartHTML:";
    size_t key = payload.find(kStartKey);
    if (key == std::string::npos)
        return std::nullopt;
    size_t at = key + kStartKey.size();
    size_t end = payload.find_first_of("\r\n", at);
    if (end == std::string::npos)
        end = payload.size();
    if (end == at)
        return std::nullopt;
    long long start = ParseNumber(std::string_view(payload).substr(at, end - at));
    if (start < static_cast<long long>(kMinHtmlFormatSize) || static_cast<unsigned long long>(start) >= payload.size())
        return std::nullopt;

    std::string_view header = std::string_view(payload).substr(0, static_cast<size_t>(start));
    static constexpr std::string_view kSourceKey = "SourceURL:";
    key = header.find(kSourceKey);
    if (key == std::string_view::npos)
        return std::nullopt;
    at = key + kSourceKey.size();
    end = header.find_first_of("\r\n", at);
    if (end == std::string_view::npos)
        end = header.size();
    std::u16string url = CUnicodeTool::FromUtf8(header.substr(at, end - at));
    if (!IsSourceUrl(url))
        return std::nullopt;
    return url;
}

bool CEditorText::IsSourceUrl(std::u16string_view url)
{
    return url.size() > 6 &&
           (CStringTool::StartsWithNoCase(url, u"http:") || CStringTool::StartsWithNoCase(url, u"https:"));
}

std::u16string CEditorText::BuildSourceNote(std::u16string_view url)
{
    // The address comes from whatever page was copied; unescaped, a quote
    // in it would end the attribute and let it add markup of its own.
    std::u16string escaped = CHtmlEscape::Escape(url, CHtmlEscape::Text);
    return u"<p style='margin:0in;font-family:Tahoma;font-size:8.0pt;"
           u"color:#666666'>Pasted from &lt;<a href=\"" +
           escaped + u"\">" + escaped + u"</a>&gt;</p>&nbsp;";
}

std::optional<std::u16string> CEditorText::GetSourceNote(const std::string& payload)
{
    std::optional<std::u16string> url = GetSourceUrl(payload);
    if (!url)
        return std::nullopt;
    return BuildSourceNote(*url);
}

std::optional<std::u16string> CEditorText::GetSourceNoteForUrl(std::u16string_view url)
{
    if (!IsSourceUrl(url))
        return std::nullopt;
    return BuildSourceNote(url);
}

// ---- preformatted text ----

std::u16string CEditorText::BuildPreformattedFragment(std::u16string_view text, std::u16string_view parentTag,
                                                      std::u16string_view parentClass)
{
    std::u16string escaped = CHtmlEscape::Escape(text, CHtmlEscape::Pre);
    if (parentTag == u"PRE" && parentClass == kPreClass)
        return u"<PRE>" + escaped + u"</PRE>";
    return u"<DIV class=\"" + std::u16string(kPreWrapClass) + u"\">" +
           u"<PRE class=\"krv_pre\" style='padding:7pt; margin:5pt;\n"
           u"font:10pt,\"Courier New\",Courier,mono;overflow:auto;white-space:pre;\n"
           u"BACKGROUND-COLOR:#EEEEEE; color=#000000;'>\r\n" +
           escaped + u"\r\n</PRE>" + u"</DIV>\r\n";
}

// ---- insert image ----

std::vector<CEditorText::CFileFilter> CEditorText::GetImageFilters()
{
    std::vector<std::u16string> parts;
    std::u16string_view rest(kImageFilter);
    for (size_t bar; (bar = rest.find(u'|')) != std::u16string_view::npos; rest.remove_prefix(bar + 1))
        parts.emplace_back(rest.substr(0, bar));
    std::vector<CFileFilter> filters;
    for (size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        CFileFilter filter{parts[i], {}};
        std::u16string_view patterns(parts[i + 1]);
        for (;;) {
            size_t semicolon = patterns.find(u';');
            filter.patterns.emplace_back(patterns.substr(0, semicolon));
            if (semicolon == std::u16string_view::npos)
                break;
            patterns.remove_prefix(semicolon + 1);
        }
        filters.push_back(std::move(filter));
    }
    return filters;
}

int CEditorText::ReadNumber(std::u16string_view text)
{
    return ParseNumber(text);
}

int CEditorText::CheckImageDialog(const CImageInsert& image)
{
    if (image.alignment < 0 || image.alignment >= kAlignmentCount)
        return IMAGE_NO_ALIGNMENT;
    if (ReadNumber(image.width) == 0 || ReadNumber(image.height) == 0)
        return IMAGE_ZERO_SIZE;
    return IMAGE_OK;
}

std::optional<std::u16string> CEditorText::FindFreeImageName(const std::u16string& name, const ExistsFunc& exists)
{
    if (!CFileSys::IsPlainName(name))
        return std::nullopt;
    if (!exists(name))
        return name;
    size_t dot = name.rfind(u'.');
    if (dot == std::u16string::npos || dot == 0 || dot + 1 == name.size())
        return std::nullopt;
    std::u16string stem = name.substr(0, dot);
    std::u16string extension = name.substr(dot);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        std::u16string candidate = stem + u"[" + Utf16(std::to_string(n).c_str()) + u"]" + extension;
        if (!exists(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<std::u16string> CEditorText::FindFreeImageName(const std::u16string& assetsFolder,
                                                             const std::u16string& name)
{
    std::u16string folder = CFileSys::WithSlash(assetsFolder);
    return FindFreeImageName(name, [&folder](const std::u16string& candidate) {
        return CFileSys::Exists(folder + candidate);
    });
}

std::optional<std::u16string> CEditorText::CopyImageToAssets(const std::u16string& path,
                                                             const std::u16string& assetsFolder)
{
    // Only the last component is used, so the copy stays in the folder
    // whatever the chosen path looks like.
    std::u16string name = CFileSys::NameOf(path);
    if (!CFileSys::IsPlainName(name) || !CFileSys::IsFile(path) || assetsFolder.empty())
        return std::nullopt;
    std::u16string folder = CFileSys::WithoutSlash(assetsFolder);
    if (!CFileSys::IsDirectory(folder) && !CFileSys::MakeDir(folder))
        return std::nullopt;
    std::optional<std::u16string> target = FindFreeImageName(folder, name);
    if (!target || !CFileSys::CopyFile(path, CFileSys::WithSlash(folder) + *target))
        return std::nullopt;
    return target;
}

std::u16string CEditorText::GetImageSource(std::u16string_view assetsFolderName, std::u16string_view fileName)
{
    std::u16string source;
    AppendPathPart(source, assetsFolderName);
    source += u'/';
    AppendPathPart(source, fileName);
    return source;
}

std::u16string CEditorText::BuildImageTag(const CImageInsert& image)
{
    static constexpr const char16_t* kAlignAttributes[] = {u"", u"align=\"left\" ", u"align=\"right\" ",
                                                          u"align=\"middle\" "};
    std::u16string tag = u"<img ";
    tag += u"id=\"" + CHtmlEscape::Escape(image.id, CHtmlEscape::Text) + u"\" ";
    if (image.alignment > 0 && image.alignment < kAlignmentCount)
        tag += kAlignAttributes[image.alignment];
    // Width, height and colour are typed by the user; escaped, they stay
    // inside their attribute.
    tag += u"width=\"" + CHtmlEscape::Escape(image.width, CHtmlEscape::Text) + u"\" ";
    tag += u"height=\"" + CHtmlEscape::Escape(image.height, CHtmlEscape::Text) + u"\" ";
    int border = ReadNumber(image.borderWidth);
    if (border != 0) {
        std::string style = "border: " + std::to_string(border) + "px solid ";
        tag += u"style=\"" + CUnicodeTool::FromUtf8(style) + CHtmlEscape::Escape(image.borderColor, CHtmlEscape::Text) +
               u";\" ";
    }
    tag += u"src=\"" + CHtmlEscape::Escape(image.source, CHtmlEscape::Text) + u"\">";
    return tag;
}

std::u16string CEditorText::FormatFileSize(uint64_t bytes)
{
    char text[64];
    double kilobytes = (static_cast<double>(bytes) + 0.5) / 1024;
    if (kilobytes > 1024)
        std::snprintf(text, sizeof text, "%4.2fMB", kilobytes / 1024);
    else
        std::snprintf(text, sizeof text, "%4.1fKB", kilobytes);
    return Utf16(text);
}

// ---- navigation guard ----

int CEditorText::DecideNavigation(const CNavigation& navigation)
{
    const std::u16string& url = navigation.url;
    if (navigation.frame)
        return url == kBlankUrl ? NAVIGATE_ALLOW : NAVIGATE_REFUSE;
    if (url == kBlankUrl)
        return !navigation.pageOpen || navigation.pageUrl == kBlankUrl ? NAVIGATE_ALLOW : NAVIGATE_REFUSE;
    if (!navigation.pageOpen)
        return NAVIGATE_REFUSE;
    if (CStringTool::EqualNoCase(url.c_str(), navigation.pageFileUrl.c_str()))
        return NAVIGATE_ALLOW;
    if (NormalizeAddress(url) == NormalizeAddress(navigation.pageFileUrl))
        return NAVIGATE_ALLOW;
    return NAVIGATE_MISMATCH;
}

std::u16string CEditorText::NormalizeAddress(std::u16string_view address)
{
    std::u16string text = CStringTool::TrimBlanks(address);
    for (char16_t& c : text) {
        if (c == u'\\')
            c = u'/';
    }
    std::u16string lower = CStringTool::ToLower(text.c_str());
    if (lower.compare(0, 7, u"file://") != 0)
        return lower;
    // The view reports its file as a URI: compare the decoded path, without
    // a query or a #fragment, so a jump inside the page is no other document.
    std::string uri = CUnicodeTool::ToUtf8(std::u16string_view(text).substr(7));
    if (uri.compare(0, 9, "localhost") == 0)
        uri.erase(0, 9);
    uri = uri.substr(0, uri.find_first_of("?#"));
    std::string path;
    for (size_t i = 0; i < uri.size(); ++i) {
        auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) && hex(uri[i + 2])) {
            path += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return CStringTool::ToLower(CUnicodeTool::FromUtf8(path).c_str());
}

std::u16string CEditorText::GetBackupName(const std::u16string& pagePath, long now, const ExistsFunc& exists)
{
    if (pagePath.empty())
        return std::u16string();
    std::u16string backup = pagePath + u".bak";
    if (exists(backup))
        backup = pagePath + u"." + Utf16(std::to_string(now).c_str()) + u".bak";
    return backup;
}

std::u16string CEditorText::BuildMismatchText(std::u16string_view pageUrl, bool backedUp, std::u16string_view url)
{
    std::u16string text = u"URL loading mismatched\r\n";
    text += u"\r\n";
    text += u"Current Page URL:\t";
    text += pageUrl;
    text += u"\r\n";
    if (backedUp)
        text += u"[backup file has been created]";
    text += u"\r\n";
    text += u"Income URL:\t";
    text += url;
    text += u"\r\n\r\n";
    text += u"Do you want to view the content of the Income URL?";
    return text;
}

std::u16string CEditorText::GetTraceUrl(std::u16string_view url)
{
    static constexpr size_t kMaxTraceUrl = 200;
    std::u16string text(url.substr(0, kMaxTraceUrl));
    // Half a surrogate pair would turn into a replacement character.
    if (url.size() > kMaxTraceUrl && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF)
        text.pop_back();
    for (char16_t& c : text) {
        if (c == u'%')
            c = u' ';
    }
    return text;
}

std::u16string CEditorText::GetFrameTraceLine(std::u16string_view url)
{
    return u"This version does not support Frame\r\n" + GetTraceUrl(url);
}
