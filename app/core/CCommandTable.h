#pragma once

// Every entry of the main window's menu bar and of its context menus, as
// data: the window shell builds its menus and key bindings from it, and
// CMainCore::OnCommand reads it to know what it carries out itself. Also the
// addresses of the help pages and the version text of the about box.

#include <string>
#include <string_view>
#include <vector>

class CRecentPages;

// The menu an entry belongs to.
enum tagCOMMANDMENU : int {
    MENU_FILE = 0,
    MENU_EDIT,
    MENU_VIEW,
    MENU_INSERT,
    MENU_FORMAT,
    MENU_TOOLS,
    MENU_HELP,
    MENU_TROUBLESHOOTING,  // submenu of Help
    MENU_RECENT_PAGES,     // submenu of File, filled when it opens
    MENU_FOLDER_TREE,      // context menus from here on
    MENU_ITEM_LIST,
    MENU_RECENT_PROJECTS,
    MENU_FLAG,             // the flag menu of an item
    MENU_COUNT
};

// Which part of the program carries a command out.
enum tagCOMMANDOP : int {
    OP_NONE = 0,    // separators and submenus
    OP_CORE,        // CMainCore::OnCommand, end to end
    OP_SHELL_CORE,  // the shell supplies a selection, a choice or the page view, then calls the core
    OP_SHELL,       // the window itself: its state, panes and dialogs
    OP_ENGINE,      // the HTML engine's own command, or a text field's when it has the focus
};

enum tagENTRYKIND : int {
    ENTRY_COMMAND = 0,
    ENTRY_SEPARATOR,
    ENTRY_SUBMENU,
};

struct CMenuEntry {
    tagENTRYKIND kind = ENTRY_COMMAND;
    tagCOMMANDMENU menu = MENU_FILE;
    // 0 for separators and for a submenu without a command of its own.
    int id = 0;
    // As shown: "&" marks the mnemonic, "&&" is an ampersand, and the
    // shortcut text follows a "\t". Empty for separators.
    std::u16string caption;
    tagCOMMANDOP op = OP_NONE;
    // Without an open project OnCommand shows "No Project" and reports the
    // command as done, whichever part would carry it out.
    bool needsProject = false;
    // The menu a submenu entry opens.
    tagCOMMANDMENU submenu = MENU_COUNT;
    // GTK accelerator strings ("<Control>n") bound to this command. No key
    // is bound to two entries, so the shell binds each of them as it is.
    std::vector<std::string> accels;
    bool enabled = true;
};

class CCommandTable {
public:
    // Every command's identifier (the flag menu's are CPageMgr's
    // kFlagCommandBase + flag).
    enum : int {
        ID_NEW_PAGE = 32771,
        ID_NEW_FOLDER = 32792,
        ID_NEW_PROJECT = 32866,
        ID_OPEN_PROJECT = 32867,
        ID_CLOSE_PROJECT = 32868,
        ID_SAVE_PAGE = 57603,
        ID_PRINT_PREVIEW = 32786,
        ID_PRINT = 57607,
        ID_RECENT_PAGES = 32842,
        ID_EXIT = 57665,
        ID_UNDO = 57643,
        ID_REDO = 57644,
        ID_CUT = 57635,
        ID_COPY = 57634,
        ID_PASTE = 57637,
        ID_SELECT_ALL = 32810,
        ID_DELETE_SELECTION = 32811,
        ID_PASTE_PREFORMATTED = 32863,
        ID_FIND = 57636,
        ID_SEARCH_COLCTS = 32834,
        ID_MOVE_PAGE = 32839,
        ID_GO_BACK = 32824,
        ID_GO_FORWARD = 32825,
        ID_TABLE_BORDER = 32835,
        ID_STATUS_BAR = 59393,
        ID_FULL_SCREEN = 32858,
        ID_INSERT_TABLE = 32859,
        ID_INSERT_LINK = 32789,
        ID_INSERT_IMAGE = 32864,
        ID_BOLD = 32776,
        ID_ITALIC = 32777,
        ID_UNDERLINE = 32778,
        ID_STRIKE = 32779,
        ID_SUPERSCRIPT = 32780,
        ID_SUBSCRIPT = 32781,
        ID_FORE_COLOR = 32782,
        ID_BACK_COLOR = 32783,
        ID_HIGHLIGHT = 32784,
        ID_ALIGN_LEFT = 32785,
        ID_ALIGN_CENTER = 32849,
        ID_ALIGN_RIGHT = 32850,
        ID_NUMBER_LIST = 32851,
        ID_BULLET_LIST = 32820,
        ID_INDENT = 32821,
        ID_OUTDENT = 32822,
        ID_PAGE_COLOR = 32817,
        ID_STATISTICS = 32841,
        ID_PREFERENCES = 32833,
        ID_HELP_TUTORIAL = 32848,
        ID_HELP_SHORTCUTS = 32846,
        ID_HELP_FAQS = 32857,
        ID_HELP_WEB_SITE = 32847,
        ID_CONVERT_UTF8 = 32860,
        ID_ABOUT = 57664,
        ID_FOLDER_RENAME = 32804,
        ID_ITEM_OPEN_BROWSER = 32855,
        ID_ITEM_FIND_FILE = 32827,
        ID_ITEM_DELETE = 32828,
        ID_ITEM_RENAME = 32856,
        ID_ITEM_DESCRIPTION = 32829,
        ID_PROJECT_FIND_FOLDER = 32870,
        ID_PROJECT_REMOVE = 32869,
        ID_FOLDER_NEW = 32803,
        ID_FOLDER_SHOW = 32805,
        ID_FOLDER_REMOVE = 32807,
        ID_FOLDER_REFRESH = 32865,
        ID_TAG_IT = 32790,
        ID_TAGS_WINDOW = 32854,
        ID_REBUILD_TAGS = 32845,
        ID_EXPORT = 32880,  // ours: pages out of the project
        ID_NEW_PAGE_FROM_WEB = 32881,  // ours: capture of a web page
        ID_IMPORT_PAGES = 32882,       // ours: saved pages into the folder
        ID_IMPORT_FOLDER = 32883,      // ours: a directory tree of them
        ID_LINK_TO_PAGE = 32884,       // ours: a link to another page
        ID_CHECK_LINKS = 32885,        // ours: links to pages that are gone
        ID_PAGE_HISTORY = 32886,       // ours: earlier versions of the page
    };
    // Entries of the "Recent Pages" submenu: this + the entry's place in
    // the list, newest first.
    static constexpr int kRecentPageFirst = 33000;

    static constexpr char kWebSiteVariable[] = "ZANDREL_WEB_SITE";
    static constexpr char16_t kDefaultWebSite[] = u"https://zandrel.org";

    CCommandTable() = delete;

    // Every fixed entry, menu after menu, each menu in its order.
    static const std::vector<CMenuEntry>& GetEntries();
    // The entries of one menu in order; empty for the recent pages, which
    // GetRecentPagesMenu fills.
    static std::vector<const CMenuEntry*> GetMenu(tagCOMMANDMENU menu);
    // The command entry of `id`, or null (separators, the recent pages'
    // entries and unknown numbers).
    static const CMenuEntry* Find(int id);
    // "File" to "Help" for the menu bar; "" for submenus and context menus.
    static std::u16string GetMenuTitle(tagCOMMANDMENU menu);

    // One entry per recently opened page (read first when not yet read),
    // captioned with its title; a single disabled "Empty" when there is none.
    static std::vector<CMenuEntry> GetRecentPagesMenu(CRecentPages& recent);

    // The shortcut text of a caption: what follows its "\t", or "".
    static std::u16string GetShortcutText(std::u16string_view caption);
    // GTK accelerators for a shortcut text such as "Alt+N  or Ctrl+N" or
    // "Shift + Ctrl + W", modifiers in one fixed order; empty when a key
    // is not understood.
    static std::vector<std::string> ParseShortcut(std::u16string_view text);

    // The vendor's site: ZANDREL_WEB_SITE when set and not empty, else
    // kDefaultWebSite; without a trailing "/".
    static std::u16string GetWebSite();
    // The address a help command opens; "" for any other command.
    static std::u16string GetHelpUri(int id);

    // "Version %d.%d.%d   Build %d", the version written as three digits
    // (200 reads 2.0.0).
    static std::u16string FormatVersion(int version, int build);
    // The text for this program's version and build.
    static std::u16string GetVersionText();
};
