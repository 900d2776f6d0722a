#include "app/background/CDeleteFileThread.h"

#include <gio/gio.h>

#include "app/core/CFileSys.h"
#include "app/core/CTraceLog.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"

namespace {

void FreeSysString(void* text)
{
    CSysString::Free(static_cast<char16_t*>(text));
}

}  // namespace

CDeleteFileThread::~CDeleteFileThread()
{
    EndThread();
}

bool CDeleteFileThread::PostDelete(const std::u16string& path, int kind)
{
    char16_t* text = CSysString::AllocLen(path.data(), static_cast<uint32_t>(path.size()));
    if (!text)
        return false;
    return PostThreadMessage(s_uDeleteMsg, static_cast<uintptr_t>(kind), text, FreeSysString);
}

std::u16string CDeleteFileThread::GetAssetsFolder(const std::u16string& pagePath)
{
    size_t nameStart = pagePath.rfind(u'/');
    nameStart = nameStart == std::u16string::npos ? 0 : nameStart + 1;
    size_t dot = pagePath.rfind(u'.');
    // Only the file name's own extension: cutting at a dot of a folder name
    // would name some other folder, which would then go to the trash.
    if (dot == std::u16string::npos || dot <= nameStart)
        return std::u16string();
    return pagePath.substr(0, dot) + u"_files";
}

bool CDeleteFileThread::MoveToTrash(const std::u16string& path, const char* title, std::stop_token stop)
{
    std::string native = CFileSys::Native(path);
    // A NUL would cut the path short and trash some other file.
    if (native.empty() || native.find('\0') != std::string::npos) {
        CTraceLog::Write("ERR: %s bad path", title);
        return false;
    }
    CTraceLog::Write("INFO: %s %s", title, native.c_str());
    GFile* file = g_file_new_for_path(native.c_str());
    GCancellable* cancel = g_cancellable_new();
    GError* error = nullptr;
    bool moved;
    {
        std::stop_callback onStop(stop, [cancel] { g_cancellable_cancel(cancel); });
        // Where there is no trash the item stays: deleting it for good
        // instead would take away the undo the user was promised.
        moved = g_file_trash(file, cancel, &error);
    }
    g_object_unref(cancel);
    if (!moved) {
        CTraceLog::Write("ERR: %s %s: %s", title, native.c_str(), error ? error->message : "");
        g_clear_error(&error);
    }
    g_object_unref(file);
    return moved;
}

void CDeleteFileThread::OnMessage(CThreadMsg& msg)
{
    if (msg.GetMessage() != s_uDeleteMsg)
        return;
    const char16_t* text = static_cast<const char16_t*>(msg.GetPayload());
    if (!text)
        return;
    std::u16string path(text, CSysString::Len(text));
    switch (static_cast<int>(msg.GetWParam())) {
    case DELETE_NOTE:
        if (MoveToTrash(path, s_szNoteTitle, GetStopToken())) {
            std::u16string assets = GetAssetsFolder(path);
            // Most pages have no pictures, so no assets folder.
            if (!assets.empty() && CFileSys::IsDirectory(assets))
                MoveToTrash(assets, s_szFolderTitle, GetStopToken());
        }
        break;
    case DELETE_FOLDER:
        MoveToTrash(path, s_szFolderTitle, GetStopToken());
        break;
    default:
        break;
    }
    // The message frees the path.
}
