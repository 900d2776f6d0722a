#pragma once

// Capture of a web page into a folder: the page and what it needs to show
// offline (images with their srcset and <picture> sources, stylesheets with
// what they @import and reference through url(), icons) are fetched into
// the new page's assets folder and every reference to them is rewritten.
//
// Three steps, so that the window keeps its model to itself:
//   Prepare (interface thread) checks the address and the folder and makes
//     a hidden staging folder in the folder's directory;
//   Fetch (worker thread) touches only that staging folder;
//   Commit (interface thread) moves the page and its assets folder into
//     place under a free title, adds the page and saves the collection.
// Discard removes the staging folder after a cancel, a failure or when the
// window closes; a capture that is not committed leaves nothing behind.

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

class CFolderTreeMgr;
class RNode;

class CCapture {
public:
    // Limits of one capture. The defaults are the constants; tests lower them.
    struct CLimits {
        static constexpr long kMaxRedirects = 5;
        static constexpr long kConnectSeconds = 30;
        // A whole transfer, and how long it may send nothing at all.
        static constexpr long kTransferSeconds = 300;
        static constexpr long kStallSeconds = 60;
        static constexpr int64_t kMaxResourceBytes = int64_t(20) << 20;
        static constexpr int64_t kMaxPageBytes = int64_t(100) << 20;
        // Transfers at a time: what browsers allow per host, and few
        // enough not to hammer a server.
        static constexpr int kConnections = 4;
        // Levels of stylesheets importing stylesheets.
        static constexpr int kCssDepth = 5;
        static constexpr int kMaxResources = 2000;

        long maxRedirects = kMaxRedirects;
        long connectSeconds = kConnectSeconds;
        long transferSeconds = kTransferSeconds;
        long stallSeconds = kStallSeconds;
        int64_t maxResourceBytes = kMaxResourceBytes;
        int64_t maxPageBytes = kMaxPageBytes;  // the page and all its resources
        int connections = kConnections;
        int cssDepth = kCssDepth;
        int maxResources = kMaxResources;
    };

    // What Prepare found; a plain value the worker may copy.
    struct CPlan {
        std::string url;               // the address to capture (UTF-8)
        std::u16string directory;      // the folder's directory, ending in "/"
        std::u16string staging;        // the hidden staging folder in `directory`, ending in "/"
    };

    enum tagSTATE { DONE, CANCELLED, FAILED };

    // A resource that stayed remote: its address and why, in a few words.
    struct CFailure {
        std::string url;
        std::string reason;
    };

    struct CResult {
        tagSTATE state = FAILED;
        std::u16string error;          // why the capture failed
        std::string title;             // the document's <title> (UTF-8)
        std::string host;              // the page's host, the title's fallback
        std::vector<CFailure> failed;  // resources kept at their address
        int fetched = 0;               // resources in the assets folder
        int64_t bytes = 0;             // bytes received, the page included
    };

    // Called on the worker thread: resources done and known so far.
    using Progress = std::function<void(int done, int total)>;

    CCapture() = delete;

    // Checks `url` (http or https; a bare host name is taken as https) and
    // that `folder` can take pages, and makes the staging folder. Nothing
    // with `error` set when either is not so.
    static std::optional<CPlan> Prepare(CFolderTreeMgr& tree, RNode* folder, const std::u16string& url,
                                        std::u16string* error);

    // Fetches the page and its resources into the plan's staging folder,
    // never anywhere else. Stops as soon as `stop` is asked for, with
    // CANCELLED; the staging folder is then for Discard.
    static CResult Fetch(const CPlan& plan, const CLimits& limits, const Progress& progress, std::stop_token stop);

    // Moves a DONE capture into `folder` (wherever it is now: a folder
    // renamed or moved meanwhile took the staging folder along) under a
    // free title made from the document's title (the host name without
    // one), adds the page and saves the collection. False, with `error` set
    // and nothing left behind, when the folder is no longer in the tree, no
    // title is free or a write fails. The staging folder is removed in
    // every case.
    static bool Commit(CFolderTreeMgr& tree, RNode* folder, const CPlan& plan, const CResult& result,
                       std::u16string* title, std::u16string* error = nullptr);

    // Removes the staging folder and everything in it, where Prepare made it.
    static void Discard(const CPlan& plan);
    // The same, and where it is now when `folder` was renamed or moved
    // meanwhile (interface thread).
    static void Discard(CFolderTreeMgr& tree, RNode* folder, const CPlan& plan);

    // Names inside the staging folder.
    static constexpr char kStagedPage[] = "page.htm";
    static constexpr char kStagedAssets[] = "page_files";
};
