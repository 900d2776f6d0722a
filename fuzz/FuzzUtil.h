#pragma once

#include <cstdlib>

#include "base/tools/CSysString.h"

// A reader must never fail on what a writer produced from the reader's own
// result: a round trip that does not load again is a fault.
#define FUZZ_REQUIRE(condition) \
    do {                        \
        if (!(condition))       \
            std::abort();       \
    } while (0)

// Loads the input into `Reader`, then writes what was read with `Writer`
// and loads that again. `detach` takes the result, `give` hands it to the
// writer and `drop` releases it.
template <typename Reader, typename Writer, typename Detach, typename Give, typename Drop>
void RoundTrip(const unsigned char* data, size_t size, Detach detach, Give give, Drop drop)
{
    Reader reader;
    if (!reader.LoadXML(data, static_cast<long>(size)))
        return;
    auto* result = detach(reader);
    if (!result)
        return;
    Writer writer;
    give(writer, result);
    char16_t* text = writer.GetXMLBSTR();
    if (text) {
        Reader again;
        FUZZ_REQUIRE(again.LoadBSTRXML(text));
        auto* second = detach(again);
        FUZZ_REQUIRE(second != nullptr);
        drop(second);
        CSysString::Free(text);
    }
    drop(result);
}
