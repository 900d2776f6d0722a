#pragma once

// Links of the program's own HTML views. The start page (no project open)
// and the folder page (a folder with no page to show) drive the program
// through "krv:" links; web addresses leave for the desktop's browser;
// anything else stays in the view.

#include <functional>
#include <string>
#include <string_view>

// What the links can do. The main core fills these in; an empty one does
// nothing.
struct CKrvActions {
    std::function<void()> newProject;           // the new-project dialog, then create
    std::function<void()> openProjectDialog;    // the open-project dialog, then open
    std::function<void(const std::u16string&)> openProjectFile;
    std::function<void()> newPage;              // in the current folder
    std::function<void()> newFolder;            // under the current folder
};

class CKrvCommands {
public:
    enum tagKRVVIEW : int {
        VIEW_START = 0,
        VIEW_FOLDER = 1,
    };

    // Painted when the view has nothing to show.
    static constexpr char16_t kBlankViewText[] = u"This is blank start page.\r\nFrom File menu to create a Folder.";
    static constexpr char16_t kUnknownCommandText[] = u"Unknown Command\r\n";

    CKrvCommands() = default;
    explicit CKrvCommands(CKrvActions actions) : m_actions(std::move(actions)) {}

    CKrvActions& GetActions() { return m_actions; }

    // The view is about to load `url`. True when the view must cancel: a
    // "krv:" command was run, or a web address went to the default browser.
    bool OnBeforeNavigate(tagKRVVIEW view, const std::u16string& url);

    // The parsers; `text` is what follows "krv:".
    void RunFolderCommand(const std::u16string& text);
    void RunStartCommand(const std::u16string& url, const std::u16string& text);

    // "%" and two hexadecimal digits become that byte of the UTF-8 form;
    // the bytes are read back as UTF-8. False (and `out` untouched) when
    // they are not UTF-8. "+" stays "+".
    static bool DecodePercent(const std::u16string& text, std::u16string* out);
    // A piece of a posted form: "+" is a space and "%" with two hexadecimal
    // digits that byte; the bytes are read as UTF-8.
    static std::u16string DecodeFormText(std::string_view text);

private:
    static std::string DecodeBytes(std::string_view bytes, bool plusIsSpace);
    static void ShowUnknown(const std::u16string& text);
    static void Run(const std::function<void()>& action)
    {
        if (action)
            action();
    }

    CKrvActions m_actions;
};
