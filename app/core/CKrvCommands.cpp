#include "app/core/CKrvCommands.h"

#include <string_view>

#include "app/core/CUIPort.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

constexpr std::u16string_view kScheme = u"krv:";
constexpr std::u16string_view kStartPrefix = u"krv://zandrel/";
constexpr std::u16string_view kOpenFile = u"open?file=";

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool CKrvCommands::OnBeforeNavigate(tagKRVVIEW view, const std::u16string& url)
{
    if (CStringTool::StartsWithNoCase(url, kScheme)) {
        std::u16string text = url.substr(kScheme.size());
        if (view == VIEW_START)
            RunStartCommand(url, text);
        else
            RunFolderCommand(text);
        return true;
    }
    // Every address beginning with the letters "http", in any case.
    if (CStringTool::StartsWithNoCase(url, u"http")) {
        UIPort().OpenUri(url);
        return true;
    }
    return false;
}

void CKrvCommands::RunFolderCommand(const std::u16string& text)
{
    if (text.empty())
        return;
    if (CStringTool::StartsWithNoCase(text, u"createpage"))
        Run(m_actions.newPage);
    else if (CStringTool::StartsWithNoCase(text, u"createfolder"))
        Run(m_actions.newFolder);
    else
        ShowUnknown(text);
}

void CKrvCommands::RunStartCommand(const std::u16string& url, const std::u16string& text)
{
    // The command is cut at a fixed length, so the prefix has to be where
    // the cut assumes it is: at the start, not merely somewhere inside.
    if (!CStringTool::StartsWithNoCase(url, kStartPrefix)) {
        ShowUnknown(text);
        return;
    }
    std::u16string_view command = std::u16string_view(url).substr(kStartPrefix.size());
    if (command.empty())
        return;
    if (CStringTool::StartsWithNoCase(command, u"createobject")) {
        Run(m_actions.newProject);
    } else if (CStringTool::StartsWithNoCase(command, u"openproject")) {
        Run(m_actions.openProjectDialog);
    } else if (CStringTool::StartsWithNoCase(command, kOpenFile)) {
        std::u16string rest(command.substr(kOpenFile.size()));
        std::u16string path;
        if (!DecodePercent(rest, &path))
            path = rest;
        // A NUL would end the path early at the file system, so the file
        // opened would not be the one named.
        if (path.find(u'\0') != std::u16string::npos) {
            ShowUnknown(text);
            return;
        }
        if (m_actions.openProjectFile)
            m_actions.openProjectFile(path);
    } else {
        ShowUnknown(text);
    }
}

std::string CKrvCommands::DecodeBytes(std::string_view bytes, bool plusIsSpace)
{
    std::string decoded;
    decoded.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        int high = 0, low = 0;
        if (bytes[i] == '%' && i + 2 < bytes.size() && (high = HexValue(bytes[i + 1])) >= 0 &&
            (low = HexValue(bytes[i + 2])) >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += plusIsSpace && bytes[i] == '+' ? ' ' : bytes[i];
        }
    }
    return decoded;
}

bool CKrvCommands::DecodePercent(const std::u16string& text, std::u16string* out)
{
    std::string decoded = DecodeBytes(CUnicodeTool::ToUtf8(std::u16string_view(text)), false);
    if (!CUnicodeTool::IsValidUtf8(decoded))
        return false;
    *out = CUnicodeTool::FromUtf8(decoded);
    return true;
}

std::u16string CKrvCommands::DecodeFormText(std::string_view text)
{
    return CUnicodeTool::FromUtf8(DecodeBytes(text, true));
}

void CKrvCommands::ShowUnknown(const std::u16string& text)
{
    ShowMessage(kUnknownCommandText + text);
}
