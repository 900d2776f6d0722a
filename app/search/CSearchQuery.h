#pragma once

// The user's query text turned into what the index runs: an FTS5 MATCH
// expression and filters on the page records. Every word and phrase goes
// into the expression as an FTS5 string, so nothing the user types can
// form an operator, a column filter or a syntax error.
//
// The language: words (all must match), "exact phrase", prefix*, -word
// or -"phrase" to leave pages out, tag:name (the page has that tag, in any
// case), in:Folder/Sub (the page is in that folder or below it; quotes
// allow blanks: in:"My Folder"), and -tag:name, -in:Folder to leave those
// out. A query of nothing but exclusions finds nothing: excluding needs
// something to exclude from.

#include <string>
#include <vector>

struct CSearchQuery {
    // The MATCH expression (UTF-8), excluded terms included; "" when no
    // word must match and only the filters choose.
    std::string match;
    // The excluded terms alone joined with OR, for a query of filters and
    // exclusions only; "" otherwise.
    std::string exclude;
    // Each as TagKey or FolderKey makes it; at most kMaxFilters of each.
    static constexpr size_t kMaxFilters = 20;
    std::vector<std::u16string> tags, notTags;
    std::vector<std::u16string> folders, notFolders;
    // False for an empty query, or one of exclusions only: no hits.
    bool usable = false;

    static CSearchQuery Parse(const std::u16string& text);

    // What the page records keep to filter on, folded to lower case: every
    // tag between separators ("\x1f" + tag + "\x1f" + ...), so one tag
    // never matches the start of another, and a folder path with a "/"
    // after it, so "Work" does not take in "Workshop".
    static std::u16string TagKey(const std::vector<std::u16string>& tags);
    static std::u16string FolderKey(const std::u16string& folderPath);
};
