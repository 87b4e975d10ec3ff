// Where the host stand-in and Wine differ, a test says so with a marker that
// names the difference, the way Wine's own tests use todo_wine and broken().
//
// HOST_ONLY("difference"), as the condition of an #if: what follows up to
// the #endif needs something only the stand-in has (its fault switches, its
// records of calls a program under Wine cannot see), so it is built for the
// host only. Including this header brings in those controls there.
//
//     #if HOST_ONLY("fault switches: Wine cannot make a chosen call fail")
//
// WINE_GIVES("difference", condition), inside a check: the other result that
// Wine gives where the stand-in keeps to what Windows 95/98 does. Under Wine
// it is the condition; on the host it is false, so the stand-in must give
// the first result.
//
//     EXPECT_TRUE(text == kept || WINE_GIVES("...", text == rewritten));
#pragma once

#ifdef _WIN32
#define BRIVANTA_ON_HOST 0
#else
#define BRIVANTA_ON_HOST 1
#include "platform/host_testing.h"
#endif

#define HOST_ONLY(difference) BRIVANTA_ON_HOST
#define WINE_GIVES(difference, condition)                                                          \
    (static_cast<void>(difference), !BRIVANTA_ON_HOST && (condition))
