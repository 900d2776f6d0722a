#pragma once

// The only way the headless core reaches the user. The window shell
// implements it with GTK; the tests implement it with a scripted double.

#include <functional>
#include <string>
#include <vector>

class CColctNode;
class CFolderNode;
class CProgressTask;
class CUrlNode;
class RNode;

// Button sets and answers are numbered once, so that messages and dialog
// results read the same in the shell, the tests and the trace log.
enum tagMBBUTTONS : int {
    MB_OK = 0,
    MB_OKCANCEL = 1,
    MB_YESNOCANCEL = 3,
    MB_YESNO = 4,
};

enum tagMBRESULT : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

// Message numbers keep their places relative to these bases.
constexpr unsigned kWM_USER = 0x0400;
constexpr unsigned kWM_APP = 0x8000;

// Character sets of page documents, as code pages.
constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageUtf16 = 1200;

// Rules of a dialog that asks for a name. The dialog calls OnTextChanged
// after every edit (the rules may rewrite the text), and OnOk when the user
// confirms: false keeps the dialog open, and the rules have already told
// the user why.
class CNameRules {
public:
    virtual ~CNameRules() = default;
    virtual void OnTextChanged(std::u16string& /*text*/) {}
    virtual bool OnOk(std::u16string& text) = 0;
};

// The question before something is removed or deleted.
struct CConfirmation {
    std::u16string title;
    std::u16string text;
    std::u16string name;     // the node's name, shown under the text
    bool okEnabled = true;   // false for the root folder
    std::u16string cancelCaption = u"Cancel";
    std::u16string okCaption = u"OK";
};

// A dialog that asks for one text: its title, the question above the field
// and the caption of the button that confirms.
struct CTextQuestion {
    std::u16string title;
    std::u16string prompt;
    std::u16string okCaption;
};

// Rules of the tag rename dialog. OnRename gets the chosen entry of the
// list (its index, the first entry being 0) and the new name as typed;
// false keeps the dialog open, and the rules have already told the user why.
class CTagRenameRules {
public:
    virtual ~CTagRenameRules() = default;
    virtual bool OnRename(int chosen, const std::u16string& entry, const std::u16string& newName) = 0;
};

class CUIPort {
public:
    virtual ~CUIPort() = default;

    // Modal message box; the answer is one of tagMBRESULT. With MB_OK the
    // answer is IDOK.
    virtual int MessageBox(const std::u16string& text, const std::u16string& title, int buttons,
                           int defaultAnswer) = 0;
    virtual bool Confirm(const CConfirmation& question) = 0;

    // Name dialogs; false when the user cancels.
    virtual bool AskFolderName(const std::u16string& parentName, CNameRules& rules,
                               std::u16string* name) = 0;
    // Save dialog for a new project file: starts in startFolder, shows the
    // project filter, applies the rules to the chosen file's full path.
    virtual bool AskNewProjectPath(const std::u16string& startFolder, CNameRules& rules,
                                   std::u16string* path) = 0;
    virtual bool AskOpenProjectPath(const std::u16string& startFolder, std::u16string* path) = 0;

    // Views the core asks to refresh.
    virtual void SetProjectState(bool open) = 0;
    virtual void SetWindowTitle(const std::u16string& title) = 0;
    virtual void ShowTree(RNode* root, RNode* selected) = 0;
    virtual void ShowCollection(CColctNode* colct) = 0;  // null empties the item list
    // Selects the folder's row in the tree and opens its ancestors, so the
    // tree always shows where the page on show lives.
    virtual void SelectFolder(RNode*) {}
    virtual void ClearPageView() = 0;

    // The page view. The document's bytes come with their character set (a
    // code page: UTF-8, UTF-16 little-endian, or another one the core
    // converts); false when there is no document.
    virtual bool GetPageDocument(std::string* bytes, int* codePage) = 0;
    virtual bool IsPageModified() = 0;
    virtual void SetPageModified(bool modified) = 0;
    virtual void ShowPage(const std::u16string& file) = 0;
    virtual void ShowEmptyPage() = 0;
    // The title box above the page.
    virtual std::u16string GetTitleText() = 0;
    virtual void SetTitleText(const std::u16string& title) = 0;
    // Rows of the item list.
    virtual void RefreshItem(CUrlNode* item) = 0;
    virtual void SelectItem(CUrlNode* item) = 0;

    // Runs the task under the modal progress dialog; the dialog's result.
    virtual int RunProgressDialog(CProgressTask& task) = 0;

    // Desktop services.
    virtual bool OpenUri(const std::u16string& uri) = 0;  // the default handler
    virtual bool RunProgram(const std::u16string& program, const std::u16string& argument) = 0;
    virtual void ShowInFileManager(const std::u16string& path) = 0;

    // The tags window: a second top-level window with its own HTML view,
    // made on first use and hidden, not destroyed, when closed. Show makes
    // or restores it, placed for `mode` (1 the tag-it form, 0 a search
    // page); once its view exists the shell calls
    // CTagsWindowMgr::OnWindowReady. LoadTagsPage writes a page into it.
    virtual void ShowTagsWindow(int mode) = 0;
    virtual void LoadTagsPage(const std::u16string& html) = 0;
    virtual void CloseTagsWindow() = 0;
    // Tag dialogs, shown over the tags window; false when cancelled.
    virtual bool AskText(const CTextQuestion& question, CNameRules& rules, std::u16string* text) = 0;
    // The list shows `entries` with the first one selected.
    virtual bool AskTagRename(const std::u16string& title, const std::vector<std::u16string>& entries,
                              CTagRenameRules& rules) = 0;

    // Hands work to the interface thread from any thread; it runs there
    // later, in the order posted. The task owns what it carries: one that
    // never runs (the loop is gone) is destroyed unrun, freeing it. A task
    // whose receiver may be gone by then checks for it itself.
    virtual void Post(std::function<void()> task) = 0;

    // Ends the program. The shell does not return; the test double throws.
    virtual void ExitProcess(int code) = 0;
};

// The port of this run: the shell sets it at start-up, tests per test.
void SetUIPort(CUIPort* port);
CUIPort& UIPort();

// Asks for the page being edited to be saved before the view changes;
// false when the user refused. Until page operations install theirs, there
// is nothing to save.
void SetLeavePageHook(std::function<bool()> hook);
bool LeaveCurrentPage();

// Shorthand for a message with only an OK button.
int ShowMessage(const std::u16string& text, const std::u16string& title = u"Zandrel");
