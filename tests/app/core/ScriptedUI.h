#pragma once

// What the core's tests share: a user-interface port that records everything
// the core shows and answers from queues filled by the test (an unexpected
// question fails the test and gets the dialog's default answer; an answer
// left unused fails it too), a home of its own per test, and small file
// helpers.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/CProgressTask.h"
#include "app/core/CUIPort.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNTool.h"
#include "base/tools/CUnicodeTool.h"
#include "tests/ScopedEnv.h"

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

inline std::string Utf8(const std::u16string& text) { return CUnicodeTool::ToUtf8(std::u16string_view(text)); }
inline std::u16string Utf16(const std::string& text) { return CUnicodeTool::FromUtf8(text); }
inline std::u16string U16(const fs::path& path) { return Utf16(path.string()); }

// The whole file; "" when it cannot be read.
inline std::string ReadBytes(const fs::path& path)
{
    std::error_code error;
    std::string bytes(fs::file_size(path, error), '\0');
    std::ifstream in(path, std::ios::binary);
    if (error || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        bytes.clear();
    return bytes;
}

inline void WriteBytes(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// An executable shell script.
inline void WriteScript(const fs::path& path, const std::string& body)
{
    WriteBytes(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
}

// A page item `name` appended under `parent`, with the file `name`.htm
// unless another address is given.
inline CUrlNode* AddPageItem(RNode* parent, const std::u16string& name, const std::u16string& url = u"",
                             tagKRVITEMTYPE type = ITEM_NOTE)
{
    CUrlNode* item = CUrlNode::New();
    item->SetName(name.c_str());
    item->SetUrl((url.empty() ? name + u".htm" : url).c_str());
    item->SetItemType(type);
    CBaseNode::AssignUUID(item);
    RNTool::InsertAsChild(parent, RNode::New2(item, NT_URL));
    return item;
}

// A HOME and XDG folders of its own, so settings, documents and the user
// data root are made afresh inside a temporary folder.
class ScopedHome {
public:
    ~ScopedHome()
    {
        std::error_code ignored;
        fs::permissions(m_root, fs::perms::owner_all, ignored);
        fs::remove_all(m_root, ignored);
    }
    const fs::path& Root() const { return m_root; }
    fs::path Documents() const { return m_root / "Documents"; }
    fs::path MyKorvel() const { return m_root / "Documents" / "My Korvel"; }
    fs::path DataFolder() const { return m_root / ".local/share/Zandrel/Data"; }

private:
    static fs::path MakeRoot()
    {
        std::string pattern = (fs::temp_directory_path() / "zandrel-home-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        return pattern;
    }
    fs::path m_root = MakeRoot();
    ScopedEnv m_home{"HOME", m_root.string()};
    ScopedEnv m_data{"XDG_DATA_HOME", (m_root / ".local/share").string()};
    ScopedEnv m_config{"XDG_CONFIG_HOME", (m_root / ".config").string()};
};

// Thrown by ExitProcess so a test can see the program end.
struct ScriptedExit {
    int code;
};
struct ScriptedMessage {
    std::string text, title;
    int buttons, defaultAnswer;
};

class ScriptedUI : public CUIPort {
public:
    ScriptedUI() { SetUIPort(this); }
    ~ScriptedUI() override
    {
        SetUIPort(nullptr);
        SetLeavePageHook(nullptr);
        // A scripted answer nobody asked for: the question it was meant for
        // never came, or the test scripts more than the code does.
        auto left = [](const char* what, const auto& queue) {
            if (!queue.empty())
                ADD_FAILURE() << "scripted " << what << " left unused: " << testing::PrintToString(queue);
        };
        left("answers", answers);
        left("confirmations", confirmations);
        left("name dialogs", names);
        left("open dialog paths", openPaths);
        left("tag rename dialogs", renames);
        if (m_unusedTries)
            ADD_FAILURE() << m_unusedTries << " scripted tries left unused after an accepted one";
        if (progressCancelAfter > 0 && int(progressPositions.size()) < progressCancelAfter)
            ADD_FAILURE() << "the scripted progress cancel never came";
    }

    // --- what the test scripts
    std::deque<int> answers;         // message boxes with a choice
    std::deque<bool> confirmations;  // Confirm
    // Name dialogs: each entry is the list of names typed and confirmed one
    // after another until the rules accept one; an empty list cancels.
    std::deque<std::vector<std::u16string>> names;
    std::deque<std::u16string> openPaths;  // open dialog; "" cancels
    // Tag rename dialog: each entry is the tries (chosen entry, new name)
    // confirmed one after another; an empty list cancels.
    std::deque<std::vector<std::pair<int, std::u16string>>> renames;
    // The page view and the title box.
    std::string pageHtml;
    int pageCodePage = kCodePageUtf8;
    bool hasDocument = true;
    bool pageModified = false;
    std::u16string titleText;
    // The progress dialog presses Cancel when this many positions have
    // come (0: never).
    int progressCancelAfter = 0;

    // --- what the core did
    std::vector<ScriptedMessage> messages;
    std::vector<CConfirmation> confirms;
    std::vector<std::string> typedTexts;       // text after each OnTextChanged
    std::vector<std::u16string> dialogStarts;  // start folder of the path dialogs
    std::vector<std::string> titles;
    std::vector<std::string> opened;  // OpenUri, RunProgram ("prog arg"), file manager ("show path")
    int projectState = -1;
    RNode* shownRoot = nullptr;
    RNode* shownFolder = nullptr;
    CColctNode* shownColct = nullptr;
    int pageClears = 0;
    std::vector<std::string> shownPages;  // page files shown; "" for an empty page
    std::vector<CUrlNode*> refreshedItems;
    CUrlNode* selectedItem = nullptr;
    // The progress dialog: titles and results of each run, and what the job
    // showed in it (status texts include the cancel texts).
    std::vector<std::string> progressTitles;
    std::vector<int> progressResults;
    std::vector<int> progressPositions;
    std::vector<std::string> progressTexts;
    // The tags window: every Show with its mode, the pages loaded, closes,
    // the questions of the text dialogs and the lists of the rename dialog.
    std::vector<int> tagsWindowShows;
    std::vector<std::string> tagsPages;
    int tagsWindowCloses = 0;
    std::vector<CTextQuestion> textQuestions;
    std::vector<std::vector<std::u16string>> renameLists;

    Texts MessageTexts() const
    {
        Texts texts;
        for (const auto& m : messages)
            texts.push_back(m.text);
        return texts;
    }

    int MessageBox(const std::u16string& text, const std::u16string& title, int buttons, int defaultAnswer) override
    {
        messages.push_back({Utf8(text), Utf8(title), buttons, defaultAnswer});
        if (buttons == MB_OK)
            return IDOK;
        return Next(answers, defaultAnswer, "question: " + Utf8(text));
    }
    bool Confirm(const CConfirmation& question) override
    {
        confirms.push_back(question);
        return Next(confirmations, false, "confirmation: " + Utf8(question.text)) && question.okEnabled;
    }
    bool AskFolderName(const std::u16string&, CNameRules& rules, std::u16string* name) override
    {
        return RunNameDialog(rules, name, true);
    }
    bool AskNewProjectPath(const std::u16string& startFolder, CNameRules& rules, std::u16string* path) override
    {
        dialogStarts.push_back(startFolder);
        return RunNameDialog(rules, path, false);
    }
    bool AskOpenProjectPath(const std::u16string& startFolder, std::u16string* path) override
    {
        dialogStarts.push_back(startFolder);
        *path = Next(openPaths, std::u16string(), "open dialog");
        return !path->empty();
    }

    void SetProjectState(bool open) override { projectState = open ? 1 : 0; }
    void SetWindowTitle(const std::u16string& title) override { titles.push_back(Utf8(title)); }
    void ShowTree(RNode* root, RNode* selected) override
    {
        shownRoot = root;
        shownFolder = selected;
    }
    void ShowCollection(CColctNode* colct) override { shownColct = colct; }
    void ClearPageView() override { ++pageClears; }

    bool GetPageDocument(std::string* bytes, int* codePage) override
    {
        *bytes = pageHtml;
        *codePage = pageCodePage;
        return hasDocument;
    }
    bool IsPageModified() override { return pageModified; }
    void SetPageModified(bool modified) override { pageModified = modified; }
    void ShowPage(const std::u16string& file) override { shownPages.push_back(Utf8(file)); }
    void ShowEmptyPage() override { shownPages.push_back(""); }
    std::u16string GetTitleText() override { return titleText; }
    void SetTitleText(const std::u16string& title) override { titleText = title; }
    void RefreshItem(CUrlNode* item) override { refreshedItems.push_back(item); }
    void SelectItem(CUrlNode* item) override { selectedItem = item; }
    // Starts the job and runs the posted tasks as the dialog's loop does,
    // until the job ends or the script cancels.
    int RunProgressDialog(CProgressTask& task) override
    {
        progressTitles.push_back(Utf8(task.GetTitle()));
        ProgressView view(*this);
        int result = task.Start(&view) ? RunDialogLoop(task, view) : int(CProgressTask::RESULT_FAILED);
        // As the dialog goes, the job is joined and its late reports cut off.
        task.CleanUp();
        progressResults.push_back(result);
        return result;
    }

    void ShowTagsWindow(int mode) override { tagsWindowShows.push_back(mode); }
    void LoadTagsPage(const std::u16string& html) override { tagsPages.push_back(Utf8(html)); }
    void CloseTagsWindow() override { ++tagsWindowCloses; }
    bool AskText(const CTextQuestion& question, CNameRules& rules, std::u16string* text) override
    {
        textQuestions.push_back(question);
        return RunNameDialog(rules, text, false);
    }
    bool AskTagRename(const std::u16string&, const std::vector<std::u16string>& entries,
                      CTagRenameRules& rules) override
    {
        renameLists.push_back(entries);
        auto tries = Next(renames, {}, std::string("rename dialog"));
        for (size_t i = 0; i < tries.size(); ++i) {
            auto [chosen, name] = tries[i];
            if (rules.OnRename(chosen, chosen >= 0 && size_t(chosen) < entries.size() ? entries[chosen] : u"", name)) {
                m_unusedTries += tries.size() - i - 1;
                return true;
            }
        }
        return false;
    }
    bool OpenUri(const std::u16string& uri) override { return Opened(Utf8(uri)); }
    bool RunProgram(const std::u16string& program, const std::u16string& argument) override
    {
        return Opened(Utf8(program) + " " + Utf8(argument));
    }
    void ShowInFileManager(const std::u16string& path) override { Opened("show " + Utf8(path)); }
    // From any thread: queued until the dialog's loop or RunPosted runs it.
    void Post(std::function<void()> task) override
    {
        std::lock_guard<std::mutex> hold(m_postLock);
        m_posted.push_back(std::move(task));
        m_postReady.notify_one();
    }
    // Runs what was posted so far, as the interface's loop would: the count.
    size_t RunPosted()
    {
        size_t count = 0;
        while (std::function<void()> task = TakePosted(std::chrono::seconds(0))) {
            task();
            ++count;
        }
        return count;
    }
    // Runs `count` posted tasks, waiting up to a minute for each: how many ran.
    size_t RunPosted(size_t count)
    {
        size_t ran = 0;
        for (; ran < count; ++ran) {
            std::function<void()> task = TakePosted(std::chrono::seconds(60));
            if (!task)
                break;
            task();
        }
        return ran;
    }
    [[noreturn]] void ExitProcess(int code) override { throw ScriptedExit{code}; }

private:
    struct ProgressView : CProgressView {
        explicit ProgressView(ScriptedUI& owner) : ui(owner) {}
        void OnProgressText(const std::u16string& text) override { ui.progressTexts.push_back(Utf8(text)); }
        void OnProgressPos(int position) override
        {
            ui.progressPositions.push_back(position);
            cancel = cancel || int(ui.progressPositions.size()) == ui.progressCancelAfter;
        }
        void OnProgressNoClose() override {}  // changes nothing here
        void OnProgressEnd(int value) override
        {
            result = value;
            ended = true;
        }
        ScriptedUI& ui;
        bool cancel = false;
        bool ended = false;
        int result = 0;
    };
    // The next posted task, waiting up to `wait`; empty when none came.
    std::function<void()> TakePosted(std::chrono::seconds wait)
    {
        std::unique_lock<std::mutex> hold(m_postLock);
        if (!m_postReady.wait_for(hold, wait, [this] { return !m_posted.empty(); }))
            return nullptr;
        std::function<void()> task = std::move(m_posted.front());
        m_posted.pop_front();
        return task;
    }
    int RunDialogLoop(CProgressTask& task, ProgressView& view)
    {
        auto cancel = [&] {
            return task.Cancel([this](const std::u16string& text) { progressTexts.push_back(Utf8(text)); });
        };
        while (!view.ended) {
            std::function<void()> posted = TakePosted(std::chrono::seconds(60));
            if (!posted) {
                ADD_FAILURE() << "the progress dialog waited in vain";
                return cancel();
            }
            posted();
            if (view.cancel)
                return cancel();
        }
        return view.result;
    }

    size_t m_unusedTries = 0;
    std::mutex m_postLock;
    std::condition_variable m_postReady;
    std::deque<std::function<void()>> m_posted;

    bool Opened(const std::string& what)
    {
        opened.push_back(what);
        return true;
    }
    template <typename T>
    static T Next(std::deque<T>& queue, T fallback, const std::string& what)
    {
        if (queue.empty()) {
            ADD_FAILURE() << "unexpected " << what;
            return fallback;
        }
        T value = queue.front();
        queue.pop_front();
        return value;
    }

    // Folder names are typed character by character, as a user would, so
    // the live rules see every edit; then each try is confirmed in turn.
    bool RunNameDialog(CNameRules& rules, std::u16string* out, bool typeByCharacter)
    {
        std::vector<std::u16string> tries = Next(names, {}, std::string("name dialog"));
        for (size_t i = 0; i < tries.size(); ++i) {
            std::u16string text = tries[i];
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
                m_unusedTries += tries.size() - i - 1;
                return true;
            }
        }
        return false;
    }
};
