#pragma once

// Search of page titles and descriptions over the project's collections,
// for the search pane: the matches as records and as list rows, and the
// opening of a match.

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

class CColctNode;
class CFolderNode;
class CFolderTreeMgr;
class CUrlNode;
class RNode;

// One matching page. The nodes are the project's; a record may outlive
// them, so they are only looked at again after being found in the tree.
struct CTitleResult {
    CFolderNode* host = nullptr;  // holds the page's collection
    CUrlNode* item = nullptr;     // not owned
    // The item's identifier at search time, so a new item that took the
    // place of a deleted one is not taken for it.
    std::array<char16_t, 37> uuid{};
    size_t colct = 0;  // the search's own record of the collection
};

// The three texts of a row of the result list.
struct CTitleRow {
    std::u16string title;
    std::u16string folder;  // "\" + each folder name below the root; "" for the root
    std::u16string file;    // the page's address
};

class CTitleSearch {
public:
    struct CColumn {
        const char16_t* heading;
        int width;
    };
    static constexpr CColumn kColumns[] = {{u"Title", 170}, {u"Folder", 200}, {u"File", 450}};
    static constexpr char16_t kNotFoundText[] = u"Can not find this Page, it may be removed!";

    using ShowItemHook = std::function<void(RNode* folder, CColctNode* colct, CUrlNode* item)>;

    explicit CTitleSearch(CFolderTreeMgr& tree) : m_tree(tree) {}

    // Shows a found page: its folder, its collection and the item.
    void SetShowItemHook(ShowItemHook hook) { m_showItem = std::move(hook); }

    // Looks for `text` (in any case) in the names and descriptions of the
    // pages at the first level of every collection in tree order, or only
    // of the current folder's; loads the collections not loaded yet. The
    // number of matches; 0 for an empty text.
    size_t Search(const std::u16string& text, bool allColcts);

    // The same search a piece at a time, so that a window stays responsive
    // while the collections are read: Begin forgets the previous results
    // and any search under way; each Step goes on for about `seconds`
    // (at least one collection) and says whether the results are ready.
    void Begin(const std::u16string& text, bool allColcts);
    bool Step(double seconds);
    bool IsRunning() const { return m_bRunning; }
    // The share of the collections read so far, from 0 to 1.
    double GetProgress() const;

    // Forgets the results and stops a search under way.
    void Clear();

    const std::u16string& GetQuery() const { return m_query; }
    std::span<const CTitleResult> GetResults() const { return {m_results.data(), m_nResults}; }
    // A record's row texts, and the page's file ("" when its address is
    // not a plain name inside the folder). They are read from the project,
    // so they are empty once anything in it changed after the search.
    CTitleRow GetRow(size_t row) const;
    std::u16string GetPagePath(size_t row) const;

    // Shows the page of `row` when it is still in the project; otherwise
    // says it may have been removed. True when shown.
    bool OpenResult(size_t row);

private:
    // A collection to search, with what its rows and paths need. Its
    // pointers hold while the model stays unchanged (CModelStamp).
    struct Colct {
        RNode* folder = nullptr;
        CFolderNode* host = nullptr;
        std::u16string directory;   // "" when the folder has no place on disk
        std::u16string folderText;  // "\" + each folder name below the root
        size_t notesEnd = 0;        // its notes are those before this one
    };
    // The collections to search into m_colcts.
    void ListColcts(bool allColcts);
    // Loads the next collection and takes its notes into the index.
    void IndexNext();
    void ResetIndex();
    // The notes whose texts hold the query into m_results.
    void Match();
    // The record of a result, when nothing changed since the search.
    const Colct* FreshColct(size_t row) const;
    // The folder record holding `host` in the current tree, or null.
    RNode* FindFolder(const CFolderNode* host) const;

    CFolderTreeMgr& m_tree;
    ShowItemHook m_showItem;
    std::u16string m_query;
    bool m_bRunning = false;
    // Records keep their storage from search to search; the first
    // m_nResults are the results.
    std::vector<CTitleResult> m_results;
    size_t m_nResults = 0;

    // The index: the folded texts of the notes of the collections searched,
    // kept from search to search while the model is unchanged, so that a
    // search reads one block of memory instead of the scattered nodes.
    unsigned long m_nStamp = 0;  // the model's count when last seen
    bool m_bIndexAll = false;    // of every collection, or the current folder's
    bool m_bWalked = false;
    size_t m_nIndexed = 0;         // the collections of m_colcts taken in
    std::vector<Colct> m_colcts;   // in tree order
    std::u16string m_texts;        // "name\0description\0" of each note
    std::vector<size_t> m_textEnds;  // where each note's texts end in m_texts
    std::vector<CUrlNode*> m_notes;
    std::vector<std::array<char16_t, 37>> m_uuids;
};
