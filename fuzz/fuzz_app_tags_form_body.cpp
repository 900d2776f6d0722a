// Bodies the tags window posts: split at "&" into name=value pairs, each
// piece percent-decoded.
#include <algorithm>
#include <string>

#include "FuzzUtil.h"
#include "app/tags/CTagsWindowMgr.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::string body(reinterpret_cast<const char*>(data), size);
    CTagsWindowMgr::FormPairs pairs = CTagsWindowMgr::DecodeFormBody(body);
    // Every pair comes from its own piece, and a piece needs its "=".
    size_t pieces = static_cast<size_t>(std::count(body.begin(), body.end(), '&')) + 1;
    FUZZ_REQUIRE(pairs.size() <= pieces);
    FUZZ_REQUIRE(pairs.size() <= static_cast<size_t>(std::count(body.begin(), body.end(), '=')));
    for (const auto& pair : pairs)
        FUZZ_REQUIRE(!pair.second || !pair.second->empty());
    return 0;
}
