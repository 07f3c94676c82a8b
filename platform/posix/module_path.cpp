#include "platform/module_path.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

std::string GetOwnModuleFileName() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetOwnModuleFileName), &info) == 0 || info.dli_fname == nullptr)
        return {};
    char szResolved[PATH_MAX];
    if (realpath(info.dli_fname, szResolved) == nullptr) return info.dli_fname;
    return szResolved;
}
