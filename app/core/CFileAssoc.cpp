#include "app/core/CFileAssoc.h"

#include <glib.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/core/CAppSettings.h"
#include "app/core/CFileSys.h"
#include "app/core/CRegistry.h"
#include "base/model/CZandrelProject.h"
#include "base/tools/CUnicodeTool.h"

namespace {

std::string Utf8(const std::u16string& text)
{
    return CUnicodeTool::ToUtf8(std::u16string_view(text));
}

bool WriteWhole(const std::string& folder, const std::u16string& name, const std::string& bytes)
{
    if (g_mkdir_with_parents(folder.c_str(), 0755) != 0)
        return false;
    std::u16string path = CFileSys::WithSlash(CUnicodeTool::FromUtf8(folder)) + name;
    return CFileSys::WriteWholeFile(path, bytes);
}

// Runs a database tool on `folder` when it is installed; a missing or
// failing tool only means the desktop learns of the change later.
void RunTool(const char* tool, const std::string& folder)
{
    gchar* program = g_find_program_in_path(tool);
    if (!program)
        return;
    gchar* argv[] = {program, const_cast<gchar*>(folder.c_str()), nullptr};
    GError* error = nullptr;
    g_spawn_sync(nullptr, argv, nullptr,
                 GSpawnFlags(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
                 nullptr, nullptr, nullptr, nullptr, &error);
    if (error)
        g_error_free(error);
    g_free(program);
}

}  // namespace

std::u16string CFileAssoc::GetProgramPath()
{
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::u16string();
    return CUnicodeTool::FromUtf8(std::string_view(path, size_t(length)));
}

std::u16string CFileAssoc::GetDataHome()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/')
        return CFileSys::WithSlash(CUnicodeTool::FromUtf8(dataHome));
    const char* home = std::getenv("HOME");
    std::string folder = home && *home ? home : "/";
    return CFileSys::WithSlash(CUnicodeTool::FromUtf8(folder)) + u".local/share/";
}

std::u16string CFileAssoc::QuoteExecPath(const std::u16string& path)
{
    // Two layers: the Exec quoting escapes " ` $ \ with a backslash, then
    // the desktop-entry string escapes every backslash again; "%" is a
    // field code unless doubled.
    std::u16string quoted = u"\"";
    for (char16_t c : path) {
        if (c < 0x20 || c == 0x7F)
            return std::u16string();
        if (c == u'"' || c == u'`' || c == u'$')
            quoted += u"\\\\";
        else if (c == u'\\')
            quoted += u"\\\\\\";
        else if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return quoted + u'"';
}

bool CFileAssoc::Register(const std::u16string& programPath)
{
    std::u16string exec = QuoteExecPath(programPath);
    if (programPath.empty() || exec.empty())
        return false;
    std::string dataHome = Utf8(GetDataHome());
    std::string mimeType = Utf8(kMimeType);
    std::string typeName = Utf8(kTypeName);

    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=" + typeName + "\n"
                        "Icon=" + Utf8(kAppId) + "\n"
                        "Exec=" + Utf8(exec) + " %f\n"
                        "MimeType=" + mimeType + ";\n"
                        "Terminal=false\n";
    std::string package = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                          "  <mime-type type=\"" + mimeType + "\">\n"
                          "    <comment>" + typeName + "</comment>\n"
                          "    <glob pattern=\"*" + CKRVGlobal::GetFileExtA() + "\"/>\n"
                          "  </mime-type>\n"
                          "</mime-info>\n";

    std::string applications = dataHome + "applications";
    std::string mime = dataHome + "mime";
    bool ok = WriteWhole(applications, kDesktopFileName, entry);
    ok = WriteWhole(mime + "/packages", kMimePackageName, package) && ok;
    RunTool("update-desktop-database", applications);
    RunTool("update-mime-database", mime);
    return ok;
}

bool CFileAssoc::WriteFirstRunValues(CRegistry& registry, long now)
{
    bool ok = registry.SetValue(u"Version", GetVersionText(CAppSettings::kVersion));
    char time[32];
    std::snprintf(time, sizeof time, "%ld", now);
    return registry.SetValue(u"FirstTime", CUnicodeTool::FromUtf8(time)) && ok;
}

std::u16string CFileAssoc::GetVersionText(int version)
{
    char text[48];
    std::snprintf(text, sizeof text, "%d.%d.%d", version / 100, version / 10 % 10, version % 10);
    return CUnicodeTool::FromUtf8(text);
}
