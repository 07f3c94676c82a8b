// Whether the tests run under wine. Wine's ReadDirectoryChangesW reports no
// change below the watched folder's own entries, so the tests of a watched
// tree skip themselves there; on Windows and Linux they run.
#ifndef KX_TESTS_WINE_H
#define KX_TESTS_WINE_H

bool RunningUnderWine();

#endif  // KX_TESTS_WINE_H
