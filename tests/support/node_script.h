// Runs a JavaScript program with node, a real engine, for checking the
// scripts the worker puts into pages.
#ifndef KX_TESTS_NODE_SCRIPT_H
#define KX_TESTS_NODE_SCRIPT_H

#include <string>

// Runs sProgram; its standard output and error in sOutput. False when node
// cannot be started or the program fails (a syntax error included).
bool RunNode(const std::string& sProgram, std::string& sOutput);

#endif  // KX_TESTS_NODE_SCRIPT_H
