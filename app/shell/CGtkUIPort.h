#pragma once

// The user-interface port on GTK: modal dialogs over the main window, the
// desktop services, and messages posted from any thread onto the main loop.
// The views the core refreshes live in CMainWindow.

#include <gtk/gtk.h>

#include "app/core/CUIPort.h"

class CMainWindow;
class CTagsWindow;

class CGtkUIPort : public CUIPort {
public:
    CGtkUIPort() = default;
    ~CGtkUIPort() override;
    CGtkUIPort(const CGtkUIPort&) = delete;
    CGtkUIPort& operator=(const CGtkUIPort&) = delete;

    // The window whose views the port drives; null before it exists and
    // after it is gone, when the views' calls do nothing.
    void SetMainWindow(CMainWindow* window) { m_pWindow = window; }
    // The tags window the core shows and closes; null when there is none.
    void SetTagsWindow(CTagsWindow* window) { m_pTags = window; }

    int MessageBox(const std::u16string& text, const std::u16string& title, int buttons,
                   int defaultAnswer) override;
    bool Confirm(const CConfirmation& question) override;
    bool AskFolderName(const std::u16string& parentName, CNameRules& rules, std::u16string* name) override;
    bool AskNewProjectPath(const std::u16string& startFolder, CNameRules& rules, std::u16string* path) override;
    bool AskOpenProjectPath(const std::u16string& startFolder, std::u16string* path) override;

    void SetProjectState(bool open) override;
    void SetWindowTitle(const std::u16string& title) override;
    void ShowTree(RNode* root, RNode* selected) override;
    void ShowCollection(CColctNode* colct) override;
    void SelectFolder(RNode* folder) override;
    void ClearPageView() override;
    bool GetPageDocument(std::string* bytes, int* codePage) override;
    bool IsPageModified() override;
    void SetPageModified(bool modified) override;
    void ShowPage(const std::u16string& file) override;
    void ShowEmptyPage() override;
    std::u16string GetTitleText() override;
    void SetTitleText(const std::u16string& title) override;
    void RefreshItem(CUrlNode* item) override;
    void SelectItem(CUrlNode* item) override;

    int RunProgressDialog(CProgressTask& task) override;

    bool OpenUri(const std::u16string& uri) override;
    bool RunProgram(const std::u16string& program, const std::u16string& argument) override;
    void ShowInFileManager(const std::u16string& path) override;

    void ShowTagsWindow(int mode) override;
    void LoadTagsPage(const std::u16string& html) override;
    void CloseTagsWindow() override;
    bool AskText(const CTextQuestion& question, CNameRules& rules, std::u16string* text) override;
    bool AskTagRename(const std::u16string& title, const std::vector<std::u16string>& entries,
                      CTagRenameRules& rules) override;

    void Post(std::function<void()> task) override;
    void ExitProcess(int code) override;

    // Maps a dialog's close without an answer to the answer of its buttons:
    // Cancel where there is one, else No, else OK.
    static int AnswerForClose(int buttons);

private:
    GtkWindow* Parent() const;
    // On the main loop: runs one posted task.
    static gboolean OnPosted(gpointer data);
    // One text field under a prompt, run until the rules accept or the
    // user cancels.
    bool AskName(const std::string& title, const std::string& prompt, const std::string& okCaption,
                 CNameRules& rules, std::u16string* text, GtkWindow* parent = nullptr);
    // The tags window while it is up, else the usual parent.
    GtkWindow* TagsParent() const;
    bool ChooseProjectFile(bool save, const std::u16string& startFolder, CNameRules* rules,
                           std::u16string* path);

    CMainWindow* m_pWindow = nullptr;
    CTagsWindow* m_pTags = nullptr;
};
