#pragma once

// One reference of a page or stylesheet to another resource, where its
// text lies in the original bytes, and the in-place rewrite that points
// references at other addresses. Shared by capture, import, paste and
// export: all of them only list references and rewrite some, so the rest
// of a page stays byte for byte as it was, never re-serialised.
//
// Texts are UTF-8 throughout: page files and stylesheets are UTF-8 bytes,
// and positions are byte offsets into them.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct CPageRef {
    // What refers; the caller decides from it what is fetched.
    enum class Kind {
        Image,       // img src, input type=image src, video poster
        SrcSet,      // one candidate of img or source srcset
        Media,       // source, video, audio, track, embed src; object data
        Stylesheet,  // link rel=stylesheet
        Icon,        // link rel=icon, shortcut icon, apple-touch-icon
        Script,      // script src
        Background,  // the legacy background attribute (body, table, td...)
        Frame,       // iframe or frame src: a page of its own
        Link,        // a or area href, other link rels: never fetched
        Base,        // base href: what the others resolve against
        CssUrl,      // url() in a stylesheet, <style> or style attribute
        CssImport,   // @import of a stylesheet
    };

    // How the raw text is enclosed, which decides how a new address is
    // written there: Text is a stylesheet or <style> element, the others
    // an attribute value in that quoting (a style attribute included).
    enum class Place { Text, DoubleQuoted, SingleQuoted, Unquoted };

    Kind kind = Kind::Link;
    Place place = Place::Text;
    // Raw bytes [begin, end) that a rewrite replaces: the attribute value
    // without its quotes, one srcset address, or a whole CSS "url(...)" or
    // @import string.
    size_t begin = 0;
    size_t end = 0;
    // The address as the document means it: entities and CSS escapes
    // decoded, surrounding white space removed.
    std::string url;

    bool IsCss() const { return kind == Kind::CssUrl || kind == Kind::CssImport; }
};

// A new address for one listed reference.
struct CRefReplacement {
    CPageRef ref;
    std::string url;
};

class CRefRewrite {
public:
    CRefRewrite() = delete;

    // `text` with each replacement's range holding its new address, written
    // escaped for its place (unquoted attribute values gain double quotes,
    // CSS gets a quoted url(), an @import a quoted string); every other
    // byte stays. Replacements may
    // come in any order. False, with `out` untouched, when a range lies
    // outside the text or two ranges overlap.
    static bool Apply(std::string_view text, std::vector<CRefReplacement> replacements, std::string* out);

    // The bytes written in place of `ref` for `url`.
    static std::string Written(const CPageRef& ref, std::string_view url);
};
