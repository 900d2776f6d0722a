#include "app/shell/CGtkUIPort.h"

#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>

#include "app/core/CProgressTask.h"
#include "app/shell/CGtkText.h"
#include "app/shell/CMainWindow.h"
#include "app/shell/CTagsWindow.h"

namespace {

// The progress dialog while it runs: the job's reports reach it here.
struct SProgressState : public CProgressView {
    CProgressTask* task = nullptr;
    GtkWidget* dialog = nullptr;
    GtkWidget* bar = nullptr;
    GtkWidget* status = nullptr;
    GtkWidget* cancel = nullptr;
    bool closeDisabled = false;
    bool ended = false;
    int result = CProgressTask::RESULT_CANCELLED;

    void OnProgressText(const std::u16string& text) override
    {
        if (!ended)
            gtk_label_set_text(GTK_LABEL(status), U8(text).c_str());
    }
    void OnProgressPos(int position) override
    {
        if (ended)
            return;
        double fraction = static_cast<double>(position) / 100.0;
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fraction > 1.0 ? 1.0 : fraction < 0.0 ? 0.0 : fraction);
    }
    void OnProgressNoClose() override
    {
        if (ended)
            return;
        closeDisabled = true;
        gtk_widget_set_sensitive(cancel, FALSE);
        gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
    }
    void OnProgressEnd(int value) override
    {
        if (ended)
            return;
        result = value;
        ended = true;
    }
};

// Keeps a dialog running until a handler of its own says it may close.
struct SNameDialog {
    CNameRules* rules = nullptr;
    GtkWidget* entry = nullptr;
    gulong changedId = 0;
};

void OnNameChanged(GtkEditable* editable, gpointer data)
{
    auto* state = static_cast<SNameDialog*>(data);
    std::u16string text = U16(gtk_entry_get_text(GTK_ENTRY(editable)));
    std::u16string before = text;
    state->rules->OnTextChanged(text);
    if (text != before) {
        // The rules took something out again; put the text back without
        // coming here a second time.
        g_signal_handler_block(editable, state->changedId);
        gtk_entry_set_text(GTK_ENTRY(editable), U8(text).c_str());
        gtk_editable_set_position(editable, -1);
        g_signal_handler_unblock(editable, state->changedId);
    }
}

GtkWidget* AddLabel(GtkWidget* box, const std::string& text, bool wrap)
{
    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), wrap);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    return label;
}

GtkWidget* NewDialog(GtkWindow* parent, const std::string& title)
{
    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(content), 12);
    gtk_box_set_spacing(GTK_BOX(content), 8);
    return dialog;
}

}  // namespace

CGtkUIPort::~CGtkUIPort() = default;

GtkWindow* CGtkUIPort::Parent() const
{
    // Messages of a command from the tags window belong over it.
    if (GtkWindow* tags = m_pTags ? m_pTags->GetActiveWindow() : nullptr)
        return tags;
    return m_pWindow ? m_pWindow->GetWindow() : nullptr;
}

GtkWindow* CGtkUIPort::TagsParent() const
{
    GtkWindow* tags = m_pTags ? m_pTags->GetShownWindow() : nullptr;
    return tags ? tags : Parent();
}

int CGtkUIPort::AnswerForClose(int buttons)
{
    switch (buttons) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return IDNO;
    default:
        return IDOK;
    }
}

int CGtkUIPort::MessageBox(const std::u16string& text, const std::u16string& title, int buttons,
                           int defaultAnswer)
{
    GtkMessageType type = buttons == MB_OK ? GTK_MESSAGE_INFO : GTK_MESSAGE_QUESTION;
    GtkWidget* dialog = gtk_message_dialog_new(Parent(), GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s",
                                               U8Text(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), U8(title).c_str());
    switch (buttons) {
    case MB_OKCANCEL:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "OK", IDOK, "Cancel", IDCANCEL, nullptr);
        break;
    case MB_YESNO:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "Yes", IDYES, "No", IDNO, nullptr);
        break;
    case MB_YESNOCANCEL:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "Yes", IDYES, "No", IDNO, "Cancel", IDCANCEL, nullptr);
        break;
    default:
        gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", IDOK);
        break;
    }
    if (gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), defaultAnswer)) {
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), defaultAnswer);
        gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), defaultAnswer));
    }
    int answer = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    if (answer != IDOK && answer != IDCANCEL && answer != IDYES && answer != IDNO)
        answer = AnswerForClose(buttons);
    return answer;
}

bool CGtkUIPort::Confirm(const CConfirmation& question)
{
    GtkWidget* dialog = NewDialog(Parent(), U8(question.title));
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    AddLabel(content, U8Text(question.text), true);
    GtkWidget* name = AddLabel(content, U8(question.name), false);
    gtk_label_set_selectable(GTK_LABEL(name), TRUE);
    GtkWidget* ok = gtk_dialog_add_button(GTK_DIALOG(dialog), U8(question.okCaption).c_str(), GTK_RESPONSE_OK);
    gtk_dialog_add_button(GTK_DIALOG(dialog), U8(question.cancelCaption).c_str(), GTK_RESPONSE_CANCEL);
    gtk_widget_set_sensitive(ok, question.okEnabled);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), question.okEnabled ? GTK_RESPONSE_OK : GTK_RESPONSE_CANCEL);
    gtk_widget_show_all(dialog);
    bool yes = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK && question.okEnabled;
    gtk_widget_destroy(dialog);
    return yes;
}

bool CGtkUIPort::AskName(const std::string& title, const std::string& prompt, const std::string& okCaption,
                         CNameRules& rules, std::u16string* text, GtkWindow* parent)
{
    GtkWidget* dialog = NewDialog(parent ? parent : Parent(), title);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    if (!prompt.empty())
        AddLabel(content, prompt, true);
    SNameDialog state;
    state.rules = &rules;
    state.entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(state.entry), 40);
    gtk_entry_set_activates_default(GTK_ENTRY(state.entry), TRUE);
    if (text && !text->empty())
        gtk_entry_set_text(GTK_ENTRY(state.entry), U8(*text).c_str());
    gtk_box_pack_start(GTK_BOX(content), state.entry, FALSE, FALSE, 0);
    state.changedId = g_signal_connect(state.entry, "changed", G_CALLBACK(OnNameChanged), &state);
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), okCaption.c_str(), GTK_RESPONSE_OK, "Cancel", GTK_RESPONSE_CANCEL,
                           nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_widget_show_all(dialog);

    bool accepted = false;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        std::u16string value = U16(gtk_entry_get_text(GTK_ENTRY(state.entry)));
        if (rules.OnOk(value)) {
            if (text)
                *text = value;
            accepted = true;
            break;
        }
        gtk_widget_grab_focus(state.entry);
    }
    gtk_widget_destroy(dialog);
    return accepted;
}

bool CGtkUIPort::AskFolderName(const std::u16string& parentName, CNameRules& rules, std::u16string* name)
{
    return AskName("New Folder", U8(parentName), "OK", rules, name);
}

bool CGtkUIPort::ChooseProjectFile(bool save, const std::u16string& startFolder, CNameRules* rules,
                                   std::u16string* path)
{
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        save ? "New Project" : "Open Project", Parent(),
        save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "Cancel", GTK_RESPONSE_CANCEL,
        save ? "Save" : "Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
    GtkFileFilter* project = gtk_file_filter_new();
    gtk_file_filter_set_name(project, "Zandrel Project Files (*.zand)");
    gtk_file_filter_add_pattern(project, "*.zand");
    gtk_file_chooser_add_filter(files, project);
    GtkFileFilter* all = gtk_file_filter_new();
    gtk_file_filter_set_name(all, "All Files (*.*)");
    gtk_file_filter_add_pattern(all, "*");
    gtk_file_chooser_add_filter(files, all);
    gtk_file_chooser_set_filter(files, project);
    if (!startFolder.empty())
        gtk_file_chooser_set_current_folder(files, U8(startFolder).c_str());
    if (save)
        gtk_file_chooser_set_do_overwrite_confirmation(files, TRUE);

    bool accepted = false;
    while (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        char* chosen = gtk_file_chooser_get_filename(files);
        std::u16string value = U16(chosen);
        g_free(chosen);
        if (value.empty())
            continue;
        // The default extension, as the project filter implies.
        if (save && value.find(u'.', value.rfind(u'/') + 1) == std::u16string::npos)
            value += u".zand";
        if (!rules || rules->OnOk(value)) {
            *path = value;
            accepted = true;
            break;
        }
    }
    gtk_widget_destroy(chooser);
    return accepted;
}

bool CGtkUIPort::AskNewProjectPath(const std::u16string& startFolder, CNameRules& rules, std::u16string* path)
{
    return ChooseProjectFile(true, startFolder, &rules, path);
}

bool CGtkUIPort::AskOpenProjectPath(const std::u16string& startFolder, std::u16string* path)
{
    return ChooseProjectFile(false, startFolder, nullptr, path);
}

// --- views

void CGtkUIPort::SetProjectState(bool open)
{
    if (m_pWindow)
        m_pWindow->SetProjectState(open);
}

void CGtkUIPort::SetWindowTitle(const std::u16string& title)
{
    if (m_pWindow)
        m_pWindow->SetWindowTitle(title);
}

void CGtkUIPort::ShowTree(RNode* root, RNode* selected)
{
    if (m_pWindow)
        m_pWindow->ShowTree(root, selected);
}

void CGtkUIPort::SelectFolder(RNode* folder)
{
    if (m_pWindow)
        m_pWindow->SelectFolderRow(folder);
}

void CGtkUIPort::ShowCollection(CColctNode* colct)
{
    if (m_pWindow)
        m_pWindow->ShowCollection(colct);
}

void CGtkUIPort::ClearPageView()
{
    if (m_pWindow)
        m_pWindow->ClearPageView();
}

bool CGtkUIPort::GetPageDocument(std::string* bytes, int* codePage)
{
    return m_pWindow && m_pWindow->GetPageDocument(bytes, codePage);
}

bool CGtkUIPort::IsPageModified()
{
    return m_pWindow && m_pWindow->IsPageModified();
}

void CGtkUIPort::SetPageModified(bool modified)
{
    if (m_pWindow)
        m_pWindow->SetPageModified(modified);
}

void CGtkUIPort::ShowPage(const std::u16string& file)
{
    if (m_pWindow)
        m_pWindow->ShowPage(file);
}

void CGtkUIPort::ShowEmptyPage()
{
    if (m_pWindow)
        m_pWindow->ShowEmptyPage();
}

std::u16string CGtkUIPort::GetTitleText()
{
    return m_pWindow ? m_pWindow->GetTitleText() : std::u16string();
}

void CGtkUIPort::SetTitleText(const std::u16string& title)
{
    if (m_pWindow)
        m_pWindow->SetTitleText(title);
}

void CGtkUIPort::RefreshItem(CUrlNode* item)
{
    if (m_pWindow)
        m_pWindow->RefreshItem(item);
}

void CGtkUIPort::SelectItem(CUrlNode* item)
{
    if (m_pWindow)
        m_pWindow->SelectItem(item);
}

// --- progress dialog

namespace {

void ShowProgressStatus(SProgressState* state, const std::u16string& text)
{
    gtk_label_set_text(GTK_LABEL(state->status), U8(text).c_str());
    // Let the new text be drawn while the cancel waits.
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

void CancelProgress(SProgressState* state)
{
    if (state->ended)
        return;
    state->closeDisabled = true;
    gtk_widget_set_sensitive(state->cancel, FALSE);
    state->result = state->task->Cancel([state](const std::u16string& text) { ShowProgressStatus(state, text); });
    state->ended = true;
    gtk_dialog_response(GTK_DIALOG(state->dialog), GTK_RESPONSE_CLOSE);
}

void OnProgressResponse(GtkDialog*, int response, gpointer data)
{
    auto* state = static_cast<SProgressState*>(data);
    if (response == GTK_RESPONSE_CANCEL && !state->closeDisabled)
        CancelProgress(state);
}

gboolean OnProgressDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    auto* state = static_cast<SProgressState*>(data);
    if (!state->closeDisabled && state->task->IsCancelAllowed())
        CancelProgress(state);
    return TRUE;  // the dialog goes when the run has ended, never before
}

}  // namespace

int CGtkUIPort::RunProgressDialog(CProgressTask& task)
{
    SProgressState state;
    state.task = &task;
    state.dialog = NewDialog(Parent(), U8(task.GetTitle()));
    gtk_window_set_deletable(GTK_WINDOW(state.dialog), task.IsCancelAllowed());
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(state.dialog));
    state.status = AddLabel(content, "", false);
    state.bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(state.bar, 320, -1);
    gtk_box_pack_start(GTK_BOX(content), state.bar, FALSE, FALSE, 0);
    state.cancel = gtk_dialog_add_button(GTK_DIALOG(state.dialog), "Cancel", GTK_RESPONSE_CANCEL);
    gtk_widget_set_sensitive(state.cancel, task.IsCancelAllowed());
    g_signal_connect(state.dialog, "response", G_CALLBACK(OnProgressResponse), &state);
    g_signal_connect(state.dialog, "delete-event", G_CALLBACK(OnProgressDelete), &state);
    gtk_widget_show_all(state.dialog);

    if (!task.Start(&state)) {
        state.result = CProgressTask::RESULT_FAILED;
        state.ended = true;
    }
    while (!state.ended)
        gtk_main_iteration();
    // Reports still queued must not reach this dialog once it is gone.
    task.CleanUp();
    gtk_widget_destroy(state.dialog);
    return state.result;
}

// --- desktop services

bool CGtkUIPort::OpenUri(const std::u16string& uri)
{
    GError* error = nullptr;
    bool opened = g_app_info_launch_default_for_uri(U8(uri).c_str(), nullptr, &error);
    if (error) {
        // The user asked for it: the window says why nothing opened.
        g_printerr("Zandrel: cannot open %s: %s\n", U8(uri).c_str(), error->message);
        ShowMessage(u"Can not open the following address:\r\n" + uri + u"\r\n\r\n" + U16(error->message));
        g_error_free(error);
    }
    return opened;
}

bool CGtkUIPort::RunProgram(const std::u16string& program, const std::u16string& argument)
{
    std::string exe = U8(program);
    std::string arg = U8(argument);
    char* argv[] = {exe.data(), arg.empty() ? nullptr : arg.data(), nullptr};
    GError* error = nullptr;
    bool started = g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, &error);
    if (error) {
        g_printerr("Zandrel: cannot start %s: %s\n", exe.c_str(), error->message);
        ShowMessage(u"Can not start the following program:\r\n" + program + u"\r\n\r\n" + U16(error->message));
        g_error_free(error);
    }
    return started;
}

void CGtkUIPort::ShowInFileManager(const std::u16string& path)
{
    GFile* file = g_file_new_for_path(U8(path).c_str());
    char* uri = g_file_get_uri(file);
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    bool shown = false;
    if (bus) {
        const char* uris[] = {uri, nullptr};
        GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
            "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &error);
        if (reply) {
            g_variant_unref(reply);
            shown = true;
        }
        g_clear_error(&error);
        g_object_unref(bus);
    }
    if (!shown) {
        // No file manager answers on the bus: open the folder instead.
        GFile* parent = g_file_query_file_type(file, G_FILE_QUERY_INFO_NONE, nullptr) == G_FILE_TYPE_DIRECTORY
                            ? G_FILE(g_object_ref(file))
                            : g_file_get_parent(file);
        if (parent) {
            char* folder = g_file_get_uri(parent);
            OpenUri(U16(folder));
            g_free(folder);
            g_object_unref(parent);
        }
    }
    g_free(uri);
    g_object_unref(file);
}

// --- tags window

void CGtkUIPort::ShowTagsWindow(int mode)
{
    if (m_pTags)
        m_pTags->Show(mode);
}

void CGtkUIPort::LoadTagsPage(const std::u16string& html)
{
    if (m_pTags)
        m_pTags->LoadPage(html);
}

void CGtkUIPort::CloseTagsWindow()
{
    if (m_pTags)
        m_pTags->Close();
}

bool CGtkUIPort::AskText(const CTextQuestion& question, CNameRules& rules, std::u16string* text)
{
    return AskName(U8(question.title), U8Text(question.prompt),
                   question.okCaption.empty() ? "OK" : U8(question.okCaption), rules, text, TagsParent());
}

bool CGtkUIPort::AskTagRename(const std::u16string& title, const std::vector<std::u16string>& entries,
                              CTagRenameRules& rules)
{
    GtkWidget* dialog = NewDialog(TagsParent(), U8(title));
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    AddLabel(content, "Current tag", false);
    GtkWidget* combo = gtk_combo_box_text_new();
    for (const std::u16string& entry : entries)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), U8(entry).c_str());
    if (!entries.empty())
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
    gtk_box_pack_start(GTK_BOX(content), combo, FALSE, FALSE, 0);
    AddLabel(content, "New tag", false);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_box_pack_start(GTK_BOX(content), entry, FALSE, FALSE, 0);
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), "Rename tag", GTK_RESPONSE_OK, "Cancel", GTK_RESPONSE_CANCEL,
                           nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(entry);

    bool renamed = false;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        int chosen = gtk_combo_box_get_active(GTK_COMBO_BOX(combo));
        std::u16string chosenText = chosen >= 0 && chosen < static_cast<int>(entries.size()) ? entries[chosen] : u"";
        if (rules.OnRename(chosen, chosenText, U16(gtk_entry_get_text(GTK_ENTRY(entry))))) {
            renamed = true;
            break;
        }
    }
    gtk_widget_destroy(dialog);
    return renamed;
}

// --- messages

void CGtkUIPort::Post(std::function<void()> task)
{
    // An idle source is safe to add from any thread and always runs later
    // on the main loop. A source removed unrun (its loop gone) still frees
    // the task through the destroy function.
    auto* held = new std::function<void()>(std::move(task));
    g_idle_add_full(G_PRIORITY_DEFAULT, &CGtkUIPort::OnPosted, held,
                    [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

gboolean CGtkUIPort::OnPosted(gpointer data)
{
    auto& task = *static_cast<std::function<void()>*>(data);
    if (task)
        task();
    return G_SOURCE_REMOVE;
}

void CGtkUIPort::ExitProcess(int code)
{
    std::fflush(nullptr);
    std::_Exit(code);
}
