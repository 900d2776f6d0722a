#pragma once

// Pictures of a paste kept with the page: the web images of pasted HTML
// are downloaded into the page's assets folder on a worker thread, and a
// picture pasted as such is written there as a file. The worker touches
// only files in the assets folder it was given; the window points the page
// at the copies. Without the toolkit, so it runs in tests.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CPasteImages {
public:
    // An image is a picture, not a video: a larger body fails and keeps
    // its web address.
    static constexpr int64_t kMaxImageBytes = 20 * 1024 * 1024;
    // Downloads are written under this prefix first, so a picture shows up
    // in the assets folder only once it is whole.
    static constexpr char kPartPrefix[] = ".zandrel-paste-";
    // Downloads at a time: a slow server holds up one, not all.
    static constexpr int kWorkers = 3;

    struct CPlan {
        // The HTML to insert: relative image addresses made absolute, so
        // the images show at once and the copies can replace them.
        std::string fragment;
        // The distinct http and https image addresses to download, in
        // document order (src and srcset candidates).
        std::vector<std::string> urls;
    };
    // What to insert and download for pasted `fragment` (UTF-8) copied
    // from `sourceUrl` ("" when unknown: relative addresses are then left
    // alone). Never fails.
    static CPlan Plan(std::string_view fragment, std::string_view sourceUrl);

    // Writes `bytes` as a new file of `assetsFolder` (made when missing)
    // under `name`, or a numbered name when that is taken. Never replaces a
    // file. The name used; none when nothing could be written, and then
    // nothing is left behind.
    static std::optional<std::u16string> WriteNewFile(const std::u16string& assetsFolder, std::string_view name,
                                                      const std::string& bytes);

    struct CResult {
        std::u16string assetsFolder;
        std::string url;
        // The file's name in the assets folder; empty when the download
        // failed.
        std::u16string name;
    };

    // `ready` is called on the worker thread whenever a result waits for
    // TakeResults; it must only hand the news to the interface thread.
    explicit CPasteImages(std::function<void()> ready, int64_t maxBytes = kMaxImageBytes);
    // Cancels.
    ~CPasteImages();
    CPasteImages(const CPasteImages&) = delete;
    CPasteImages& operator=(const CPasteImages&) = delete;

    // Queues the downloads of `urls` into `assetsFolder`, which must exist
    // (a folder renamed or removed meanwhile makes them fail, never come
    // back).
    void Fetch(const std::u16string& assetsFolder, const std::vector<std::string>& urls);
    // The results finished since the last call, in the order they finished.
    std::vector<CResult> TakeResults();
    // Stops the downloads at once, forgets those waiting and removes the
    // files of results not taken yet: the page they were for is gone.
    // Waits for the workers, which then write nothing more.
    void Cancel();
    // No download runs or waits (results may still wait to be taken).
    bool IsIdle();

private:
    struct CJob {
        std::u16string assetsFolder;
        std::string url;
    };
    void Run(std::stop_token stop);
    CResult Download(const CJob& job, std::stop_token stop);

    std::function<void()> m_ready;
    int64_t m_maxBytes;
    std::mutex m_lock;
    std::condition_variable_any m_wake;
    std::deque<CJob> m_jobs;
    std::vector<CResult> m_results;
    int m_busy = 0;  // jobs taken and not yet done
    // Started with the first downloads, waiting for more until Cancel.
    std::vector<std::jthread> m_threads;
};
