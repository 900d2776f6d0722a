// The GTK port's dialogs, driven from the main loop as a user would answer
// them. Needs a display: run under xvfb-run.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/core/CProgressTask.h"
#include "app/background/CUpdateCheck.h"
#include "app/shell/CGtkUIPort.h"
#include "base/tools/CUnicodeTool.h"

namespace {

// The visible dialog on screen, or null.
GtkDialog* FindDialog()
{
    GtkDialog* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* it = windows; it; it = it->next)
        if (GTK_IS_DIALOG(it->data) && gtk_widget_get_visible(GTK_WIDGET(it->data)))
            found = GTK_DIALOG(it->data);
    g_list_free(windows);
    return found;
}

// Runs `answer` on the dialog once one is shown; the test fails when none
// comes within two seconds.
void WhenDialog(std::function<void(GtkDialog*)> answer)
{
    struct SWait {
        std::function<void(GtkDialog*)> answer;
        int ticks = 0;
    };
    g_timeout_add(20, +[](gpointer data) -> gboolean {
        auto* wait = static_cast<SWait*>(data);
        GtkDialog* dialog = FindDialog();
        if (!dialog && ++wait->ticks <= 100)
            return G_SOURCE_CONTINUE;
        if (dialog)
            wait->answer(dialog);
        else
            ADD_FAILURE() << "no dialog came";
        delete wait;
        return G_SOURCE_REMOVE;
    }, new SWait{std::move(answer)});
}

std::string ButtonLabel(GtkDialog* dialog, int response)
{
    GtkWidget* button = gtk_dialog_get_widget_for_response(dialog, response);
    return button ? gtk_button_get_label(GTK_BUTTON(button)) : "";
}

std::string Title(GtkDialog* dialog)
{
    const char* title = gtk_window_get_title(GTK_WINDOW(dialog));
    return title ? title : "";
}

GtkWidget* FindChild(GtkWidget* widget, GType type)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type))
        return widget;
    if (!GTK_IS_CONTAINER(widget))
        return nullptr;
    GtkWidget* found = nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* it = children; it && !found; it = it->next)
        found = FindChild(GTK_WIDGET(it->data), type);
    g_list_free(children);
    return found;
}

class GtkUIPortTest : public ::testing::Test {
protected:
    void SetUp() override { SetUIPort(&port); }
    CGtkUIPort port;
};

// Enter takes the default button; closing the box answers Cancel, else No,
// else OK.
TEST_F(GtkUIPortTest, MessageBoxShowsTextAndButtonsAndAnswersOnEnterOrClose)
{
    struct SCase {
        int buttons, def, closed;
        const char* labels[4];  // of OK, Cancel, Yes, No; "" when not shown
    };
    const SCase cases[] = {
        {MB_OK, IDOK, IDOK, {"OK", "", "", ""}},
        {MB_OKCANCEL, IDCANCEL, IDCANCEL, {"OK", "Cancel", "", ""}},
        {MB_YESNO, IDNO, IDNO, {"", "", "Yes", "No"}},
        {MB_YESNOCANCEL, IDYES, IDCANCEL, {"", "Cancel", "Yes", "No"}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.buttons);
        WhenDialog([&](GtkDialog* dialog) {
            EXPECT_EQ(Title(dialog), "Question");
            gchar* text = nullptr;
            g_object_get(dialog, "text", &text, nullptr);
            // Windows line ends lose their carriage return.
            EXPECT_STREQ(text, "Line one\nLine two");
            g_free(text);
            const int responses[] = {IDOK, IDCANCEL, IDYES, IDNO};
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(ButtonLabel(dialog, responses[i]), c.labels[i]) << responses[i];
            gtk_window_activate_default(GTK_WINDOW(dialog));
        });
        EXPECT_EQ(port.MessageBox(u"Line one\r\nLine two", u"Question", c.buttons, c.def), c.def);
        WhenDialog([](GtkDialog* dialog) { gtk_dialog_response(dialog, GTK_RESPONSE_DELETE_EVENT); });
        EXPECT_EQ(port.MessageBox(u"Close me", u"Zandrel", c.buttons, IDYES), c.closed);
    }
}

TEST_F(GtkUIPortTest, ConfirmationWithoutOKCannotBeConfirmed)
{
    CConfirmation question{u"Remove Folder", u"Do you want to remove it?", u"Root", false, u"Close"};
    WhenDialog([](GtkDialog* dialog) {
        EXPECT_EQ(Title(dialog), "Remove Folder");
        EXPECT_FALSE(gtk_widget_get_sensitive(gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_OK)));
        EXPECT_EQ(ButtonLabel(dialog, GTK_RESPONSE_CANCEL), "Close");
        gtk_dialog_response(dialog, GTK_RESPONSE_OK);
    });
    EXPECT_FALSE(port.Confirm(question));

    question.okEnabled = true;
    WhenDialog([](GtkDialog* dialog) { gtk_window_activate_default(GTK_WINDOW(dialog)); });
    EXPECT_TRUE(port.Confirm(question));
}

// Rules that take every "/" out while typing and refuse the first OK.
class SlashRules : public CNameRules {
public:
    void OnTextChanged(std::u16string& text) override
    {
        ++changes;
        std::erase(text, u'/');
    }
    bool OnOk(std::u16string& text) override
    {
        seen.push_back(text);
        return seen.size() > 1;
    }
    int changes = 0;
    std::vector<std::u16string> seen;
};

TEST_F(GtkUIPortTest, NameDialogAppliesTheRulesOnEveryEditAndStaysOpenUntilAccepted)
{
    SlashRules rules;
    WhenDialog([](GtkDialog* dialog) {
        GtkWidget* entry = FindChild(GTK_WIDGET(dialog), GTK_TYPE_ENTRY);
        ASSERT_NE(entry, nullptr);
        gtk_entry_set_text(GTK_ENTRY(entry), "Work/Notes");
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "WorkNotes");
        gtk_dialog_response(dialog, GTK_RESPONSE_OK);  // refused: the dialog stays
        WhenDialog([entry](GtkDialog* again) {
            gtk_entry_set_text(GTK_ENTRY(entry), "Plans");
            gtk_dialog_response(again, GTK_RESPONSE_OK);
        });
    });
    std::u16string name;
    ASSERT_TRUE(port.AskFolderName(u"Projects", rules, &name));
    EXPECT_EQ(name, u"Plans");
    EXPECT_EQ(rules.seen, (std::vector<std::u16string>{u"WorkNotes", u"Plans"}));
    EXPECT_GE(rules.changes, 2);

    SlashRules cancelled;
    WhenDialog([](GtkDialog* dialog) { gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL); });
    name = u"unchanged";
    EXPECT_FALSE(port.AskFolderName(u"Projects", cancelled, &name));
    EXPECT_EQ(name, u"unchanged");
    EXPECT_TRUE(cancelled.seen.empty());
}

// Records each rename as "chosen|entry|new name".
class RecordingRename : public CTagRenameRules {
public:
    bool OnRename(int chosen, const std::u16string& entry, const std::u16string& newName) override
    {
        calls.push_back(std::to_string(chosen) + "|" + U8(entry) + "|" + U8(newName));
        return true;
    }
    static std::string U8(const std::u16string& text) { return CUnicodeTool::ToUtf8(std::u16string_view(text)); }
    std::vector<std::string> calls;
};

TEST_F(GtkUIPortTest, TagRenameOffersTheFirstEntryAndPassesTheChoice)
{
    RecordingRename rules;
    WhenDialog([](GtkDialog* dialog) {
        EXPECT_EQ(Title(dialog), "Rename Tag");
        GtkWidget* combo = FindChild(GTK_WIDGET(dialog), GTK_TYPE_COMBO_BOX_TEXT);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)), 0);
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 1);
        // The combo has no entry of its own; the first plain entry is the new name.
        GtkWidget* entry = FindChild(GTK_WIDGET(dialog), GTK_TYPE_ENTRY);
        ASSERT_NE(entry, nullptr);
        gtk_entry_set_text(GTK_ENTRY(entry), "Travel");
        gtk_dialog_response(dialog, GTK_RESPONSE_OK);
    });
    EXPECT_TRUE(port.AskTagRename(u"Rename Tag", {u"holiday", u"trips"}, rules));
    EXPECT_EQ(rules.calls, std::vector<std::string>{"1|trips|Travel"});
}

// The dialog ends with the job's own result, or with Cancel, which stops
// the job.
TEST_F(GtkUIPortTest, ProgressDialogEndsWithTheJobOrOnCancel)
{
    for (bool ok : {true, false}) {
        CProgressTask done(u"Converting", true);
        done.SetJob([ok](CProgressRun& run) {
            run.SetStatusText(u"Half way");
            run.SetPos(50);
            return ok;
        });
        EXPECT_EQ(port.RunProgressDialog(done), ok ? CProgressTask::RESULT_OK : CProgressTask::RESULT_FAILED);
    }

    CProgressTask task(u"Converting", true);
    // Reports pile up on the loop faster than it runs them; those still
    // queued when the dialog goes must not reach it.
    task.SetJob([](CProgressRun& run) {
        for (int step = 0; !run.IsCancelled(); ++step) {
            run.SetPos(step % 100);
            run.SetStatusText(u"step");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    });
    WhenDialog([](GtkDialog* dialog) {
        EXPECT_EQ(Title(dialog), "Converting");
        gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    });
    EXPECT_EQ(port.RunProgressDialog(task), CProgressTask::RESULT_CANCELLED);
    EXPECT_FALSE(task.IsJobRunning()) << "joined when the dialog went";
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

TEST_F(GtkUIPortTest, TasksPostedFromAnotherThreadRunOnTheMainLoop)
{
    std::thread([&] { port.Post([] { CUpdateCheck::ShowNewVersionDialog(201, 1300); }); }).join();
    // Nothing shows until the loop runs; then the new-version question.
    EXPECT_EQ(FindDialog(), nullptr);
    bool asked = false;
    WhenDialog([&](GtkDialog* dialog) {
        asked = true;
        EXPECT_EQ(Title(dialog), "New Version for Update");
        gtk_dialog_response(dialog, IDCANCEL);
    });
    // Polled every 5 ms, for at most 30 s on a loaded machine.
    for (gint64 end = g_get_monotonic_time() + 30 * G_USEC_PER_SEC; !asked && g_get_monotonic_time() < end;)
        g_main_context_iteration(nullptr, FALSE), g_usleep(5000);
    EXPECT_TRUE(asked);
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "no display: run under xvfb-run\n");
        return 77;
    }
    return RUN_ALL_TESTS();
}
