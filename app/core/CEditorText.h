#pragma once

// What the page editor adds to the HTML editing component, as text: the
// fragments it pastes, the decisions it takes from the selection, and the
// names it picks for copied images and backups. The window shell only
// carries out what these functions decide; nothing here keeps state.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/CUIPort.h"

class CEditorText {
public:
    CEditorText() = delete;

    // Numbered commands of the editing component.
    static constexpr int kCmdCopy = 15;
    static constexpr int kCmdCut = 16;
    static constexpr int kCmdDelete = 17;
    static constexpr int kCmdPaste = 26;
    static constexpr int kCmdSelectAll = 31;
    static constexpr int kCmdUndo = 43;
    // Posted to the editor after a paste, so the note follows the pasted
    // content once the component is done with it.
    static constexpr unsigned kMsgAppendSourceNote = kWM_APP + 1002;
    // Insert Table leaves the markup to the component: 2 rows, 2 columns.
    static constexpr int kTableRows = 2;
    static constexpr int kTableColumns = 2;

    // ---- source note after a paste ----

    // Clipboard payloads shorter than this carry no usable header.
    static constexpr size_t kMinHtmlFormatSize = 60;
    // The source address in an "HTML Format" payload: "StartHTML:" must
    // give a decimal offset from 60 up to the payload's size, and the
    // header before it must name an http or https "SourceURL:". None
    // otherwise.
    static std::optional<std::u16string> GetSourceUrl(const std::string& payload);
    // True for an address longer than 6 characters that begins with
    // "http:" or "https:" in any letter case.
    static bool IsSourceUrl(std::u16string_view url);
    // The note for an accepted address; the address is escaped for HTML.
    static std::u16string BuildSourceNote(std::u16string_view url);
    // The note for an "HTML Format" payload; none when it names no source.
    static std::optional<std::u16string> GetSourceNote(const std::string& payload);
    // The note for an address the shell found elsewhere (clipboards whose
    // HTML has no header); none unless IsSourceUrl.
    static std::optional<std::u16string> GetSourceNoteForUrl(std::u16string_view url);

    // ---- preformatted text ----

    static constexpr char16_t kPreClass[] = u"krv_pre";
    static constexpr char16_t kPreWrapClass[] = u"krv_pre_wrap";
    // What Paste Preformatted Text pastes for the clipboard text `text`,
    // given the tag and class names of the selection's parent element: a
    // bare PRE inside one of our blocks, else a whole new block.
    static std::u16string BuildPreformattedFragment(std::u16string_view text, std::u16string_view parentTag,
                                                    std::u16string_view parentClass);

    // ---- insert image ----

    static constexpr char16_t kNoInsertPositionText[] = u"Please set the insert position on the page.";
    static constexpr char16_t kNoAlignmentText[] = u"Please select alignment.";
    static constexpr char16_t kZeroSizeText[] = u"Do you want to show image with zero size?";
    static constexpr char16_t kCopyFailedText[] = u"Can not copy file to collection folder.";
    static constexpr char16_t kInsertFailedText[] = u"Can not insert image to the page.";
    static constexpr char16_t kImageFilter[] =
        u"Image Files (*.jpg;*.gif;*.png)|*.jpg;*.jpeg;*.gif;*.png|All Files (*.*)|*.*||";
    static constexpr const char16_t* kAlignmentNames[] = {u"None", u"Left", u"Right", u"Middle"};
    static constexpr int kAlignmentCount = 4;
    static constexpr char16_t kDefaultBorderWidth[] = u"0";
    static constexpr char16_t kDefaultBorderColor[] = u"#0000FF";
    // Names tried after the chosen one is taken: "[1]" to "[49]".
    static constexpr int kMaxNameTries = 49;

    // One filter of the file chooser: its name and its patterns.
    struct CFileFilter {
        std::u16string name;
        std::vector<std::u16string> patterns;
    };
    // kImageFilter as name and pattern pairs.
    static std::vector<CFileFilter> GetImageFilters();

    // What the image dialog collects. `source` is filled once the file is
    // in the assets folder.
    struct CImageInsert {
        std::u16string id;
        int alignment = -1;  // index into kAlignmentNames; -1 while none is chosen
        std::u16string width;
        std::u16string height;
        std::u16string borderWidth = kDefaultBorderWidth;
        std::u16string borderColor = kDefaultBorderColor;
        std::u16string source;
    };
    // Checks on OK, in order: an alignment must be chosen, and a width or
    // height that reads as zero needs the user's consent.
    enum tagIMAGECHECK : int {
        IMAGE_OK = 0,
        IMAGE_NO_ALIGNMENT = 1,
        IMAGE_ZERO_SIZE = 2,
    };
    static int CheckImageDialog(const CImageInsert& image);
    // A dialog field read as a whole number: leading blanks, a sign,
    // digits; 0 when there are none.
    static int ReadNumber(std::u16string_view text);

    using ExistsFunc = std::function<bool(const std::u16string& name)>;
    // The name to copy `name` under: itself when free, else the stem (up
    // to the last dot) + "[n]" + the extension for the first free n from 1
    // to 49. None when all are taken or a taken name has no extension to
    // split at (no dot, or a dot first or last).
    static std::optional<std::u16string> FindFreeImageName(const std::u16string& name, const ExistsFunc& exists);
    // The same against the files in `assetsFolder`.
    static std::optional<std::u16string> FindFreeImageName(const std::u16string& assetsFolder,
                                                           const std::u16string& name);
    // Copies the file at `path` into `assetsFolder` (made when missing)
    // under a free name taken from the last component of `path`. The name
    // used; none when the folder cannot be made, no name is free, or the
    // copy fails.
    static std::optional<std::u16string> CopyImageToAssets(const std::u16string& path,
                                                           const std::u16string& assetsFolder);
    // The src of an image in the assets folder, relative to the page:
    // folder name + "/" + file name. "%", "#" and "?" are percent-encoded
    // so that the address still names the file.
    static std::u16string GetImageSource(std::u16string_view assetsFolderName, std::u16string_view fileName);
    // The <img> tag for the dialog's values; they are escaped for the
    // attribute they go into.
    static std::u16string BuildImageTag(const CImageInsert& image);
    // The size line of the dialog: "%4.1fKB", or "%4.2fMB" above 1024 KB.
    static std::u16string FormatFileSize(uint64_t bytes);

    // ---- navigation guard ----

    static constexpr char16_t kBlankUrl[] = u"about:blank";
    enum tagNAVIGATE : int {
        NAVIGATE_ALLOW = 0,
        NAVIGATE_REFUSE = 1,
        // Refused because another document would replace the page: back
        // the page file up and ask the user.
        NAVIGATE_MISMATCH = 2,
    };
    struct CNavigation {
        bool pageOpen = false;
        std::u16string pageUrl;      // the current page's own address
        std::u16string pageFileUrl;  // its file's location, in the form the engine reports
        std::u16string url;          // the address about to load
        bool frame = false;          // into a frame inside the page
    };
    // Whether the editor may load `url`.
    static int DecideNavigation(const CNavigation& navigation);
    // Trimmed, in lower case, with "\" as "/"; a file URI becomes its
    // decoded path without query or fragment, so it compares with a path.
    static std::u16string NormalizeAddress(std::u16string_view address);
    // The backup beside the page file: path + ".bak", or when that exists,
    // path + "." + `now` + ".bak".
    static std::u16string GetBackupName(const std::u16string& pagePath, long now, const ExistsFunc& exists);
    // The question after a refused load.
    static std::u16string BuildMismatchText(std::u16string_view pageUrl, bool backedUp, std::u16string_view url);
    // A URL as trace lines show it: its first 200 characters, "%" as a
    // blank (the log formats its lines).
    static std::u16string GetTraceUrl(std::u16string_view url);
    // The trace line of a refused frame load.
    static std::u16string GetFrameTraceLine(std::u16string_view url);
};
