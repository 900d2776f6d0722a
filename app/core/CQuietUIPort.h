#pragma once

// A user interface with nobody at the screen: it shows nothing, answers a
// message box with its default and every other question with "no", so
// that program code runs unattended (benchmarks, fuzzing).

#include <cstdlib>
#include <functional>

#include "app/core/CUIPort.h"

class CQuietUIPort : public CUIPort {
public:
    int MessageBox(const std::u16string&, const std::u16string&, int, int defaultAnswer) override
    {
        ++messages;
        return defaultAnswer;
    }
    bool Confirm(const CConfirmation&) override { return false; }
    bool AskFolderName(const std::u16string&, CNameRules&, std::u16string*) override { return false; }
    bool AskNewProjectPath(const std::u16string&, CNameRules&, std::u16string*) override { return false; }
    bool AskOpenProjectPath(const std::u16string&, std::u16string*) override { return false; }
    void SetProjectState(bool) override {}
    void SetWindowTitle(const std::u16string&) override {}
    void ShowTree(RNode*, RNode*) override {}
    void ShowCollection(CColctNode*) override {}
    void ClearPageView() override {}
    bool GetPageDocument(std::string*, int*) override { return false; }
    bool IsPageModified() override { return false; }
    void SetPageModified(bool) override {}
    void ShowPage(const std::u16string&) override {}
    void ShowEmptyPage() override {}
    std::u16string GetTitleText() override { return {}; }
    void SetTitleText(const std::u16string&) override {}
    void RefreshItem(CUrlNode*) override {}
    void SelectItem(CUrlNode*) override {}
    int RunProgressDialog(CProgressTask&) override { return 0; }
    bool OpenUri(const std::u16string&) override { return false; }
    bool RunProgram(const std::u16string&, const std::u16string&) override { return false; }
    void ShowInFileManager(const std::u16string&) override {}
    void ShowTagsWindow(int) override {}
    void LoadTagsPage(const std::u16string&) override {}
    void CloseTagsWindow() override {}
    bool AskText(const CTextQuestion&, CNameRules&, std::u16string*) override { return false; }
    bool AskTagRename(const std::u16string&, const std::vector<std::u16string>&, CTagRenameRules&) override
    {
        return false;
    }
    void Post(std::function<void()>) override {}
    void ExitProcess(int code) override { std::exit(code); }

    // How many message boxes were shown.
    int messages = 0;
};
