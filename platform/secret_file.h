// Files that hold credentials (the directory bind file, the Exchange
// service account): read only when they are regular files of root's (or
// the worker's account; on Windows, SYSTEM's or the Administrators') that
// no one else can read or write.
#ifndef KX_PLATFORM_SECRET_FILE_H
#define KX_PLATFORM_SECRET_FILE_H

#include <map>
#include <string>

// The "name=value" lines of the file (a trailing CR dropped); false, with
// the reason, when the file is missing, unsafe, too large or unreadable.
bool ReadSecretFile(const std::string& sPath, std::map<std::string, std::string>& values, std::string& sWhyNot);

// The "name=value" lines of a secret file's text.
void ParseSecretText(const std::string& sText, std::map<std::string, std::string>& values);

#endif  // KX_PLATFORM_SECRET_FILE_H
