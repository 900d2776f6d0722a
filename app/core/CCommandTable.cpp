#include "app/core/CCommandTable.h"

#include <cstdio>
#include <cstdlib>

#include "app/core/CAppSettings.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageConverter.h"
#include "app/core/CPageMgr.h"
#include "app/core/CRecentPages.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNode.h"
#include "base/tools/CUnicodeTool.h"

namespace {

using T = CCommandTable;

constexpr bool kProject = true;
constexpr bool kAny = false;

struct RawEntry {
    tagENTRYKIND kind;
    tagCOMMANDMENU menu;
    int id;
    const char16_t* caption;
    tagCOMMANDOP op;
    bool needsProject;
    tagCOMMANDMENU submenu;
};

constexpr RawEntry Cmd(tagCOMMANDMENU menu, int id, const char16_t* caption, tagCOMMANDOP op, bool needsProject)
{
    return {ENTRY_COMMAND, menu, id, caption, op, needsProject, MENU_COUNT};
}
constexpr RawEntry Sep(tagCOMMANDMENU menu)
{
    return {ENTRY_SEPARATOR, menu, 0, u"", OP_NONE, false, MENU_COUNT};
}
constexpr RawEntry Sub(tagCOMMANDMENU menu, int id, const char16_t* caption, tagCOMMANDMENU submenu)
{
    return {ENTRY_SUBMENU, menu, id, caption, OP_NONE, false, submenu};
}

// Separators are ours: they split each menu into groups of related
// commands, keeping the entries in the order of the menu's design.
constexpr RawEntry kEntries[] = {
    Cmd(MENU_FILE, T::ID_NEW_PAGE, u"New Page\tAlt+N  or Ctrl+N", OP_CORE, kProject),
    Cmd(MENU_FILE, T::ID_NEW_FOLDER, u"New Folder\tCtrl + G", OP_CORE, kProject),
    Cmd(MENU_FILE, T::ID_NEW_PAGE_FROM_WEB, u"New Page from Web Address...", OP_SHELL, kProject),
    Sep(MENU_FILE),
    Cmd(MENU_FILE, T::ID_NEW_PROJECT, u"New Project...", OP_CORE, kAny),
    Cmd(MENU_FILE, T::ID_OPEN_PROJECT, u"Open Project...\tCtrl + O", OP_CORE, kAny),
    Cmd(MENU_FILE, T::ID_CLOSE_PROJECT, u"Close Project\tShift + Ctrl + W", OP_CORE, kAny),
    Sep(MENU_FILE),
    Cmd(MENU_FILE, T::ID_SAVE_PAGE, u"Save Page", OP_CORE, kProject),
    Cmd(MENU_FILE, T::ID_PAGE_HISTORY, u"Page History...", OP_SHELL, kProject),
    Sep(MENU_FILE),
    Cmd(MENU_FILE, T::ID_PRINT_PREVIEW, u"Print Preview", OP_ENGINE, kAny),
    Cmd(MENU_FILE, T::ID_PRINT, u"Print\tCtrl+P", OP_ENGINE, kAny),
    Sep(MENU_FILE),
    Cmd(MENU_FILE, T::ID_IMPORT_PAGES, u"Import Pages...", OP_SHELL, kProject),
    Cmd(MENU_FILE, T::ID_IMPORT_FOLDER, u"Import Folder...", OP_SHELL, kProject),
    Cmd(MENU_FILE, T::ID_EXPORT, u"Export...", OP_SHELL, kProject),
    Sep(MENU_FILE),
    Sub(MENU_FILE, T::ID_RECENT_PAGES, u"Recent Pages", MENU_RECENT_PAGES),
    Sep(MENU_FILE),
    Cmd(MENU_FILE, T::ID_EXIT, u"E&xit", OP_SHELL, kAny),

    Cmd(MENU_EDIT, T::ID_UNDO, u"&Undo\tCtrl+Z", OP_ENGINE, kAny),
    Cmd(MENU_EDIT, T::ID_REDO, u"Redo\tCtrl+Y", OP_ENGINE, kAny),
    Sep(MENU_EDIT),
    Cmd(MENU_EDIT, T::ID_CUT, u"Cu&t\tCtrl+X", OP_ENGINE, kAny),
    Cmd(MENU_EDIT, T::ID_COPY, u"&Copy\tCtrl+C", OP_ENGINE, kAny),
    Cmd(MENU_EDIT, T::ID_PASTE, u"&Paste\tCtrl+V", OP_ENGINE, kAny),
    Cmd(MENU_EDIT, T::ID_SELECT_ALL, u"Select All\tCtrl+A", OP_ENGINE, kAny),
    Cmd(MENU_EDIT, T::ID_DELETE_SELECTION, u"Delete Selection\tDel", OP_ENGINE, kAny),
    Cmd(MENU_EDIT, T::ID_PASTE_PREFORMATTED, u"Paste Preformatted Text\tCtrl+Y", OP_SHELL_CORE, kAny),
    Sep(MENU_EDIT),
    Cmd(MENU_EDIT, T::ID_FIND, u"Find in this Page...\tCtrl+F", OP_ENGINE, kAny),
    Cmd(MENU_EDIT, T::ID_SEARCH_COLCTS, u"Search Collections...\tCtrl+E", OP_SHELL, kAny),
    Sep(MENU_EDIT),
    Cmd(MENU_EDIT, T::ID_MOVE_PAGE, u"Move Page\tCtrl+M", OP_SHELL_CORE, kProject),
    // Without a page it says so itself, project or not.
    Cmd(MENU_EDIT, T::ID_TAG_IT, u"Add Tags && Description\tCtrl+T", OP_CORE, kAny),

    Cmd(MENU_VIEW, T::ID_GO_BACK, u"Go Back", OP_ENGINE, kAny),
    Cmd(MENU_VIEW, T::ID_GO_FORWARD, u"Go Forward", OP_ENGINE, kAny),
    Sep(MENU_VIEW),
    Cmd(MENU_VIEW, T::ID_TABLE_BORDER, u"Show Table Border\tCtrl+O", OP_ENGINE, kAny),
    Cmd(MENU_VIEW, T::ID_STATUS_BAR, u"&Tags Status Bar", OP_SHELL, kAny),
    Sep(MENU_VIEW),
    Cmd(MENU_VIEW, T::ID_TAGS_WINDOW, u"Open Tags Window\tCtrl+R", OP_CORE, kProject),
    Sep(MENU_VIEW),
    Cmd(MENU_VIEW, T::ID_FULL_SCREEN, u"Full Screen\tF11", OP_SHELL, kAny),

    Cmd(MENU_INSERT, T::ID_INSERT_TABLE, u"Table", OP_SHELL_CORE, kAny),
    Cmd(MENU_INSERT, T::ID_INSERT_LINK, u"Link", OP_ENGINE, kAny),
    Cmd(MENU_INSERT, T::ID_LINK_TO_PAGE, u"Link to Page...\tShift+Ctrl+K", OP_SHELL, kProject),
    Cmd(MENU_INSERT, T::ID_INSERT_IMAGE, u"Image", OP_SHELL_CORE, kAny),

    // The captions in their order take the identifiers in theirs: 32776 to
    // 32785, 32849 to 32851, 32820 to 32822, then 32817.
    Cmd(MENU_FORMAT, T::ID_BOLD, u"Bold\tCtrl+B", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_ITALIC, u"Italic\tCtrl+I", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_UNDERLINE, u"Underline\tCtrl+U", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_STRIKE, u"Strike through", OP_ENGINE, kAny),
    Sep(MENU_FORMAT),
    Cmd(MENU_FORMAT, T::ID_SUPERSCRIPT, u"Superscript", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_SUBSCRIPT, u"Subscript", OP_ENGINE, kAny),
    Sep(MENU_FORMAT),
    Cmd(MENU_FORMAT, T::ID_FORE_COLOR, u"Foreground Color", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_BACK_COLOR, u"Background Color", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_HIGHLIGHT, u"Highlight Text", OP_ENGINE, kAny),
    Sep(MENU_FORMAT),
    Cmd(MENU_FORMAT, T::ID_ALIGN_LEFT, u"Left", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_ALIGN_CENTER, u"Center", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_ALIGN_RIGHT, u"Right", OP_ENGINE, kAny),
    Sep(MENU_FORMAT),
    Cmd(MENU_FORMAT, T::ID_NUMBER_LIST, u"Number List", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_BULLET_LIST, u"Bullet List", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_INDENT, u"Increase Indent", OP_ENGINE, kAny),
    Cmd(MENU_FORMAT, T::ID_OUTDENT, u"Decrease Indent", OP_ENGINE, kAny),
    Sep(MENU_FORMAT),
    Cmd(MENU_FORMAT, T::ID_PAGE_COLOR, u"Page Background Color...", OP_ENGINE, kAny),

    Cmd(MENU_TOOLS, T::ID_STATISTICS, u"Show Statistics", OP_SHELL, kAny),
    Cmd(MENU_TOOLS, T::ID_CHECK_LINKS, u"Check Links", OP_SHELL, kProject),
    Sep(MENU_TOOLS),
    Cmd(MENU_TOOLS, T::ID_PREFERENCES, u"Zandrel Preferences", OP_SHELL_CORE, kAny),

    Cmd(MENU_HELP, T::ID_HELP_TUTORIAL, u"Zandrel Tutorial", OP_CORE, kAny),
    Cmd(MENU_HELP, T::ID_HELP_SHORTCUTS, u"Keyboard Shortcuts", OP_CORE, kAny),
    Cmd(MENU_HELP, T::ID_HELP_FAQS, u"Frequently Asked Questions", OP_CORE, kAny),
    Cmd(MENU_HELP, T::ID_HELP_WEB_SITE, u"Zandrel Web Site", OP_CORE, kAny),
    Sep(MENU_HELP),
    Sub(MENU_HELP, 0, u"Trouble Shooting", MENU_TROUBLESHOOTING),
    Sep(MENU_HELP),
    Cmd(MENU_HELP, T::ID_ABOUT, u"&About Korvel Zandrel", OP_SHELL, kAny),

    Cmd(MENU_TROUBLESHOOTING, T::ID_REBUILD_TAGS, u"Rebuild Tag List", OP_CORE, kProject),
    Cmd(MENU_TROUBLESHOOTING, T::ID_CONVERT_UTF8, CPageConverter::kCommandText, OP_CORE, kProject),

    // On the current folder; the shell selects the folder it was opened on.
    Cmd(MENU_FOLDER_TREE, T::ID_FOLDER_NEW, u"New Folder", OP_CORE, kProject),
    Cmd(MENU_FOLDER_TREE, T::ID_FOLDER_RENAME, u"Rename", OP_SHELL_CORE, kProject),
    Cmd(MENU_FOLDER_TREE, T::ID_FOLDER_SHOW, u"Find this Folder", OP_CORE, kProject),
    Sep(MENU_FOLDER_TREE),
    Cmd(MENU_FOLDER_TREE, T::ID_FOLDER_REMOVE, u"Remove Folder", OP_CORE, kProject),
    Sep(MENU_FOLDER_TREE),
    Cmd(MENU_FOLDER_TREE, T::ID_FOLDER_REFRESH, u"Refresh", OP_CORE, kProject),

    Cmd(MENU_ITEM_LIST, T::ID_ITEM_OPEN_BROWSER, u"Open this Page in Browser", OP_SHELL_CORE, kProject),
    Cmd(MENU_ITEM_LIST, T::ID_ITEM_FIND_FILE, u"Find this Page File", OP_SHELL_CORE, kProject),
    Sep(MENU_ITEM_LIST),
    Cmd(MENU_ITEM_LIST, T::ID_ITEM_DELETE, u"Delete", OP_SHELL_CORE, kProject),
    Sep(MENU_ITEM_LIST),
    Cmd(MENU_ITEM_LIST, T::ID_ITEM_RENAME, u"Rename this Page", OP_SHELL_CORE, kProject),
    Cmd(MENU_ITEM_LIST, T::ID_ITEM_DESCRIPTION, u"Description", OP_SHELL_CORE, kProject),

    Cmd(MENU_RECENT_PROJECTS, T::ID_PROJECT_FIND_FOLDER, u"Find this project folder", OP_SHELL_CORE, kAny),
    Cmd(MENU_RECENT_PROJECTS, T::ID_PROJECT_REMOVE, u"Remove from recent list", OP_SHELL_CORE, kAny),
};

// Keys that two captions show reach one command only. Ctrl+O opens a
// project, as on every desktop; table borders keep their menu entry.
// Ctrl+Y is the editor's key for preformatted text, a command with no other
// way in from the keyboard; Redo keeps its menu entry.
struct SharedKey {
    const char* accel;
    int owner;
};
constexpr SharedKey kSharedKeys[] = {
    {"<Control>o", T::ID_OPEN_PROJECT},
    {"<Control>y", T::ID_PASTE_PREFORMATTED},
};

// Keys the captions do not show. Users expect Ctrl+S to save.
struct ExtraKey {
    int id;
    const char* accel;
};
constexpr ExtraKey kExtraKeys[] = {
    {T::ID_SAVE_PAGE, "<Control>s"},
};

std::vector<std::string> MakeAccels(int id, const std::u16string& caption)
{
    std::vector<std::string> accels;
    for (std::string& accel : CCommandTable::ParseShortcut(CCommandTable::GetShortcutText(caption))) {
        bool other = false;
        for (const SharedKey& key : kSharedKeys)
            other = other || (accel == key.accel && id != key.owner);
        if (!other)
            accels.push_back(std::move(accel));
    }
    for (const ExtraKey& key : kExtraKeys) {
        if (key.id == id)
            accels.push_back(key.accel);
    }
    return accels;
}

std::vector<CMenuEntry> BuildEntries()
{
    std::vector<CMenuEntry> entries;
    for (const RawEntry& raw : kEntries) {
        CMenuEntry entry;
        entry.kind = raw.kind;
        entry.menu = raw.menu;
        entry.id = raw.id;
        entry.caption = raw.caption;
        entry.op = raw.op;
        entry.needsProject = raw.needsProject;
        entry.submenu = raw.submenu;
        if (raw.kind == ENTRY_COMMAND)
            entry.accels = MakeAccels(raw.id, entry.caption);
        entries.push_back(std::move(entry));
    }
    // The flag menu: its rows are the page manager's.
    for (const CPageMgr::CFlagEntry& row : CPageMgr::GetFlagTable()) {
        CMenuEntry entry;
        entry.menu = MENU_FLAG;
        entry.id = row.command;
        entry.caption = row.text ? row.text : u"";
        entry.op = OP_SHELL_CORE;
        entry.needsProject = kProject;
        entries.push_back(std::move(entry));
        if (row.flag == 0) {
            CMenuEntry separator;
            separator.kind = ENTRY_SEPARATOR;
            separator.menu = MENU_FLAG;
            entries.push_back(std::move(separator));
        }
    }
    return entries;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// One key combination such as "Shift+Ctrl+W"; "" when not understood.
std::string ParseChord(const std::string& chord)
{
    enum { SHIFT = 1, CONTROL = 2, ALT = 4 };
    int modifiers = 0;
    std::string key;
    size_t start = 0;
    for (;;) {
        size_t plus = chord.find('+', start);
        std::string part = chord.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        if (plus == std::string::npos) {
            key = part;
            break;
        }
        std::string lower;
        for (char c : part)
            lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower == "ctrl" || lower == "control")
            modifiers |= CONTROL;
        else if (lower == "shift")
            modifiers |= SHIFT;
        else if (lower == "alt")
            modifiers |= ALT;
        else
            return "";
        start = plus + 1;
    }

    std::string name;
    if (key.size() == 1 && ((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= 'a' && key[0] <= 'z')))
        name = char(key[0] | 0x20);
    else if (key.size() == 1 && key[0] >= '0' && key[0] <= '9')
        name = key;
    else if (key == "Del" || key == "Delete")
        name = "Delete";
    else if (key.size() >= 2 && key.size() <= 3 && key[0] == 'F' && key.find_first_not_of("0123456789", 1) == std::string::npos &&
             std::atoi(key.c_str() + 1) >= 1 && std::atoi(key.c_str() + 1) <= 24)
        name = key;
    else
        return "";

    std::string accel;
    if (modifiers & SHIFT)
        accel += "<Shift>";
    if (modifiers & CONTROL)
        accel += "<Control>";
    if (modifiers & ALT)
        accel += "<Alt>";
    return accel + name;
}

// A title as a caption: an ampersand stays one, and a tab cannot start a
// shortcut text.
std::u16string AsCaption(const char16_t* text)
{
    std::u16string caption;
    for (const char16_t* p = text; p && *p; ++p) {
        if (*p == u'&')
            caption += u"&&";
        else
            caption += *p == u'\t' ? u' ' : *p;
    }
    return caption;
}

}  // namespace

const std::vector<CMenuEntry>& CCommandTable::GetEntries()
{
    static const std::vector<CMenuEntry> entries = BuildEntries();
    return entries;
}

std::vector<const CMenuEntry*> CCommandTable::GetMenu(tagCOMMANDMENU menu)
{
    std::vector<const CMenuEntry*> entries;
    for (const CMenuEntry& entry : GetEntries()) {
        if (entry.menu == menu)
            entries.push_back(&entry);
    }
    return entries;
}

const CMenuEntry* CCommandTable::Find(int id)
{
    if (id == 0)
        return nullptr;
    for (const CMenuEntry& entry : GetEntries()) {
        if (entry.id == id && entry.kind == ENTRY_COMMAND)
            return &entry;
    }
    return nullptr;
}

std::u16string CCommandTable::GetMenuTitle(tagCOMMANDMENU menu)
{
    static const char16_t* const titles[] = {u"File", u"Edit", u"View", u"Insert", u"Format", u"Tools", u"Help"};
    return menu >= MENU_FILE && menu <= MENU_HELP ? titles[menu] : u"";
}

std::vector<CMenuEntry> CCommandTable::GetRecentPagesMenu(CRecentPages& recent)
{
    // Read without a project, the list would count as read, empty, once
    // one opens.
    bool open = !CAppSettings::Get()->GetUserFolder().GetCurrentContentPath().empty();
    if (open && !recent.IsLoaded())
        recent.Load();
    std::vector<CMenuEntry> entries;
    int place = 0;
    for (RNode* r = recent.GetFirst(); r; r = r->GetNext(), ++place) {
        CUrlNode* item = CRecentPages::GetItem(r);
        if (!item)
            continue;
        CMenuEntry entry;
        entry.menu = MENU_RECENT_PAGES;
        entry.id = kRecentPageFirst + place;
        entry.caption = AsCaption(item->GetName());
        entry.op = OP_SHELL_CORE;
        entry.needsProject = true;
        entries.push_back(std::move(entry));
    }
    if (entries.empty()) {
        CMenuEntry empty;
        empty.menu = MENU_RECENT_PAGES;
        empty.id = ID_RECENT_PAGES;
        empty.caption = u"Empty";
        empty.enabled = false;
        entries.push_back(std::move(empty));
    }
    return entries;
}

std::u16string CCommandTable::GetShortcutText(std::u16string_view caption)
{
    size_t tab = caption.find(u'\t');
    return tab == std::u16string_view::npos ? std::u16string() : std::u16string(caption.substr(tab + 1));
}

std::vector<std::string> CCommandTable::ParseShortcut(std::u16string_view text)
{
    // Words apart from "or" are glued, so "Ctrl + G" reads as "Ctrl+G".
    std::vector<std::string> chords(1);
    std::string bytes = CUnicodeTool::ToUtf8(text);
    size_t i = 0;
    while (i < bytes.size()) {
        if (IsBlank(bytes[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < bytes.size() && !IsBlank(bytes[end]))
            ++end;
        std::string word = bytes.substr(i, end - i);
        if (word == "or")
            chords.emplace_back();
        else
            chords.back() += word;
        i = end;
    }
    std::vector<std::string> accels;
    for (const std::string& chord : chords) {
        std::string accel = ParseChord(chord);
        if (accel.empty())
            return {};
        accels.push_back(accel);
    }
    return accels;
}

std::u16string CCommandTable::GetWebSite()
{
    const char* set = std::getenv(kWebSiteVariable);
    std::u16string site = set && *set ? CUnicodeTool::FromUtf8(set) : std::u16string(kDefaultWebSite);
    while (!site.empty() && site.back() == u'/')
        site.pop_back();
    return site.empty() ? std::u16string(kDefaultWebSite) : site;
}

std::u16string CCommandTable::GetHelpUri(int id)
{
    const char16_t* path = nullptr;
    switch (id) {
    case ID_HELP_TUTORIAL:
        path = u"/zandrel/tutorial/";
        break;
    case ID_HELP_SHORTCUTS:
        path = u"/zandrel/shortcuts/";
        break;
    case ID_HELP_FAQS:
        path = u"/zandrel/faqs/";
        break;
    case ID_HELP_WEB_SITE:
        path = u"/zandrel/help/";
        break;
    default:
        return u"";
    }
    return GetWebSite() + path;
}

std::u16string CCommandTable::FormatVersion(int version, int build)
{
    char text[96];
    std::snprintf(text, sizeof(text), "Version %d.%d.%d   Build %d", version / 100, version % 100 / 10, version % 10,
                  build);
    return CUnicodeTool::FromUtf8(text);
}

std::u16string CCommandTable::GetVersionText()
{
    return FormatVersion(CAppSettings::kVersion, CAppSettings::kBuild);
}
