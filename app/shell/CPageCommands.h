#pragma once

// The HTML engine's own commands of the menus on the page view: the
// formatting commands, colours, links, find and print.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

class CPageCommands {
public:
    // `edited` is called after a command changed the document.
    CPageCommands(GtkWindow* parent, WebKitWebView* view, std::function<void()> edited)
        : m_pParent(parent), m_pView(view), m_edited(std::move(edited))
    {
    }
    ~CPageCommands();
    CPageCommands(const CPageCommands&) = delete;
    CPageCommands& operator=(const CPageCommands&) = delete;

    // Runs `id` when it is one of these commands; `editable` says whether
    // the view shows a page the user may change. False for other commands.
    bool Run(int id, bool editable);

    // An engine command that no menu entry carries (the toolbar's heading
    // levels and clear formatting), with `argument` or null; the page is
    // then changed. Only for a page the user may change.
    void RunEditing(const char* command, const char* argument);

    // The editing command for a plain formatting entry, or null.
    static const char* GetEditingCommand(int id);
    // "#rrggbb" for a colour.
    static std::string ToHexColour(const GdkRGBA& colour);
    // Whether a typed link address may go into a page: not empty, no
    // script address, no control characters.
    static bool IsAcceptableLink(const std::string& address);

private:
    bool ChooseColour(const char* title, std::string* colour);
    void InsertLink();
    void ShowFind();
    void Print();

    GtkWindow* m_pParent;
    WebKitWebView* m_pView;
    std::function<void()> m_edited;
    GtkWidget* m_pFindDialog = nullptr;
};
