#include "app/capture/CCapture.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <glib.h>
#include <gumbo.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unordered_map>

#include "app/capture/CAssetName.h"
#include "app/capture/CCaptureUrl.h"
#include "app/capture/CCssRefs.h"
#include "app/capture/CHtmlRefs.h"
#include "app/capture/CImport.h"
#include "app/capture/CStaging.h"
#include "app/core/CEditorText.h"
#include "app/core/CFileSys.h"
#include "app/core/CFolderTreeMgr.h"
#include "app/core/CPageHtml.h"
#include "base/model/CColctNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/RNTool.h"
#include "base/model/RNode.h"
#include "base/net/CCurlSession.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CUnicodeTool.h"

namespace fs = std::filesystem;

namespace {

using Kind = CPageRef::Kind;

std::string U8(std::u16string_view text)
{
    return CUnicodeTool::ToUtf8(text);
}

std::u16string U16(std::string_view text)
{
    return CUnicodeTool::FromUtf8(text);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = c >= 'A' && c <= 'Z' ? char(c | 0x20) : c;
    return text;
}

std::string Trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n\f");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n\f") + 1 - first));
}

std::string ValidUtf8(const std::string& text)
{
    if (CUnicodeTool::IsValidUtf8(text))
        return text;
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string out(valid);
    g_free(valid);
    return out;
}

// What a reference is fetched as. Links, frames, scripts (they never run
// in the editor) and media (large, and played from the web) stay remote.
enum class FetchAs { No, File, Css };

FetchAs FetchKind(Kind kind)
{
    switch (kind) {
    case Kind::Image:
    case Kind::SrcSet:
    case Kind::Icon:
    case Kind::Background:
    case Kind::CssUrl: return FetchAs::File;
    case Kind::Stylesheet:
    case Kind::CssImport: return FetchAs::Css;
    default: return FetchAs::No;
    }
}

// `url` without its fragment, which goes to `fragment` ("#x" or "").
std::string SplitFragment(const std::string& url, std::string* fragment)
{
    const size_t hash = url.find('#');
    *fragment = hash == std::string::npos ? std::string() : url.substr(hash);
    return url.substr(0, hash);
}

// The value of "charset=" in a Content-Type or a meta's content.
std::string CharsetParameter(std::string_view value)
{
    const std::string lower = Lower(std::string(value));
    const size_t at = lower.find("charset");
    if (at == std::string::npos)
        return {};
    size_t begin = lower.find_first_not_of(" \t", at + 7);
    if (begin == std::string::npos || lower[begin] != '=')
        return {};
    begin = lower.find_first_not_of(" \t\"'", begin + 1);
    if (begin == std::string::npos)
        return {};
    const size_t end = lower.find_first_of(" \t\"';", begin);
    return lower.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// A parsed document for as long as it lives.
struct Parsed {
    explicit Parsed(std::string_view html)
        : output(gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()))
    {
    }
    ~Parsed() { gumbo_destroy_output(&kGumboDefaultOptions, output); }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;
    const GumboElement* Child(const GumboNode* parent, GumboTag tag) const
    {
        const GumboVector& children = parent->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            auto* node = static_cast<const GumboNode*>(children.data[i]);
            if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag)
                return &node->v.element;
        }
        return nullptr;
    }
    GumboOutput* output;
};

// The character set the page's head declares: <meta charset> or the
// http-equiv form.
std::string MetaCharset(const std::string& bytes)
{
    Parsed parsed(bytes);
    const GumboVector& children = parsed.output->root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        auto* head = static_cast<const GumboNode*>(children.data[i]);
        if (head->type != GUMBO_NODE_ELEMENT || head->v.element.tag != GUMBO_TAG_HEAD)
            continue;
        const GumboVector& metas = head->v.element.children;
        for (unsigned j = 0; j < metas.length; ++j) {
            auto* meta = static_cast<const GumboNode*>(metas.data[j]);
            if (meta->type != GUMBO_NODE_ELEMENT || meta->v.element.tag != GUMBO_TAG_META)
                continue;
            const GumboVector* attributes = &meta->v.element.attributes;
            if (const GumboAttribute* charset = gumbo_get_attribute(attributes, "charset"))
                return Trimmed(charset->value);
            const GumboAttribute* equiv = gumbo_get_attribute(attributes, "http-equiv");
            const GumboAttribute* content = gumbo_get_attribute(attributes, "content");
            if (equiv && content && Lower(Trimmed(equiv->value)) == "content-type")
                return CharsetParameter(content->value);
        }
    }
    return {};
}

// Declares UTF-8 in the head: the server's header that said so is not
// kept with the file.
void DeclareUtf8(std::string& html)
{
    if (CPageHtml::SetMetaCharsetUtf8(html))
        return;
    Parsed parsed(html);
    const GumboNode* root = parsed.output->root;
    const GumboElement* head = parsed.Child(root, GUMBO_TAG_HEAD);
    size_t at = std::string::npos;
    if (head && head->original_tag.length > 0)
        at = head->start_pos.offset + head->original_tag.length;
    else if (root->v.element.original_tag.length > 0)
        at = root->v.element.start_pos.offset + root->v.element.original_tag.length;
    else if (!parsed.output->document->v.document.has_doctype)
        at = 0;
    if (at != std::string::npos && at <= html.size())
        html.insert(at, "<meta charset=\"utf-8\">");
}

// The page's text in UTF-8, whatever the server sent: a byte-order mark
// first, then the HTTP charset, then the head's; undeclared text that is
// not UTF-8 is read as windows-1252, as browsers read it.
std::string DecodePage(const std::string& bytes, const std::string& contentType)
{
    std::string utf8;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        utf8 = ValidUtf8(bytes.substr(3));
    else if (bytes.starts_with("\xFF\xFE") && CPageHtml::ToUtf8(bytes, CPageHtml::kUtf16, &utf8))
        utf8 = ValidUtf8(utf8);
    else if (bytes.starts_with("\xFE\xFF") && CPageHtml::ToUtf8(bytes, std::string("utf-16be"), &utf8))
        utf8 = ValidUtf8(utf8);
    else {
        std::string charset = CharsetParameter(contentType);
        if (charset.empty())
            charset = MetaCharset(bytes);
        if (charset.empty() || !CPageHtml::ToUtf8(bytes, charset, &utf8))
            utf8 = CUnicodeTool::IsValidUtf8(bytes) || !CPageHtml::ToUtf8(bytes, std::string("windows-1252"), &utf8)
                       ? bytes
                       : utf8;
        utf8 = ValidUtf8(utf8);
    }
    DeclareUtf8(utf8);
    return utf8;
}

// A stylesheet in UTF-8, its @charset rule saying so.
std::string DecodeCss(const std::string& bytes, const std::string& contentType)
{
    std::string css = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    std::string charset = CharsetParameter(contentType);
    constexpr std::string_view kRule = "@charset \"";
    const size_t close = css.starts_with(kRule) ? css.find('"', kRule.size()) : std::string::npos;
    if (close != std::string::npos) {
        if (charset.empty())
            charset = css.substr(kRule.size(), close - kRule.size());
        css.replace(kRule.size(), close - kRule.size(), "utf-8");
    }
    std::string utf8;
    if (!charset.empty() && Lower(charset) != "utf-8" && CPageHtml::ToUtf8(css, charset, &utf8))
        return utf8;
    return css;
}

std::string Escaped(const std::string& name)
{
    gchar* escaped = g_uri_escape_string(name.c_str(), nullptr, TRUE);
    std::string out(escaped);
    g_free(escaped);
    return out;
}

std::string MiB(int64_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

// One resource of the page, fetched once whatever refers to it.
struct Resource {
    std::string url;  // absolute, without fragment
    bool css = false;
    int depth = 0;
    enum State { Waiting, Running, Done, Failed } state = Waiting;
    std::string name;    // in the assets folder, once fetched
    std::string reason;  // why it failed
    std::string finalUrl;
    std::string contentType;
    std::string body;  // the page and stylesheets, kept to be rewritten
};

// Fetches resources a few at a time over one libcurl multi handle, whose
// connection cache lets the transfers reuse connections. Each finished
// resource is written to the assets folder at once; stylesheets and the
// page are kept in memory until their references are known.
class Fetcher {
public:
    Fetcher(const CCapture::CLimits& limits, std::string assets, const CCapture::Progress& progress,
            std::stop_token stop)
        : m_limits(limits), m_assets(std::move(assets)), m_progress(progress), m_stop(std::move(stop))
    {
        m_multi = curl_multi_init();
        const int count = std::max(1, limits.connections);
        for (int i = 0; i < count && m_multi; ++i)
            m_slots.push_back(std::make_unique<Slot>(this));
        if (m_multi)
            curl_multi_setopt(m_multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(count));
    }
    ~Fetcher()
    {
        for (auto& slot : m_slots) {
            if (slot->resource >= 0 && slot->session->Get())
                curl_multi_remove_handle(m_multi, slot->session->Get());
        }
        m_slots.clear();
        if (m_multi)
            curl_multi_cleanup(m_multi);
        if (m_assetsFd >= 0)
            close(m_assetsFd);
    }
    Fetcher(const Fetcher&) = delete;
    Fetcher& operator=(const Fetcher&) = delete;

    bool IsReady() const
    {
        return m_multi && std::all_of(m_slots.begin(), m_slots.end(), [](auto& s) { return s->session->Get(); });
    }

    // The index of the resource at `url` (made when new), or -1 when the
    // page has too many.
    int Add(const std::string& url, bool css, int depth)
    {
        if (auto it = m_index.find(url); it != m_index.end())
            return it->second;
        if (static_cast<int>(m_resources.size()) > m_limits.maxResources)
            return -1;
        Resource r;
        r.url = url;
        r.css = css;
        r.depth = depth;
        m_resources.push_back(std::move(r));
        m_index.emplace(url, static_cast<int>(m_resources.size()) - 1);
        return static_cast<int>(m_resources.size()) - 1;
    }
    int Find(const std::string& url) const
    {
        auto it = m_index.find(url);
        return it == m_index.end() ? -1 : it->second;
    }

    void SetReferer(const std::string& referer) { m_referer = referer; }

    // Fetches every resource added until none is left, those that
    // stylesheets add included; false when stopped.
    bool Run()
    {
        std::stop_callback wake(m_stop, [multi = m_multi] { curl_multi_wakeup(multi); });
        for (;;) {
            if (m_stop.stop_requested())
                return false;
            int busy = 0;
            for (auto& slot : m_slots) {
                while (slot->resource < 0 && m_next < m_resources.size())
                    Start(*slot, static_cast<int>(m_next++));
                busy += slot->resource >= 0;
            }
            if (busy == 0)
                return true;
            int running = 0;
            if (curl_multi_perform(m_multi, &running) != CURLM_OK)
                return FailAll();
            bool finished = false;
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
                if (msg->msg != CURLMSG_DONE)
                    continue;
                for (auto& slot : m_slots) {
                    if (slot->resource >= 0 && slot->session->Get() == msg->easy_handle) {
                        Finish(*slot, msg->data.result);
                        finished = true;
                        break;
                    }
                }
            }
            if (!finished && curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr) != CURLM_OK)
                return FailAll();
        }
    }

    std::vector<Resource>& Resources() { return m_resources; }
    int64_t Received() const { return m_received; }

    // Writes `bytes` as the new file `name` of the assets folder, which is
    // made on first use. The name is one plain entry (CAssetName), and the
    // file is made new, never through a link.
    bool WriteAsset(const std::string& name, const std::string& bytes)
    {
        if (m_assetsFd < 0) {
            if (mkdir(m_assets.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
            m_assetsFd = open(m_assets.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (m_assetsFd < 0)
                return false;
        }
        int fd = openat(m_assetsFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        bool ok = true;
        for (size_t at = 0; ok && at < bytes.size();) {
            ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
            ok = n > 0 || (n < 0 && errno == EINTR);
            at += n > 0 ? size_t(n) : 0;
        }
        return close(fd) == 0 && ok;
    }

    // A free name for resource `r` from its address and type.
    std::string Claim(const Resource& r)
    {
        std::string type = r.css && Lower(r.contentType).find("css") == std::string::npos ? "text/css" : r.contentType;
        return m_names.Claim(CAssetName::WithExtension(CAssetName::FromUrl(r.url), type));
    }

private:
    struct Slot {
        explicit Slot(Fetcher* fetcher) : owner(fetcher), session(std::make_unique<CCurlSession>(fetcher->m_stop))
        {
            CURL* easy = session->Get();
            if (!easy)
                return;
            const CCapture::CLimits& l = owner->m_limits;
            curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
            curl_easy_setopt(easy, CURLOPT_MAXREDIRS, l.maxRedirects);
            curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, l.connectSeconds);
            curl_easy_setopt(easy, CURLOPT_TIMEOUT, l.transferSeconds);
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, l.stallSeconds);
            curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(l.maxResourceBytes));
            curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
            curl_easy_setopt(easy, CURLOPT_USERAGENT, "Mozilla/5.0 (X11; Linux x86_64) Zandrel/2.0");
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Slot::OnBody);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        }

        static size_t OnBody(char* data, size_t size, size_t count, void* self)
        {
            Slot& slot = *static_cast<Slot*>(self);
            const size_t n = size * count;
            const CCapture::CLimits& l = slot.owner->m_limits;
            if (int64_t(slot.body.size() + n) > l.maxResourceBytes) {
                slot.tooBig = true;
                return 0;
            }
            if (slot.owner->m_received + int64_t(n) > l.maxPageBytes) {
                slot.pageFull = true;
                return 0;
            }
            try {
                slot.body.append(data, n);
            } catch (...) {
                return 0;
            }
            slot.owner->m_received += int64_t(n);
            return n;
        }

        Fetcher* owner;
        std::unique_ptr<CCurlSession> session;
        int resource = -1;
        std::string body;
        bool tooBig = false;
        bool pageFull = false;
    };

    void Start(Slot& slot, int index)
    {
        Resource& r = m_resources[size_t(index)];
        CURL* easy = slot.session->Get();
        slot.body.clear();
        slot.tooBig = slot.pageFull = false;
        curl_easy_setopt(easy, CURLOPT_URL, r.url.c_str());
        curl_easy_setopt(easy, CURLOPT_REFERER, m_referer.empty() ? nullptr : m_referer.c_str());
        if (curl_multi_add_handle(m_multi, easy) != CURLM_OK) {
            r.state = Resource::Failed;
            r.reason = "could not be started";
            Done();
            return;
        }
        r.state = Resource::Running;
        slot.resource = index;
    }

    void Finish(Slot& slot, CURLcode code)
    {
        Resource& r = m_resources[size_t(slot.resource)];
        CURL* easy = slot.session->Get();
        long status = 0;
        char* type = nullptr;
        char* effective = nullptr;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type);
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
        r.contentType = type ? type : "";
        r.finalUrl = effective ? effective : r.url;
        curl_multi_remove_handle(m_multi, easy);
        slot.resource = -1;
        r.state = Resource::Failed;
        if (slot.tooBig || code == CURLE_FILESIZE_EXCEEDED)
            r.reason = "larger than " + MiB(m_limits.maxResourceBytes);
        else if (slot.pageFull)
            r.reason = "the page's limit of " + MiB(m_limits.maxPageBytes) + " was reached";
        else if (code != CURLE_OK)
            r.reason = curl_easy_strerror(code);
        else if (status < 200 || status > 299)
            r.reason = "HTTP status " + std::to_string(status);
        else
            r.state = Resource::Done;
        if (r.state == Resource::Done && (r.css || &r == &m_resources.front())) {
            r.body = std::move(slot.body);
        } else if (r.state == Resource::Done) {
            r.name = Claim(r);
            if (!WriteAsset(r.name, slot.body)) {
                r.state = Resource::Failed;
                r.reason = "could not be written";
            }
        }
        slot.body = std::string();
        if (r.state == Resource::Done && r.css)
            m_onCss(static_cast<int>(&r - m_resources.data()));
        Done();
    }

    void Done()
    {
        ++m_done;
        if (m_progress)
            m_progress(m_done, static_cast<int>(m_resources.size()));
    }

    // After the transfer driver itself failed: what is left stays remote.
    bool FailAll()
    {
        for (auto& slot : m_slots) {
            if (slot->resource >= 0)
                curl_multi_remove_handle(m_multi, slot->session->Get());
            slot->resource = -1;
        }
        for (Resource& r : m_resources) {
            if (r.state == Resource::Waiting || r.state == Resource::Running) {
                r.state = Resource::Failed;
                r.reason = "the transfers could not be driven";
            }
        }
        m_next = m_resources.size();
        return true;
    }

public:
    // Called with each stylesheet fetched, to add what it refers to.
    std::function<void(int)> m_onCss;

private:
    const CCapture::CLimits& m_limits;
    std::string m_assets;
    const CCapture::Progress& m_progress;
    std::stop_token m_stop;
    CURLM* m_multi = nullptr;
    std::vector<std::unique_ptr<Slot>> m_slots;
    std::vector<Resource> m_resources;
    std::unordered_map<std::string, int> m_index;
    size_t m_next = 0;
    int m_done = 0;
    int64_t m_received = 0;
    std::string m_referer;
    CAssetNameSet m_names;
    int m_assetsFd = -1;
};

// The capture of one page: the fetcher, and what the page and its
// stylesheets refer to.
struct Capturer {
    const CCapture::CLimits& limits;
    Fetcher fetcher;
    CCapture::CResult result;
    std::vector<CCapture::CFailure> refused;  // resources past the count limit

    // Adds the resource `ref` asks for, resolved against `base`.
    void Want(const CPageRef& ref, const std::string& base, int depth)
    {
        const FetchAs as = FetchKind(ref.kind);
        if (as == FetchAs::No || ref.url.starts_with("#"))
            return;
        std::string fragment;
        const std::string url = SplitFragment(CCaptureUrl::Resolve(base, ref.url), &fragment);
        if (url.empty() || !CCaptureUrl::MayFetch(url))
            return;
        const bool css = as == FetchAs::Css;
        // Imports nested deeper than this stay remote (one that imports
        // itself is fetched once, like any address).
        if (css && depth > limits.cssDepth)
            return;
        if (fetcher.Add(url, css, depth) < 0 && refused.size() < 100)
            refused.push_back({url, "the page has too many resources"});
    }

    // `text` with its references pointing into the assets folder (through
    // `prefix`) where the resource was fetched, and relative addresses of
    // the web made absolute so that they still lead there offline.
    std::string Rewrite(const std::string& text, const std::vector<CPageRef>& refs, const std::string& base,
                        const std::string& prefix)
    {
        std::vector<CRefReplacement> replacements;
        for (const CPageRef& ref : refs) {
            if (ref.kind == Kind::Base) {
                // Addresses of the page now resolve against its own file.
                replacements.push_back({ref, "./"});
                continue;
            }
            if (ref.url.starts_with("#"))
                continue;
            const std::string absolute = CCaptureUrl::Resolve(base, ref.url);
            if (absolute.empty() || !CCaptureUrl::MayFetch(absolute))
                continue;  // file:, javascript:, data: and the rest stay as written
            std::string fragment;
            const int index = fetcher.Find(SplitFragment(absolute, &fragment));
            const Resource* r = index >= 0 ? &fetcher.Resources()[size_t(index)] : nullptr;
            if (FetchKind(ref.kind) != FetchAs::No && r && r->state == Resource::Done && !r->name.empty())
                replacements.push_back({ref, prefix + Escaped(r->name) + fragment});
            else if (CCaptureUrl::Scheme(ref.url).empty())
                replacements.push_back({ref, absolute});
        }
        std::string out;
        return CRefRewrite::Apply(text, std::move(replacements), &out) ? out : text;
    }
};

}  // namespace

std::optional<CCapture::CPlan> CCapture::Prepare(CFolderTreeMgr& tree, RNode* folder, const std::u16string& url,
                                                 std::u16string* error)
{
    std::string address = Trimmed(U8(url));
    if (!address.empty() && CCaptureUrl::Scheme(address).empty())
        address = "https://" + address;
    if (!CCaptureUrl::MayFetch(address)) {
        *error = u"Only web addresses (http:// or https://) can be captured.";
        return std::nullopt;
    }
    CPlan plan;
    plan.url = address;
    std::u16string relative;
    if (!folder || folder->GetType() != NT_FOLDER || !tree.IsFolderInside(folder, false) ||
        !tree.GetRelativePath(folder, &relative) || (plan.directory = tree.GetFolderDirectory(folder)).empty()) {
        *error = u"This folder cannot take pages.";
        return std::nullopt;
    }
    plan.directory = CFileSys::WithSlash(plan.directory);
    // In the folder's own directory, so that moving the page into place
    // is a rename on one file system; hidden, so that no view lists it.
    std::string staging = CFileSys::Native(plan.directory + CUnicodeTool::FromUtf8(std::string(CStaging::kCapturePrefix) + "XXXXXX"));
    if (!mkdtemp(staging.data())) {
        *error = u"No working folder could be made in " + plan.directory + u" " + CFileSys::ErrorCode(errno);
        return std::nullopt;
    }
    plan.staging = CFileSys::FromNative(staging) + u"/";
    return plan;
}

CCapture::CResult CCapture::Fetch(const CPlan& plan, const CLimits& limits, const Progress& progress,
                                  std::stop_token stop)
{
    const std::string staging = CFileSys::Native(plan.staging) + "/";
    Capturer capture{limits, Fetcher(limits, staging + kStagedAssets, progress, stop), {}, {}};
    Fetcher& fetcher = capture.fetcher;
    CResult& result = capture.result;
    if (!fetcher.IsReady()) {
        result.error = u"The transfers could not be set up.";
        return result;
    }
    fetcher.m_onCss = [&](int index) {
        Resource& css = fetcher.Resources()[size_t(index)];
        css.body = DecodeCss(css.body, css.contentType);
        const int depth = css.depth;
        const std::string base = css.finalUrl;
        for (const CPageRef& ref : CCssRefs::Find(fetcher.Resources()[size_t(index)].body))
            capture.Want(ref, base, depth + 1);
    };

    // The page first: what it refers to is only known from it.
    fetcher.Add(plan.url, false, 0);
    if (!fetcher.Run()) {
        result.state = CANCELLED;
        return result;
    }
    Resource page = fetcher.Resources().front();
    if (page.state != Resource::Done) {
        result.error = U16("The page could not be fetched: " + page.reason + ".");
        return result;
    }
    const std::string type = Lower(Trimmed(page.contentType.substr(0, page.contentType.find(';'))));
    if (!type.empty() && type != "text/html" && type != "application/xhtml+xml") {
        result.error = U16("The address gives " + type + ", not a web page.");
        return result;
    }
    std::string html = DecodePage(page.body, page.contentType);
    fetcher.Resources().front().body.clear();
    if (GUri* uri = g_uri_parse(page.finalUrl.c_str(), G_URI_FLAGS_PARSE_RELAXED, nullptr)) {
        result.host = g_uri_get_host(uri) ? g_uri_get_host(uri) : "";
        g_uri_unref(uri);
    }
    result.title = CImport::TitleOf(html);

    const std::vector<CPageRef> refs = CHtmlRefs::Find(html);
    const std::string base = CCaptureUrl::DocumentBase(page.finalUrl, refs);
    for (const CPageRef& ref : refs)
        capture.Want(ref, base, 1);
    fetcher.SetReferer(page.finalUrl);
    if (!fetcher.Run()) {
        result.state = CANCELLED;
        return result;
    }

    // Stylesheets point at their neighbours in the assets folder.
    std::vector<Resource>& resources = fetcher.Resources();
    for (Resource& r : resources) {
        if (r.css && r.state == Resource::Done)
            r.name = fetcher.Claim(r);  // all first: stylesheets name each other
    }
    for (size_t i = 1; i < resources.size(); ++i) {
        Resource& r = resources[i];
        if (!r.css || r.state != Resource::Done)
            continue;
        if (!fetcher.WriteAsset(r.name, capture.Rewrite(r.body, CCssRefs::Find(r.body), r.finalUrl, ""))) {
            r.state = Resource::Failed;
            r.reason = "could not be written";
        }
        r.body = std::string();
    }
    for (size_t i = 1; i < resources.size(); ++i) {
        if (resources[i].state == Resource::Done)
            ++result.fetched;
        else
            result.failed.push_back({resources[i].url, resources[i].reason});
    }
    result.failed.insert(result.failed.end(), capture.refused.begin(), capture.refused.end());
    result.bytes = fetcher.Received();

    html = capture.Rewrite(html, refs, base, std::string(kStagedAssets) + "/");
    std::optional<std::u16string> note = CEditorText::GetSourceNoteForUrl(U16(plan.url));
    html = CImport::Rewrite(html, "", "", note ? U8(*note) : "");
    if (!CFileSys::WriteWholeFile(plan.staging + U16(kStagedPage), html)) {
        result.error = u"The page could not be written to " + plan.staging + u".";
        return result;
    }
    result.state = DONE;
    return result;
}

namespace {

bool MoveNew(const std::string& from, const std::string& to, int* error)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    *error = errno;
    return false;
}

// The staging folder where it is now: it moves with its folder when the
// folder is renamed or moved meanwhile. Empty when the folder is gone.
std::u16string FindStaging(CFolderTreeMgr& tree, RNode* folder, const CCapture::CPlan& plan,
                           std::u16string* directory)
{
    std::vector<RNode*> folders = tree.GetAllFolders();
    if (!folder || std::find(folders.begin(), folders.end(), folder) == folders.end() ||
        !tree.IsFolderInside(folder, false) || !plan.staging.starts_with(plan.directory))
        return {};
    *directory = tree.GetFolderDirectory(folder);
    if (directory->empty())
        return {};
    *directory = CFileSys::WithSlash(*directory);
    std::u16string staging = *directory + plan.staging.substr(plan.directory.size());
    return CFileSys::IsDirectory(staging) ? staging : std::u16string();
}

bool CommitStaged(CFolderTreeMgr& tree, RNode* folder, const std::u16string& directory, const std::u16string& staged,
                  const CCapture::CResult& result, std::u16string* title, std::u16string* error)
{
    if (result.state != CCapture::DONE) {
        *error = u"The capture did not finish.";
        return false;
    }
    if (staged.empty()) {
        *error = u"The folder is gone; the page was not added.";
        return false;
    }
    const std::string staging = CFileSys::Native(staged) + "/";
    std::ifstream in(staging + CCapture::kStagedPage, std::ios::binary);
    std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        *error = u"The captured page could not be read.";
        return false;
    }
    CColctNode* colct = tree.EnsureColct(folder);
    if (!colct) {
        *error = u"The folder's collection could not be made.";
        return false;
    }
    std::u16string name = CImport::PageTitle(result.title, U16(result.host));
    name = name.empty() ? name : CImport::FreeTitle(colct, directory, name);
    if (name.empty()) {
        *error = u"No free title for the page in the folder.";
        return false;
    }
    const std::string stagedAssets = staging + CCapture::kStagedAssets;
    const std::string assets = CFileSys::Native(directory + name + u"_files");
    const std::string pageFile = CFileSys::Native(directory + name + u".htm");
    const bool hasAssets = fs::is_directory(stagedAssets);
    if (hasAssets)
        html = CImport::Rewrite(html, CCapture::kStagedAssets, U8(name) + "_files", "");
    int code = 0;
    if (!CFileSys::WriteWholeFile(staged + U16(CCapture::kStagedPage), html, &code) ||
        (hasAssets && !MoveNew(stagedAssets, assets, &code))) {
        *error = u"The page could not be written into the folder. " + CFileSys::ErrorCode(code);
        return false;
    }
    if (!MoveNew(staging + CCapture::kStagedPage, pageFile, &code)) {
        if (hasAssets)
            MoveNew(assets, stagedAssets, &code);
        *error = u"The page could not be moved into the folder. " + CFileSys::ErrorCode(code);
        return false;
    }
    CUrlNode* item = CImport::AddPageItem(colct, name);
    if (!item || !tree.SaveColct(colct)) {
        if (item) {
            RNode* record = item->GetRNode();
            RNTool::RemoveOneChild(colct->GetLocRNodeRoot(), record);
            RNode::Delete(record);
            CBaseNode::Delete(item);
        }
        std::error_code ignored;
        fs::remove(pageFile, ignored);
        fs::remove_all(assets, ignored);
        *error = u"The folder's collection could not be saved; the page was not added.";
        return false;
    }
    *title = name;
    return true;
}

}  // namespace

bool CCapture::Commit(CFolderTreeMgr& tree, RNode* folder, const CPlan& plan, const CResult& result,
                      std::u16string* title, std::u16string* error)
{
    std::u16string why, directory;
    const std::u16string staging = FindStaging(tree, folder, plan, &directory);
    const bool done = CommitStaged(tree, folder, directory, staging, result, title, &why);
    Discard(plan);
    if (!staging.empty())
        Discard({plan.url, directory, staging});
    if (!done && error)
        *error = why;
    return done;
}

void CCapture::Discard(CFolderTreeMgr& tree, RNode* folder, const CPlan& plan)
{
    std::u16string directory;
    const std::u16string staging = FindStaging(tree, folder, plan, &directory);
    if (!staging.empty())
        Discard({plan.url, directory, staging});
    Discard(plan);
}

void CCapture::Discard(const CPlan& plan)
{
    if (plan.staging.empty())
        return;
    std::error_code ignored;
    fs::remove_all(CFileSys::Native(plan.staging), ignored);
}
