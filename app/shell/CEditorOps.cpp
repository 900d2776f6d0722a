#include "app/shell/CEditorOps.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "app/core/CCommandTable.h"
#include "app/core/CEditorMarkup.h"
#include "app/core/CEditorText.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/main/CMainCore.h"
#include "app/core/CPageMgr.h"
#include "app/core/CTraceLog.h"
#include "app/core/CUIPort.h"
#include "app/shell/CGtkText.h"
#include "app/main/CPageLinkMgr.h"
#include "app/shell/CImageDialog.h"
#include "app/shell/CLinkDialogs.h"
#include "app/shell/CPageCommands.h"
#include "base/model/CUrlNode.h"
#include "base/tools/CBaseTool.h"
#include "base/tools/CHtmlEscape.h"
#include "base/tools/CStringTool.h"

namespace {

using T = CCommandTable;

// How long a question to the page may take before the window goes on.

// Separators of the lists the page's scripts hand back.
constexpr char kFieldMark = '\x01';
constexpr char kItemMark = '\x02';

std::vector<std::string> Split(const std::string& text, char mark)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(mark, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

// The selection's parent element and its ancestors, inside out, as tag
// and class pairs.
constexpr char kChainScript[] = R"JS((function() {
  var s = window.getSelection();
  if (!s.rangeCount) return '';
  var e = s.getRangeAt(0).commonAncestorContainer;
  if (e.nodeType !== 1) e = e.parentElement;
  var out = [];
  for (; e; e = e.parentElement)
    out.push(e.tagName + '\x01' + (typeof e.className === 'string' ? e.className : ''));
  return out.join('\x02');
})())JS";

// Ctrl+click on a link names it to the window (the identifier of the page
// it links to, then its address); a plain click edits as before.
constexpr char kLinkScript[] = R"JS((function() {
  document.addEventListener('click', function(e) {
    if (!e.ctrlKey || !e.target || !e.target.closest) return;
    var a = e.target.closest('a[href]');
    if (!a) return;
    e.preventDefault();
    e.stopPropagation();
    window.webkit.messageHandlers.zandrelLink.postMessage(
      (a.getAttribute('data-zandrel-page') || '') + '\x01' + a.href);
  }, true);
})())JS";

// Enter inside one of our preformatted blocks breaks the line inside it.
// The page decides and acts on the key itself, in turn with the keys typed
// around it; asking from the window would let later keys overtake it.
constexpr char kEnterScript[] = R"JS((function() {
document.addEventListener('keydown', function(e) {
  if (e.key !== 'Enter' || e.ctrlKey || e.isComposing || !document.body.isContentEditable) return;
  var s = window.getSelection();
  if (!s.rangeCount) return;
  var block = s.getRangeAt(0).commonAncestorContainer;
  if (block.nodeType !== 1) block = block.parentElement;
  while (block && !(block.tagName === 'PRE' && block.className === 'krv_pre')) block = block.parentElement;
  var wrap = block && block.parentElement;
  if (!wrap || wrap.tagName !== 'DIV' || String(wrap.className).toLowerCase() !== 'krv_pre_wrap') return;
  e.preventDefault();
  var r = s.getRangeAt(0);
  r.deleteContents();
  var line = document.createTextNode('\n');
  r.insertNode(line);
  r.setStartAfter(line);
  r.collapse(true);
  s.removeAllRanges();
  s.addRange(r);
  window.webkit.messageHandlers.zandrelTable.postMessage('edited');
}, true);
})();)JS";

constexpr char kHasSelectionScript[] = R"JS((function() {
  var s = window.getSelection();
  return s.rangeCount > 0 && document.body && document.body.contains(s.getRangeAt(0).commonAncestorContainer)
      ? '1' : '';
})())JS";

// Links dropped from outside become a message to the window instead of a
// navigation or the engine's own insertion: the address, the title a
// browser gave with it, and the drop position. Drags inside the page (an
// image or a link moved) stay the engine's.
constexpr char kDropScript[] = R"JS((function() {
var inside = false;
document.addEventListener('dragstart', function() { inside = true; }, true);
document.addEventListener('dragend', function() { inside = false; }, true);
document.addEventListener('drop', function(e) {
  var dt = e.dataTransfer;
  if (!dt || inside) return;
  var list = dt.getData('text/uri-list');
  if (!list) return;
  var urls = list.split(/\r?\n/).filter(function(l) { return l && l[0] !== '#'; });
  if (!urls.length) return;
  var title = '';
  var html = dt.getData('text/html');
  if (html) {
    var a = new DOMParser().parseFromString(html, 'text/html').querySelector('a');
    if (a) title = a.textContent;
  }
  e.preventDefault();
  e.stopPropagation();
  window.webkit.messageHandlers.zandrelDrop.postMessage(
      urls[0] + '\x01' + title + '\x01' + e.clientX + '\x01' + e.clientY);
}, true);
})();)JS";

// Table editing in the page. window.zandrelTable(op, fromMenu) works on the
// cell of the caret, or with fromMenu on the cell the context menu was
// opened on; it answers '' outside a table, '1' when the caret moved and
// '2' when the table changed. Tab is handled in the page, after the keys
// typed before it, so text never lands in the wrong cell. A context menu
// tells the window whether it was opened on a cell before the menu shows.
constexpr char kTableScript[] = R"JS((function() {
function cellOf(n) {
  if (n && n.nodeType !== 1) n = n.parentElement;
  n = n && n.closest('td, th');
  return n && document.body.contains(n) ? n : null;
}
function blank(like, keepSpan) {
  var c = like.cloneNode(false);
  c.removeAttribute('id');
  c.removeAttribute('rowspan');
  if (!keepSpan) c.removeAttribute('colspan');
  c.appendChild(document.createTextNode('\u00a0'));
  return c;
}
function rowLike(row) {
  var r = row.cloneNode(false);
  r.removeAttribute('id');
  for (var i = 0; i < row.cells.length; ++i) r.appendChild(blank(row.cells[i], true));
  return r;
}
// Typing replaces what the cell holds, as in other editors.
function go(cell, select) {
  var r = document.createRange();
  r.selectNodeContents(cell);
  if (!select) r.collapse(true);
  var s = window.getSelection();
  s.removeAllRanges();
  s.addRange(r);
}
function near(row, index) {
  return row.cells[Math.min(index, row.cells.length - 1)];
}
function dropTable(table) {
  var r = document.createRange();
  r.setStartBefore(table);
  table.remove();
  var s = window.getSelection();
  s.removeAllRanges();
  s.addRange(r);
  return '2';
}
window.zandrelTable = function(op, fromMenu) {
  var s = window.getSelection();
  var cell = fromMenu ? cellOf(window.zandrelMenuCell) : null;
  if (!cell && s.rangeCount) cell = cellOf(s.getRangeAt(0).startContainer);
  if (op === 'first') {
    // The table Insert Table just put before the caret.
    var at = s.rangeCount ? s.getRangeAt(0) : null;
    var t = at && at.startContainer.childNodes[at.startOffset - 1];
    if (!t || t.tagName !== 'TABLE' || !t.rows.length || !t.rows[0].cells.length) return '';
    go(t.rows[0].cells[0], true);
    return '1';
  }
  if (!cell) return '';
  var row = cell.parentElement, table = row.closest('table'), column = cell.cellIndex, i;
  var cells = [];
  for (i = 0; i < table.rows.length; ++i)
    cells.push.apply(cells, table.rows[i].cells);
  var index = cells.indexOf(cell), last = table.rows[table.rows.length - 1];
  switch (op) {
  case 'next':
    if (index + 1 < cells.length) { go(cells[index + 1], true); return '1'; }
    var added = rowLike(last);
    last.parentNode.insertBefore(added, last.nextSibling);
    go(added.cells[0], true);
    return '2';
  case 'previous':
    if (index > 0) go(cells[index - 1], true);
    return '1';
  case 'rowAbove':
  case 'rowBelow':
    var fresh = rowLike(row);
    row.parentNode.insertBefore(fresh, op === 'rowAbove' ? row : row.nextSibling);
    go(near(fresh, column), true);
    return '2';
  case 'columnLeft':
  case 'columnRight':
    var mine = null;
    for (i = 0; i < table.rows.length; ++i) {
      var r = table.rows[i];
      if (!r.cells.length) continue;
      // A shorter row gets its cell at the end.
      var ref = r.cells[column] || null;
      var c = blank(ref || r.cells[r.cells.length - 1], false);
      r.insertBefore(c, !ref ? null : op === 'columnLeft' ? ref : ref.nextSibling);
      if (r === row) mine = c;
    }
    if (mine) go(mine, true);
    return '2';
  case 'deleteRow':
    if (table.rows.length === 1) return dropTable(table);
    var stay = table.rows[row.rowIndex + 1] || table.rows[row.rowIndex - 1];
    row.remove();
    go(near(stay, column), false);
    return '2';
  case 'deleteColumn':
    var rows = Array.prototype.slice.call(table.rows);
    for (i = 0; i < rows.length; ++i) {
      if (column < rows[i].cells.length) rows[i].cells[column].remove();
      if (!rows[i].cells.length) rows[i].remove();
    }
    if (!table.rows.length) return dropTable(table);
    go(near(row.parentNode ? row : table.rows[0], column), false);
    return '2';
  case 'deleteTable':
    return dropTable(table);
  }
  return '';
};
document.addEventListener('keydown', function(e) {
  // Shift+Tab may come as another key than 'Tab', with the same code.
  if ((e.key !== 'Tab' && e.keyCode !== 9) || e.ctrlKey || e.altKey || e.metaKey) return;
  if (!document.body.isContentEditable) return;
  var done = window.zandrelTable(e.shiftKey ? 'previous' : 'next', false);
  if (!done) return;
  e.preventDefault();
  if (done === '2') window.webkit.messageHandlers.zandrelTable.postMessage('edited');
}, true);
document.addEventListener('contextmenu', function(e) {
  window.zandrelMenuCell = cellOf(e.target);
  window.webkit.messageHandlers.zandrelTable.postMessage(window.zandrelMenuCell ? 'cell' : 'nocell');
}, true);
})();)JS";

// After a paste the caret is inside the last pasted element, perhaps a
// list item: it moves after the pasted block, the child of the nearest
// element that holds blocks, so a note added there follows the block.
constexpr char kAfterBlockScript[] = R"JS((function() {
  var s = window.getSelection();
  if (!s.rangeCount) return;
  var holder = /^(BODY|TD|TH|DIV|BLOCKQUOTE|SECTION|ARTICLE|MAIN|ASIDE|HEADER|FOOTER|NAV|FIGURE|DD|FORM|FIELDSET|CENTER)$/;
  var n = s.getRangeAt(0).endContainer;
  if (n.nodeType === 1 && holder.test(n.tagName)) return;
  while (n.parentNode && !(n.parentNode.nodeType === 1 && holder.test(n.parentNode.tagName)))
    n = n.parentNode;
  if (!n.parentNode) return;
  var r = document.createRange();
  r.setStartAfter(n);
  s.removeAllRanges();
  s.addRange(r);
})())JS";

// Points the page's images at a downloaded copy: every src, poster and
// srcset candidate that names `url` gets `local`. Called as
// (kPointAtCopyScript)(url, local).
constexpr char kPointAtCopyScript[] = R"JS((function(url, local) {
  function swap(list) {
    var parts = list.split(','), hit = false;
    for (var i = 0; i < parts.length; ++i) {
      var m = /^(\s*)(\S+)([\s\S]*)$/.exec(parts[i]);
      if (m && m[2] === url) { parts[i] = m[1] + local + m[3]; hit = true; }
    }
    return hit ? parts.join(',') : null;
  }
  document.querySelectorAll('img, source, input, video').forEach(function(e) {
    ['src', 'poster'].forEach(function(name) {
      var value = e.getAttribute(name);
      if (value !== null && value.trim() === url) e.setAttribute(name, local);
    });
    var set = e.getAttribute('srcset');
    var swapped = set && swap(set);
    if (swapped) e.setAttribute('srcset', swapped);
  });
}))JS";

// Puts a fragment of the program's own in place of the selection as it is
// written, with the caret after it; the engine's insertHTML would restyle
// it. False without a selection.
std::string InsertScript(std::u16string_view html)
{
    return R"JS((function(h) {
  var s = window.getSelection();
  if (!s.rangeCount) return '';
  var r = s.getRangeAt(0);
  r.deleteContents();
  var f = r.createContextualFragment(h);
  var last = f.lastChild;
  r.insertNode(f);
  if (last) {
    r.setStartAfter(last);
    r.collapse(true);
    s.removeAllRanges();
    s.addRange(r);
  }
  return '1';
})()JS" + CHtmlEscape::ScriptString(html) + ")";
}

// The context menu's entries on a table cell, each an operation of
// kTableScript; null splits the groups.
struct STableEntry {
    const char* label;
    const char* op;
};
constexpr STableEntry kTableEntries[] = {
    {"Insert Row Above", "rowAbove"},
    {"Insert Row Below", "rowBelow"},
    {"Insert Column Left", "columnLeft"},
    {"Insert Column Right", "columnRight"},
    {nullptr, nullptr},
    {"Delete Row", "deleteRow"},
    {"Delete Column", "deleteColumn"},
    {"Delete Table", "deleteTable"},
};

}  // namespace

CEditorOps::CEditorOps(CMainCore& core, GtkWindow* parent, WebKitWebView* view, CHost host)
    : m_core(core), m_pParent(parent), m_pView(view), m_host(std::move(host))
{
    m_pContent = webkit_web_view_get_user_content_manager(m_pView);
    g_object_ref(m_pContent);
    webkit_user_content_manager_register_script_message_handler(m_pContent, "zandrelDrop");
    g_signal_connect(m_pContent, "script-message-received::zandrelDrop", G_CALLBACK(&CEditorOps::OnDropMessage), this);
    webkit_user_content_manager_register_script_message_handler(m_pContent, "zandrelTable");
    g_signal_connect(m_pContent, "script-message-received::zandrelTable", G_CALLBACK(&CEditorOps::OnTableMessage),
                     this);
    webkit_user_content_manager_register_script_message_handler(m_pContent, "zandrelLink");
    g_signal_connect(m_pContent, "script-message-received::zandrelLink", G_CALLBACK(&CEditorOps::OnLinkMessage), this);
    for (const char* source : {kDropScript, kTableScript, kEnterScript, kLinkScript}) {
        WebKitUserScript* script = webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                          WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, nullptr, nullptr);
        webkit_user_content_manager_add_script(m_pContent, script);
        webkit_user_script_unref(script);
    }
    m_pPasteAction = g_simple_action_new("zandrel-paste", nullptr);
    g_signal_connect(m_pPasteAction, "activate", G_CALLBACK(&CEditorOps::OnPasteAction), this);
    m_pTableAction = g_simple_action_new("zandrel-table", G_VARIANT_TYPE_STRING);
    g_signal_connect(m_pTableAction, "activate", G_CALLBACK(&CEditorOps::OnTableAction), this);
    // The worker's news goes to the main loop, which may run it after this
    // object has gone: hence the token instead of `this`.
    m_pPasteImages = std::make_unique<CPasteImages>([alive = m_pAlive] {
        g_idle_add(+[](gpointer data) -> gboolean {
            auto* token = static_cast<std::shared_ptr<CEditorOps*>*>(data);
            if (CEditorOps* ops = **token)
                ops->ApplyPastedImages();
            delete token;
            return G_SOURCE_REMOVE;
        }, new std::shared_ptr<CEditorOps*>(alive));
    });
}

CEditorOps::~CEditorOps()
{
    *m_pAlive = nullptr;
    DropPastedImages();
    g_signal_handlers_disconnect_by_data(m_pContent, this);
    g_signal_handlers_disconnect_by_data(m_pView, this);
    g_signal_handlers_disconnect_by_data(m_pPasteAction, this);
    g_signal_handlers_disconnect_by_data(m_pTableAction, this);
    webkit_user_content_manager_unregister_script_message_handler(m_pContent, "zandrelDrop");
    webkit_user_content_manager_unregister_script_message_handler(m_pContent, "zandrelTable");
    webkit_user_content_manager_unregister_script_message_handler(m_pContent, "zandrelLink");
    if (m_pBorderStyle)
        webkit_user_style_sheet_unref(m_pBorderStyle);
    g_object_unref(m_pPasteAction);
    g_object_unref(m_pTableAction);
    g_object_unref(m_pContent);
}

bool CEditorOps::Run(int id, bool focused)
{
    switch (id) {
    case T::ID_PASTE:
        // Elsewhere the window's own routing decides.
        if (!focused || !m_host.isUserPage())
            return false;
        Paste();
        return true;
    case T::ID_PASTE_PREFORMATTED:
        if (m_host.isUserPage())
            PastePreformatted();
        return true;
    case T::ID_INSERT_IMAGE:
        if (m_host.isUserPage())
            InsertImage();
        return true;
    case T::ID_INSERT_TABLE:
        if (m_host.isUserPage())
            InsertTable();
        return true;
    case T::ID_TABLE_BORDER:
        ShowTableBorders(!m_bBorders);
        return true;
    default:
        return false;
    }
}

// --- scripts

std::optional<std::string> CEditorOps::Evaluate(const std::string& script, int seconds)
{
    // Owned by whoever finishes last: this call, or the reply after a wait
    // that gave up.
    struct SResult {
        bool done = false;
        bool abandoned = false;
        std::optional<std::string> text;
    };
    auto* result = new SResult;
    webkit_web_view_evaluate_javascript(
        m_pView, script.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* view, GAsyncResult* res, gpointer data) {
            auto* out = static_cast<SResult*>(data);
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), res, nullptr);
            if (value) {
                if (jsc_value_is_string(value)) {
                    char* text = jsc_value_to_string(value);
                    out->text = text ? text : "";
                    g_free(text);
                } else {
                    out->text = "";
                }
                g_object_unref(value);
            }
            out->done = true;
            if (out->abandoned)
                delete out;
        },
        result);
    bool late = false;
    guint guard = g_timeout_add_seconds(seconds, +[](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
    }, &late);
    while (!result->done && !late)
        g_main_context_iteration(nullptr, TRUE);
    if (!late)
        g_source_remove(guard);
    if (!result->done) {
        result->abandoned = true;
        return std::nullopt;
    }
    std::optional<std::string> text = std::move(result->text);
    delete result;
    return text;
}

void CEditorOps::EvaluateLater(const std::string& script)
{
    webkit_web_view_evaluate_javascript(m_pView, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void CEditorOps::InsertHtml(const std::u16string& html)
{
    EvaluateLater(InsertScript(html));
    m_host.edited();
}

// --- paste

std::optional<std::string> CEditorOps::ReadClipboard(const char* target)
{
    GtkClipboard* clipboard = gtk_widget_get_clipboard(GTK_WIDGET(m_pView), GDK_SELECTION_CLIPBOARD);
    GdkAtom atom = gdk_atom_intern(target, FALSE);
    if (!gtk_clipboard_wait_is_target_available(clipboard, atom))
        return std::nullopt;
    GtkSelectionData* data = gtk_clipboard_wait_for_contents(clipboard, atom);
    if (!data)
        return std::nullopt;
    std::optional<std::string> bytes;
    int length = gtk_selection_data_get_length(data);
    if (length >= 0)
        bytes = std::string(reinterpret_cast<const char*>(gtk_selection_data_get_data(data)),
                            static_cast<size_t>(length));
    gtk_selection_data_free(data);
    return bytes;
}

void CEditorOps::Paste()
{
    std::optional<std::string> html = ReadClipboard(CEditorMarkup::kHtmlTarget);
    if (!html) {
        if (!PasteClipboardImage())
            webkit_web_view_execute_editing_command(m_pView, WEBKIT_EDITING_COMMAND_PASTE);
        return;
    }
    std::u16string source;
    for (const char* target : {CEditorMarkup::kMozSourceTarget, CEditorMarkup::kChromiumSourceTarget}) {
        if (std::optional<std::string> bytes = ReadClipboard(target)) {
            source = CEditorMarkup::GetSourceAddress(*bytes);
            if (!source.empty())
                break;
        }
    }
    std::u16string fragment = CEditorMarkup::DecodeClipboardText(*html);
    std::optional<std::u16string> note = CEditorText::GetSourceNote(CEditorMarkup::BuildHtmlFormat(fragment, source));
    CPasteImages::CPlan plan = CPasteImages::Plan(U8(fragment), U8(source));
    // The copies go beside the page's file. Without a folder for them the
    // HTML is still pasted, its images left on the web.
    bool savedFirst = false;
    std::u16string assets = plan.urls.empty() ? std::u16string() : PrepareAssetsFolder(&savedFirst);
    // The copied HTML goes through the engine's paste, which cleans it up;
    // the note follows the pasted block.
    EvaluateLater("document.execCommand('insertHTML', false, " +
                  CHtmlEscape::ScriptString(CUnicodeTool::FromUtf8(plan.fragment)) + ");");
    if (note) {
        EvaluateLater(kAfterBlockScript);
        EvaluateLater(InsertScript(*note));
    }
    m_host.edited();
    if (!assets.empty())
        m_pPasteImages->Fetch(assets, plan.urls);
    if (savedFirst)
        ShowAtPageFile();
}

bool CEditorOps::PasteClipboardImage()
{
    static constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";
    // A PNG as it was offered, else whatever picture GTK can read, as PNG.
    std::optional<std::string> png = ReadClipboard("image/png");
    if (png && png->compare(0, kPngSignature.size(), kPngSignature) != 0)
        png.reset();
    GtkClipboard* clipboard = gtk_widget_get_clipboard(GTK_WIDGET(m_pView), GDK_SELECTION_CLIPBOARD);
    if (!png && gtk_clipboard_wait_is_image_available(clipboard)) {
        if (GdkPixbuf* pixbuf = gtk_clipboard_wait_for_image(clipboard)) {
            gchar* buffer = nullptr;
            gsize size = 0;
            if (gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr))
                png = std::string(buffer, size);
            g_free(buffer);
            g_object_unref(pixbuf);
        }
    }
    if (!png)
        return false;
    CUrlNode* page = m_core.GetPageMgr().GetCurrentPage();
    bool savedFirst = false;
    std::u16string assets = PrepareAssetsFolder(&savedFirst);
    if (assets.empty())
        return true;
    std::optional<std::u16string> name = CPasteImages::WriteNewFile(assets, "image.png", *png);
    if (!name) {
        ShowMessage(CEditorText::kCopyFailedText);
        return true;
    }
    std::u16string source = CEditorText::GetImageSource(CFileSys::NameOf(CFileSys::WithoutSlash(assets)), *name);
    InsertHtml(u"<img src=\"" + CHtmlEscape::Escape(source, CHtmlEscape::Text) + u"\">");
    if (savedFirst && m_core.GetPageMgr().GetCurrentPage() == page &&
        m_core.GetPageMgr().SavePage(page) == CPageMgr::SAVE_DONE)
        UIPort().SetPageModified(false);
    ShowAtPageFile();
    return true;
}

std::u16string CEditorOps::PrepareAssetsFolder(bool* savedFirst)
{
    CPageMgr& pages = m_core.GetPageMgr();
    CUrlNode* page = pages.GetCurrentPage();
    if (!page)
        return std::u16string();
    if (!page->HasUrl()) {
        if (pages.SavePage(page) != CPageMgr::SAVE_DONE)
            return std::u16string();
        UIPort().SetPageModified(false);
        UIPort().RefreshItem(page);
        *savedFirst = true;
    }
    std::u16string file = GetPageFile();
    std::u16string assets = file.empty() ? file : CFolderTreeMgr::GetAssetsFolder(file);
    // A link to elsewhere must not receive the pictures.
    if (assets.empty() || !CFolderTreeMgr::IsInsideContent(assets) ||
        (!CFileSys::IsDirectory(assets) && !CFileSys::MakeDir(assets)))
        return std::u16string();
    return assets;
}

void CEditorOps::ApplyPastedImages()
{
    // ShowAtPageFile below runs the main loop; a call from there would
    // work on the document it is about to replace, so it waits for the load.
    if (m_bApplying)
        return;
    for (CPasteImages::CResult& result : m_pPasteImages->TakeResults())
        m_pastedImages.push_back(std::move(result));
    // A script now would work on the document being replaced.
    if (m_bLoading || m_pastedImages.empty())
        return;
    std::u16string file = m_host.isUserPage() ? GetPageFile() : std::u16string();
    std::u16string assets = file.empty() ? file : CFolderTreeMgr::GetAssetsFolder(file);
    bool changed = false;
    for (const CPasteImages::CResult& result : std::exchange(m_pastedImages, {})) {
        if (result.name.empty())
            continue;  // the page keeps the web address
        if (result.assetsFolder != assets) {
            CFileSys::RemoveFile(CFileSys::WithSlash(result.assetsFolder) + result.name);
            continue;
        }
        std::u16string source = CEditorText::GetImageSource(CFileSys::NameOf(assets), result.name);
        EvaluateLater(std::string(kPointAtCopyScript) + "(" +
                      CHtmlEscape::ScriptString(CUnicodeTool::FromUtf8(result.url)) + ", " +
                      CHtmlEscape::ScriptString(source) + ");");
        changed = true;
    }
    if (!changed)
        return;
    m_host.edited();
    // The copies' addresses are relative to the page's file.
    m_bApplying = true;
    ShowAtPageFile();
    m_bApplying = false;
}

void CEditorOps::DropPastedImages()
{
    m_pPasteImages->Cancel();
    for (const CPasteImages::CResult& result : std::exchange(m_pastedImages, {})) {
        if (!result.name.empty())
            CFileSys::RemoveFile(CFileSys::WithSlash(result.assetsFolder) + result.name);
    }
}

void CEditorOps::OnPasteAction(GSimpleAction*, GVariant*, gpointer self)
{
    auto* ops = static_cast<CEditorOps*>(self);
    if (ops->m_host.isUserPage())
        ops->Paste();
}

void CEditorOps::AdjustContextMenu(WebKitContextMenu* menu)
{
    GList* items = webkit_context_menu_get_items(menu);
    int position = 0;
    for (GList* it = items; it; it = it->next, ++position) {
        auto* item = static_cast<WebKitContextMenuItem*>(it->data);
        if (webkit_context_menu_item_get_stock_action(item) != WEBKIT_CONTEXT_MENU_ACTION_PASTE)
            continue;
        webkit_context_menu_remove(menu, item);
        webkit_context_menu_insert(menu,
                                   webkit_context_menu_item_new_from_gaction(G_ACTION(m_pPasteAction), "_Paste", nullptr),
                                   position);
        break;
    }
    if (!m_bMenuOnCell || !m_host.isUserPage())
        return;
    webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
    for (const STableEntry& entry : kTableEntries) {
        WebKitContextMenuItem* item =
            entry.label ? webkit_context_menu_item_new_from_gaction(G_ACTION(m_pTableAction), entry.label,
                                                                    g_variant_new_string(entry.op))
                        : webkit_context_menu_item_new_separator();
        webkit_context_menu_append(menu, item);
    }
}

std::optional<std::string> CEditorOps::MessageText(WebKitJavascriptResult* result)
{
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (!jsc_value_is_string(value))
        return std::nullopt;
    char* text = jsc_value_to_string(value);
    std::string message = text ? text : "";
    g_free(text);
    return message;
}

void CEditorOps::OnTableMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self)
{
    auto* ops = static_cast<CEditorOps*>(self);
    std::optional<std::string> message = MessageText(result);
    if (!message)
        return;
    // The page's message about a context menu comes before the menu.
    if (*message == "cell" || *message == "nocell")
        ops->m_bMenuOnCell = *message == "cell";
    else if (*message == "edited" && ops->m_host.isUserPage())
        ops->m_host.edited();
}

void CEditorOps::OnTableAction(GSimpleAction*, GVariant* parameter, gpointer self)
{
    auto* ops = static_cast<CEditorOps*>(self);
    std::string op = g_variant_get_string(parameter, nullptr);
    if (!ops->m_host.isUserPage())
        return;
    ops->EvaluateLater("window.zandrelTable && window.zandrelTable(" + CHtmlEscape::ScriptString(U16(op.c_str())) +
                       ", true);");
    ops->m_host.edited();
}

// --- preformatted text

void CEditorOps::PastePreformatted()
{
    GtkClipboard* clipboard = gtk_widget_get_clipboard(GTK_WIDGET(m_pView), GDK_SELECTION_CLIPBOARD);
    gchar* text = gtk_clipboard_wait_for_text(clipboard);
    if (!text)
        return;
    std::u16string content = U16(text);
    g_free(text);
    std::string tag, className;
    if (std::optional<std::string> chain = Evaluate(kChainScript)) {
        std::vector<std::string> parent = Split(Split(*chain, kItemMark).front(), kFieldMark);
        tag = parent[0];
        className = parent.size() > 1 ? parent[1] : "";
    }
    InsertHtml(CEditorText::BuildPreformattedFragment(content, U16(tag.c_str()), U16(className.c_str())));
}

// --- image, table, borders, drops

std::u16string CEditorOps::GetPageFile()
{
    CUrlNode* page = m_core.GetPageMgr().GetCurrentPage();
    RNode* folder = m_core.GetTreeMgr().GetCurrentFolder();
    if (!page || !folder || !page->HasUrl())
        return std::u16string();
    return m_core.GetTreeMgr().GetPageFilePath(folder, page);
}

void CEditorOps::InsertImage()
{
    CPageMgr& pages = m_core.GetPageMgr();
    CUrlNode* page = pages.GetCurrentPage();
    if (!page)
        return;
    // The image goes beside the page's file, so the page needs one.
    bool savedFirst = false;
    if (!page->HasUrl()) {
        if (pages.SavePage(page) != CPageMgr::SAVE_DONE)
            return;
        UIPort().SetPageModified(false);
        UIPort().RefreshItem(page);
        savedFirst = true;
    }
    std::optional<std::string> selection = Evaluate(kHasSelectionScript);
    if (!selection || selection->empty()) {
        ShowMessage(CEditorText::kNoInsertPositionText);
        return;
    }
    std::u16string path;
    if (!CImageDialog::ChooseFile(m_pParent, &path))
        return;
    CEditorText::CImageInsert image;
    if (!CImageDialog::Run(m_pParent, path, &image))
        return;
    std::u16string file = GetPageFile();
    std::u16string assets = file.empty() ? file : CFolderTreeMgr::GetAssetsFolder(file);
    std::optional<std::u16string> name = assets.empty() ? std::nullopt : CEditorText::CopyImageToAssets(path, assets);
    if (!name) {
        ShowMessage(CEditorText::kCopyFailedText);
        return;
    }
    char16_t uuid[40] = {};
    if (CBaseTool::GetUUID(uuid, 37))
        image.id = uuid;
    image.source = CEditorText::GetImageSource(CFileSys::NameOf(CFileSys::WithoutSlash(assets)), *name);
    gtk_widget_grab_focus(GTK_WIDGET(m_pView));
    std::optional<std::string> inserted = Evaluate(InsertScript(CEditorText::BuildImageTag(image)));
    if (!inserted || inserted->empty()) {
        ShowMessage(CEditorText::kInsertFailedText);
        return;
    }
    m_host.edited();
    if (savedFirst && pages.GetCurrentPage() == page && pages.SavePage(page) == CPageMgr::SAVE_DONE)
        UIPort().SetPageModified(false);
    ShowAtPageFile();
}

// A page shown before its first save has no address of its own, so the
// image's source, relative to the page file, shows nothing. The document
// is shown again as it is, at the page file's address; the changed state
// stays as it was.
void CEditorOps::ShowAtPageFile()
{
    const char* uri = webkit_web_view_get_uri(m_pView);
    std::u16string file = GetPageFile();
    if (file.empty() || !uri || std::string_view(uri) != "about:blank")
        return;
    std::string html;
    int codePage = 0;
    if (!UIPort().GetPageDocument(&html, &codePage) || codePage != kCodePageUtf8)
        return;
    char* fileUri = g_filename_to_uri(CFileSys::Native(file).c_str(), nullptr, nullptr);
    if (!fileUri)
        return;
    m_bLoading = true;
    webkit_web_view_load_html(m_pView, html.c_str(), fileUri);
    g_free(fileUri);
}

void CEditorOps::InsertTable()
{
    gtk_widget_grab_focus(GTK_WIDGET(m_pView));
    InsertHtml(CEditorMarkup::BuildTableHtml(CEditorText::kTableRows, CEditorText::kTableColumns));
    EvaluateLater("window.zandrelTable && window.zandrelTable('first', false);");
}

// A style of the view only: the document, and so the saved page, never
// sees it.
void CEditorOps::ShowTableBorders(bool show)
{
    if (!m_pBorderStyle)
        m_pBorderStyle = webkit_user_style_sheet_new(CEditorMarkup::kTableBorderStyle, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                     WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    if (show)
        webkit_user_content_manager_add_style_sheet(m_pContent, m_pBorderStyle);
    else
        webkit_user_content_manager_remove_style_sheet(m_pContent, m_pBorderStyle);
    m_bBorders = show;
}

void CEditorOps::OnLinkMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self)
{
    std::optional<std::string> message = MessageText(result);
    if (!message)
        return;
    // Shown once the engine is done with the click: another page replaces this one.
    struct SOpen {
        std::shared_ptr<CEditorOps*> alive;
        std::string message;
    };
    g_idle_add(+[](gpointer data) -> gboolean {
        std::unique_ptr<SOpen> open(static_cast<SOpen*>(data));
        if (CEditorOps* ops = *open->alive)
            ops->OpenLinkedPage(open->message);
        return G_SOURCE_REMOVE;
    }, new SOpen{static_cast<CEditorOps*>(self)->m_pAlive, *message});
}

void CEditorOps::OpenLinkedPage(const std::string& message)
{
    std::vector<std::string> fields = Split(message, kFieldMark);
    if (fields.size() != 2 || !m_host.isUserPage())
        return;
    // A web link opens outside, as the program's pages do.
    if (CStringTool::StartsWithNoCase(fields[1], "http")) {
        UIPort().OpenUri(U16(fields[1].c_str()));
        return;
    }
    RNode* folder = nullptr;
    CColctNode* colct = nullptr;
    CUrlNode* page = m_core.GetLinks().FindLinkTarget(U16(fields[0].c_str()), fields[1], &folder, &colct);
    if (!page) {
        ShowMessage(u"The linked page is not in this project:\r\n" + U16(fields[1].c_str()));
        return;
    }
    CPageMgr& pages = m_core.GetPageMgr();
    if (folder != m_core.GetTreeMgr().GetCurrentFolder() && !pages.ShowFolder(folder))
        return;
    pages.ShowItem(colct, page);
}

void CEditorOps::InsertLinkToPage()
{
    CPageMgr& pages = m_core.GetPageMgr();
    CUrlNode* current = pages.GetCurrentPage();
    if (!current || !m_host.isUserPage()) {
        ShowMessage(u"Please create or select a Page.");
        return;
    }
    std::u16string selected = U16(Evaluate("window.getSelection().toString()").value_or("").c_str());
    RNode* folder = nullptr;
    CUrlNode* target = nullptr;
    if (!CLinkDialogs::PickPage(m_pParent, m_core, &folder, &target))
        return;
    bool savedFirst = false;
    if (!current->HasUrl()) {
        if (pages.SavePage(current) != CPageMgr::SAVE_DONE)
            return;
        UIPort().SetPageModified(false);
        UIPort().RefreshItem(current);
        savedFirst = true;
    }
    std::string html = m_core.GetLinks().MakeLinkHtml(folder, target, CStringTool::TrimBlanks(selected));
    if (html.empty())
        return;
    gtk_widget_grab_focus(GTK_WIDGET(m_pView));
    InsertHtml(U16(html.c_str()));
    if (savedFirst)
        ShowAtPageFile();
}

void CEditorOps::OnDropMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self)
{
    if (std::optional<std::string> message = MessageText(result))
        static_cast<CEditorOps*>(self)->OnDrop(*message);
}

void CEditorOps::OnDrop(const std::string& message)
{
    std::vector<std::string> fields = Split(message, kFieldMark);
    if (fields.size() != 4 || !m_host.isUserPage() || !CPageCommands::IsAcceptableLink(fields[0]))
        return;
    long x = std::strtol(fields[2].c_str(), nullptr, 10);
    long y = std::strtol(fields[3].c_str(), nullptr, 10);
    std::u16string link = CEditorMarkup::BuildLinkHtml(U16(fields[0].c_str()), U16(fields[1].c_str()));
    EvaluateLater("(function(x, y) { var r = document.caretRangeFromPoint(x, y);"
                  " if (r) { var s = window.getSelection(); s.removeAllRanges(); s.addRange(r); } })(" +
                  std::to_string(x) + ", " + std::to_string(y) + ");");
    EvaluateLater(InsertScript(link));
    m_host.edited();
}

// --- loading and the navigation guard

void CEditorOps::BeforeLoad(bool userPage)
{
    DropPastedImages();
    m_bUserPage = userPage;
    m_bLoading = true;
}

void CEditorOps::OnLoadChanged(WebKitLoadEvent event)
{
    if (event != WEBKIT_LOAD_FINISHED)
        return;
    m_bLoading = false;
    ApplyPastedImages();
    if (!m_bUserPage || !m_host.isUserPage())
        return;
    const char* uri = webkit_web_view_get_uri(m_pView);
    std::u16string loaded = U16(uri);
    if (loaded.empty() || loaded == CEditorText::kBlankUrl)
        return;
    // Asked once the load is over, not inside the engine's signal.
    struct SCheck {
        CEditorOps* ops;
        std::u16string loaded;
    };
    g_idle_add(+[](gpointer data) -> gboolean {
        auto* check = static_cast<SCheck*>(data);
        if (check->ops->m_host.isUserPage() && !check->ops->m_core.GetPageMgr().CheckLoadedAddress(check->loaded))
            check->ops->m_host.pageLost();
        delete check;
        return G_SOURCE_REMOVE;
    }, new SCheck{this, loaded});
}

bool CEditorOps::GuardNavigation(WebKitPolicyDecision* decision)
{
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    std::string address = uri ? uri : "";
    // A web link the user follows opens outside, as on the program's pages.
    if (webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
        CStringTool::StartsWithNoCase(address, "http"))
        return false;
    CUrlNode* page = m_core.GetPageMgr().GetCurrentPage();
    CEditorText::CNavigation navigation;
    navigation.pageOpen = page != nullptr;
    navigation.pageUrl = page && page->GetUrl() ? page->GetUrl() : u"";
    navigation.pageFileUrl = GetPageFile();
    navigation.url = U16(address.c_str());
    int verdict = CEditorText::DecideNavigation(navigation);
    // The engine does not say which frame a load is for: while the page's
    // own document loads, any other address is one of its frames.
    if (verdict != CEditorText::NAVIGATE_ALLOW && m_bLoading) {
        navigation.frame = true;
        verdict = CEditorText::DecideNavigation(navigation);
        if (verdict != CEditorText::NAVIGATE_ALLOW)
            CTraceLog::Write("%s", U8(CEditorText::GetFrameTraceLine(navigation.url)).c_str());
    }
    if (verdict == CEditorText::NAVIGATE_ALLOW)
        return false;
    webkit_policy_decision_ignore(decision);
    if (verdict == CEditorText::NAVIGATE_MISMATCH) {
        // The backup and the question, once the engine has its answer.
        struct SMismatch {
            CEditorOps* ops;
            std::u16string url;
        };
        g_idle_add(+[](gpointer data) -> gboolean {
            auto* mismatch = static_cast<SMismatch*>(data);
            mismatch->ops->m_core.GetPageMgr().CheckLoadedAddress(mismatch->url);
            delete mismatch;
            return G_SOURCE_REMOVE;
        }, new SMismatch{this, navigation.url});
    }
    return true;
}
