#include "app/capture/CCaptureCommand.h"

#include <memory>
#include <optional>

#include "app/capture/CCapture.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CProgressTask.h"
#include "app/core/CUIPort.h"
#include "base/model/CColctNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

constexpr char16_t kTitle[] = u"New Page from Web Address";
constexpr char16_t kFailedText[] = u"The page could not be captured:\r\n";
constexpr char16_t kPartlyText[] = u"These parts of the page could not be fetched and still point at the web:\r\n";
constexpr char16_t kBusyText[] = u"Please wait until the capture on its way has finished.";
// More lines would not fit a message box.
constexpr size_t kMaxListed = 15;

// Addresses dropped on the window still arrive while the progress dialog
// runs; one capture at a time.
bool s_running = false;

// The address is checked, and the staging folder made, when the user
// confirms; a bad address keeps the dialog open.
class CAddressRules : public CNameRules {
public:
    CAddressRules(CFolderTreeMgr& tree, RNode* folder) : m_tree(tree), m_folder(folder) {}
    bool OnOk(std::u16string& text) override
    {
        std::u16string error;
        plan = CCapture::Prepare(m_tree, m_folder, text, &error);
        if (!plan)
            ShowMessage(error, kTitle);
        return plan.has_value();
    }
    std::optional<CCapture::CPlan> plan;

private:
    CFolderTreeMgr& m_tree;
    RNode* m_folder;
};

struct Job {
    CCapture::CPlan plan;
    CCapture::CResult result;
};

std::u16string FailureList(const std::vector<CCapture::CFailure>& failed)
{
    std::u16string text = kPartlyText;
    for (size_t i = 0; i < failed.size() && i < kMaxListed; ++i)
        text += CUnicodeTool::FromUtf8(failed[i].url + " (" + failed[i].reason + ")\r\n");
    if (failed.size() > kMaxListed)
        text += CUnicodeTool::FromUtf8("and " + std::to_string(failed.size() - kMaxListed) + " more\r\n");
    return text;
}

}  // namespace

CUrlNode* CCaptureCommand::Run(CFolderTreeMgr& tree, RNode* folder, const std::u16string& url, CColctNode** colct)
{
    if (s_running) {
        ShowMessage(kBusyText, kTitle);
        return nullptr;
    }
    CAddressRules rules(tree, folder);
    std::u16string address = url;
    if (url.empty()) {
        CTextQuestion question{kTitle, u"Web address of the page:", u"Capture"};
        if (!UIPort().AskText(question, rules, &address))
            return nullptr;
    } else if (!rules.OnOk(address)) {
        return nullptr;
    }

    auto job = std::make_shared<Job>();
    job->plan = *rules.plan;
    CProgressTask task(u"Capturing", true);
    task.SetJob(
        [](CProgressRun& run) {
            Job& work = *run.GetArg<Job>();
            work.result = CCapture::Fetch(
                work.plan, {},
                [&run](int done, int total) { run.SetPos(total > 0 ? done * 100 / total : 0); },
                run.GetStopToken());
            return work.result.state == CCapture::DONE;
        },
        job);
    s_running = true;
    int ended = UIPort().RunProgressDialog(task);
    s_running = false;
    // The dialog joined the job: its result is ours to read.
    if (ended == CProgressTask::RESULT_CANCELLED || job->result.state != CCapture::DONE) {
        CCapture::Discard(tree, folder, job->plan);
        if (ended != CProgressTask::RESULT_CANCELLED && job->result.state == CCapture::FAILED)
            ShowMessage(kFailedText + job->result.error, kTitle);
        return nullptr;
    }
    std::u16string title;
    std::u16string error;
    if (!CCapture::Commit(tree, folder, job->plan, job->result, &title, &error)) {
        ShowMessage(kFailedText + error, kTitle);
        return nullptr;
    }
    if (!job->result.failed.empty())
        ShowMessage(FailureList(job->result.failed), kTitle);
    CColctNode* pages = tree.EnsureColct(folder);
    for (RNode* r = pages ? pages->GetFirstRNode() : nullptr; r; r = r->GetNext()) {
        if (r->GetType() == NT_URL && CStringTool::EqualNoCase(r->GetData()->GetName(), title.c_str())) {
            *colct = pages;
            return static_cast<CUrlNode*>(r->GetData());
        }
    }
    return nullptr;
}
