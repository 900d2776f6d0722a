#pragma once

// The library is built with hidden visibility; only classes marked with
// ZANDREL_API form its interface.
#if defined(__GNUC__)
#define ZANDREL_API __attribute__((visibility("default")))
#else
#define ZANDREL_API
#endif
