#pragma once

#include <stop_token>
#include <string>

#include "app/background/CMsgQueueThread.h"
#include "app/core/CUIPort.h"

// Moves deleted pages, their assets folders and deleted folders to the
// desktop's trash, off the interface thread. A request is the message
// s_uDeleteMsg with the kind in wParam and the path as a system string
// (CSysString) that the thread frees. Failures are only logged: background
// code never shows a message box. A stop request cancels the move in hand
// and drops the rest.
class CDeleteFileThread : public CMsgQueueThread {
public:
    static constexpr unsigned s_uDeleteMsg = kWM_APP + 1005;

    enum tagDELETEKIND : int {
        DELETE_NOTE = 1,    // a page file, then its assets folder
        DELETE_FOLDER = 2,  // a folder with everything in it
    };

    // Log titles of the two operations (there is no progress window).
    static constexpr const char* s_szNoteTitle = "Note deleting..";
    static constexpr const char* s_szFolderTitle = "Collection deleting..";

    CDeleteFileThread() = default;
    ~CDeleteFileThread() override;

    // Posts a request for `path`; false when it could not be queued.
    bool PostDelete(const std::u16string& path, int kind);

    // The assets folder of a page file: the path without the extension of
    // its file name, + "_files". Empty when the name has no extension (a
    // dot in a folder name or a leading dot does not count).
    static std::u16string GetAssetsFolder(const std::u16string& pagePath);
    // Moves one file or folder to the trash; false when it stays where it
    // is. `title` names the operation in the log; `stop` cancels it.
    static bool MoveToTrash(const std::u16string& path, const char* title, std::stop_token stop = {});

protected:
    void OnMessage(CThreadMsg& msg) override;
};
