// References of pages and stylesheets. The input is a page (or, with a
// first byte 'c', a stylesheet). Ranges must lie in the text in order
// without overlapping, and a page whose every reference is rewritten to
// the address it already means must list the same addresses again.
#include <string>
#include <vector>

#include "FuzzUtil.h"
#include "app/capture/CAssetName.h"
#include "app/capture/CCssRefs.h"
#include "app/capture/CHtmlRefs.h"

namespace {

std::vector<CPageRef> Find(bool css, const std::string& text)
{
    return css ? CCssRefs::Find(text) : CHtmlRefs::Find(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool css = data[0] == 'c';
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<CPageRef> refs = Find(css, text);
    std::vector<CRefReplacement> same;
    size_t at = 0;
    for (const CPageRef& ref : refs) {
        FUZZ_REQUIRE(at <= ref.begin && ref.begin < ref.end && ref.end <= text.size());
        at = ref.end;
        same.push_back({ref, ref.url});
        // Any address gives one plain entry of the assets folder.
        const std::string name = CAssetName::FromUrl(ref.url);
        FUZZ_REQUIRE(!name.empty() && name.size() <= CAssetName::kMaxBytes && name[0] != '.' &&
                     name.find('/') == std::string::npos && name.find('\\') == std::string::npos);
    }
    std::string rewritten;
    FUZZ_REQUIRE(CRefRewrite::Apply(text, same, &rewritten));
    const std::vector<CPageRef> again = Find(css, rewritten);
    FUZZ_REQUIRE(again.size() == refs.size());
    for (size_t i = 0; i < refs.size(); ++i) {
        // Control characters come back percent-encoded, and in srcset
        // addresses blanks and commas too.
        bool encoded = refs[i].kind == CPageRef::Kind::SrcSet;
        for (char c : refs[i].url)
            encoded = encoded || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        FUZZ_REQUIRE(again[i].kind == refs[i].kind && (encoded || again[i].url == refs[i].url));
    }
    return 0;
}
