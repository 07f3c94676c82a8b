// Where the worker's own shared library lies.
#ifndef KX_PLATFORM_MODULE_PATH_H
#define KX_PLATFORM_MODULE_PATH_H

#include <string>

// Full file name of the module that holds this code (the worker library, or
// the executable when the code is linked statically), with '/' between
// folders on every system (Windows takes it as well); empty when unknown.
std::string GetOwnModuleFileName();

#endif  // KX_PLATFORM_MODULE_PATH_H
