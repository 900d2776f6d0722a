#pragma once

// A user-interface port for tests: records everything the core shows and
// answers from queues filled by the test. An unexpected question fails the
// test and gets the dialog's default answer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/CUIPort.h"
#include "base/tools/CUnicodeTool.h"

inline std::string Utf8(const std::u16string& text)
{
    return CUnicodeTool::ToUtf8(std::u16string_view(text));
}

inline std::u16string Utf16(const std::string& text)
{
    return CUnicodeTool::FromUtf8(text);
}

// Thrown by ExitProcess so a test can see the program end.
struct ScriptedExit {
    int code;
};

struct ScriptedMessage {
    std::string text;
    std::string title;
    int buttons;
    int defaultAnswer;
};

struct ScriptedPost {
    unsigned message;
    uintptr_t wParam;
    void* payload;
};

class ScriptedUI : public CUIPort {
public:
    ScriptedUI() { SetUIPort(this); }
    ~ScriptedUI() override
    {
        SetUIPort(nullptr);
        SetLeavePageHook(nullptr);
    }

    // --- what the test scripts
    std::deque<int> answers;                        // message boxes with a choice
    std::deque<bool> confirmations;                 // Confirm
    // Name dialogs: each entry is the list of names typed and confirmed one
    // after another until the rules accept one; an empty list cancels.
    std::deque<std::vector<std::u16string>> names;
    std::deque<std::u16string> openPaths;           // open dialog; "" cancels
    bool openUriResult = true;
    bool runProgramResult = true;

    // --- what the core did
    std::vector<ScriptedMessage> messages;
    std::vector<CConfirmation> confirms;
    std::vector<std::string> typedTexts;            // text after each OnTextChanged
    std::vector<std::u16string> dialogStarts;       // start folder of the path dialogs
    std::vector<std::string> titles;
    std::vector<std::string> opened;                // OpenUri, RunProgram ("prog arg"), file manager
    std::vector<ScriptedPost> posts;
    int projectState = -1;
    RNode* shownRoot = nullptr;
    RNode* shownFolder = nullptr;
    CColctNode* shownColct = nullptr;
    int treeShows = 0;
    int colctShows = 0;
    int pageClears = 0;

    std::vector<std::string> MessageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& m : messages)
            texts.push_back(m.text);
        return texts;
    }

    int MessageBox(const std::u16string& text, const std::u16string& title, int buttons,
                   int defaultAnswer) override
    {
        messages.push_back({Utf8(text), Utf8(title), buttons, defaultAnswer});
        if (buttons == MB_OK)
            return IDOK;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << Utf8(text);
            return defaultAnswer;
        }
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    bool Confirm(const CConfirmation& question) override
    {
        confirms.push_back(question);
        if (confirmations.empty()) {
            ADD_FAILURE() << "unexpected confirmation: " << Utf8(question.text);
            return false;
        }
        bool answer = confirmations.front() && question.okEnabled;
        confirmations.pop_front();
        return answer;
    }

    bool AskFolderName(const std::u16string& /*parentName*/, CNameRules& rules,
                       std::u16string* name) override
    {
        return RunNameDialog(rules, name, true);
    }

    bool AskNewProjectPath(const std::u16string& startFolder, CNameRules& rules,
                           std::u16string* path) override
    {
        dialogStarts.push_back(startFolder);
        return RunNameDialog(rules, path, false);
    }

    bool AskOpenProjectPath(const std::u16string& startFolder, std::u16string* path) override
    {
        dialogStarts.push_back(startFolder);
        if (openPaths.empty()) {
            ADD_FAILURE() << "unexpected open dialog";
            return false;
        }
        *path = openPaths.front();
        openPaths.pop_front();
        return !path->empty();
    }

    void SetProjectState(bool open) override { projectState = open ? 1 : 0; }
    void SetWindowTitle(const std::u16string& title) override { titles.push_back(Utf8(title)); }
    void ShowTree(RNode* root, RNode* selected) override
    {
        shownRoot = root;
        shownFolder = selected;
        ++treeShows;
    }
    void ShowCollection(CColctNode* colct) override
    {
        shownColct = colct;
        ++colctShows;
    }
    void ClearPageView() override { ++pageClears; }

    bool OpenUri(const std::u16string& uri) override
    {
        opened.push_back(Utf8(uri));
        return openUriResult;
    }
    bool RunProgram(const std::u16string& program, const std::u16string& argument) override
    {
        opened.push_back(Utf8(program) + " " + Utf8(argument));
        return runProgramResult;
    }
    void ShowInFileManager(const std::u16string& path) override { opened.push_back("show " + Utf8(path)); }

    void PostMessage(unsigned message, uintptr_t wParam, void* payload) override
    {
        posts.push_back({message, wParam, payload});
    }

    [[noreturn]] void ExitProcess(int code) override { throw ScriptedExit{code}; }

private:
    // Types each scripted name character by character, as a user would, so
    // the live rules see every edit, then confirms it.
    bool RunNameDialog(CNameRules& rules, std::u16string* out, bool typeByCharacter)
    {
        if (names.empty()) {
            ADD_FAILURE() << "unexpected name dialog";
            return false;
        }
        std::vector<std::u16string> tries = names.front();
        names.pop_front();
        for (std::u16string text : tries) {
            if (typeByCharacter) {
                std::u16string typed;
                for (char16_t c : text) {
                    typed += c;
                    rules.OnTextChanged(typed);
                    typedTexts.push_back(Utf8(typed));
                }
                text = typed;
            }
            if (rules.OnOk(text)) {
                *out = text;
                return true;
            }
        }
        return false;
    }
};

// Gives each test its own HOME and XDG folders, so settings, documents and
// the user data root are made afresh inside a temporary folder.
class ScopedHome {
public:
    ScopedHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zandrel-home-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        m_root = pattern;
        Remember("HOME");
        Remember("XDG_DATA_HOME");
        Remember("XDG_CONFIG_HOME");
        setenv("HOME", m_root.c_str(), 1);
        setenv("XDG_DATA_HOME", (m_root / ".local/share").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root / ".config").c_str(), 1);
    }
    ~ScopedHome()
    {
        for (const auto& [name, value, present] : m_saved) {
            if (present)
                setenv(name.c_str(), value.c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path Documents() const { return m_root / "Documents"; }
    std::filesystem::path MyKorvel() const { return m_root / "Documents" / "My Korvel"; }
    std::filesystem::path DataFolder() const { return m_root / ".local/share/Zandrel/Data"; }

private:
    struct Saved {
        std::string name;
        std::string value;
        bool present;
    };
    void Remember(const char* name)
    {
        const char* value = std::getenv(name);
        m_saved.push_back({name, value ? value : "", value != nullptr});
    }
    std::filesystem::path m_root;
    std::vector<Saved> m_saved;
};
