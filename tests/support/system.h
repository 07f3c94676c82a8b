// What tests need to know or undo of the system they run on.
#ifndef KX_TESTS_SYSTEM_H
#define KX_TESTS_SYSTEM_H

#include <string>

// Whether the tests run under wine. Wine's ReadDirectoryChangesW reports no
// change below the watched folder's own entries, so the tests of a watched
// tree skip themselves there; on Windows and Linux they run.
bool RunningUnderWine();

// Removes a shared section's name (POSIX names outlive their openers;
// Windows ones go with their last handle).
void RemoveSharedSection(const std::string& sName);

// A new folder of this account's, in the system's temporary folder, named
// sPrefix and a unique ending; its path with '/' between folders.
std::string MakeTemporaryFolder(const std::string& sPrefix);

#endif  // KX_TESTS_SYSTEM_H
