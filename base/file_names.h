// File-name rules for names that come from settings.
#ifndef KX_BASE_FILE_NAMES_H
#define KX_BASE_FILE_NAMES_H

#include <string>

// Trims blanks at both ends and replaces \ / : " ? * < > | with '_'.
void CleanFileName(std::string& sName);

// Trims blanks at both ends; false for the reserved device names (AUX, CON,
// NUL, PRN, CLOCKS$) and for a name whose first "COM" or "LPT" is followed
// by a digit and a '.'.
bool IsValidFileName(std::string& sName);

#endif  // KX_BASE_FILE_NAMES_H
