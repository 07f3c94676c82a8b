#include "tests/support/node_script.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

bool RunNode(const std::string& sProgram, std::string& sOutput) {
    char szPath[] = "/tmp/kx-node-XXXXXX";
    const int fd = mkstemp(szPath);
    if (fd < 0) return false;
    close(fd);
    {
        std::ofstream file(szPath, std::ios::binary);
        file << sProgram;
    }
    sOutput.clear();
    FILE* pPipe = popen(("node " + std::string(szPath) + " 2>&1").c_str(), "r");
    if (pPipe == nullptr) {
        unlink(szPath);
        return false;
    }
    char buffer[4096];
    for (size_t cb; (cb = fread(buffer, 1, sizeof(buffer), pPipe)) > 0;) sOutput.append(buffer, cb);
    const int nStatus = pclose(pPipe);
    unlink(szPath);
    return nStatus != -1 && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}
