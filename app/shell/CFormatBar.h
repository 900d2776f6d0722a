#pragma once

// The formatting toolbar above the page view: buttons for the Format and
// Insert menus' commands, a heading list, and clear formatting. Its toggles
// show the text at the caret, as the page reports it after each change of
// the selection. It works only while the view shows an editable page.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>
#include <vector>

class CPageCommands;

class CFormatBar {
public:
    // Carries out a menu command by its identifier.
    using CommandHook = std::function<void(int id)>;

    // `views` shows `page` while a page of the user's is on show; the
    // engine commands without a menu entry go to `commands`.
    CFormatBar(WebKitWebView* page, GtkStack* views, CPageCommands& commands, CommandHook run);
    ~CFormatBar();
    CFormatBar(const CFormatBar&) = delete;
    CFormatBar& operator=(const CFormatBar&) = delete;

    // The bar, for the window to place.
    GtkWidget* GetWidget() const { return m_pBar; }

private:
    struct SToggle {
        GtkWidget* button;
        size_t stateIndex;  // its flag in the page's report
    };

    GtkWidget* AddButton(int id, const char* icon, const std::string& label, const std::string& tooltip,
                         bool toggle);
    void AddHeadingList();
    // Asks the page for its state again, since a command at a caret
    // changes no selection.
    void RequestState();
    void ShowState(const std::string& state);
    void UpdateSensitive();

    static void OnClicked(GtkButton* button, gpointer self);
    static void OnHeadingChanged(GtkComboBox* combo, gpointer self);
    static void OnStateMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void OnViewChanged(GObject*, GParamSpec*, gpointer self);

    WebKitWebView* m_pPage;
    GtkStack* m_pViews;
    CPageCommands& m_commands;
    CommandHook m_run;
    WebKitUserContentManager* m_pContent = nullptr;
    WebKitUserScript* m_pScript = nullptr;
    GtkWidget* m_pBar = nullptr;
    GtkWidget* m_pHeading = nullptr;
    std::vector<GtkWidget*> m_buttons;
    std::vector<SToggle> m_toggles;
};
