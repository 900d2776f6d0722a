#pragma once

#include <string>
#include <string_view>

#include "base/ZandrelExport.h"

// Text made safe for the place in a page it goes into. Each kind turns its
// own set of characters into what that place reads back as the character
// (a dash: left as it is):
//
//   kind       &      <     >     "       '      \     %     #
//   Text       &amp;  &lt;  &gt;  &quot;  -      -     -     -
//   Pre        -      &lt;  &gt;  -       -      -     -     -
//   Value      &amp;  &lt;  &gt;  &#34;   &#39;  -     -     -
//   Link       &amp;  &lt;  &gt;  &quot;  -      -     %25   %23
//   Script     &amp;  &lt;  &gt;  &#34;   \'     \\    %25   -
//   Src        &amp;  -     -     &quot;  -      -     -     -
//   SrcSingle  &amp;  -     -     &quot;  &#39;  -     -     -
//
// Text: element text and double-quoted attributes. Pre: preformatted text
// whose "&" sequences are meant. Value: an attribute in either quote. Link:
// an address in a krv: link, whose command URL-decodes it and where "#"
// would end it. Script: a single-quoted script string inside a javascript:
// address in an attribute. Src, SrcSingle: an address rewritten inside an
// existing double- or single-quoted (or bare) src, changing no more than
// it must.
class ZANDREL_API CHtmlEscape {
public:
    enum Kind : int { Text, Pre, Value, Link, Script, Src, SrcSingle };

    static std::u16string Escape(std::u16string_view text, Kind kind);
    static void Append(std::u16string& out, std::u16string_view text, Kind kind);
    // UTF-8 text: only ASCII characters are escaped, so sequences stay whole.
    static std::string Escape(std::string_view text, Kind kind);

    // `text` as a double-quoted script string for code handed to a page
    // view, which nothing can leave or end early: quotes, backslashes,
    // angle brackets and line breaks of any kind become \u escapes; the
    // rest stays as UTF-8.
    static std::string ScriptString(std::u16string_view text);
};
