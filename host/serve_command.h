// kx-host serve: the reverse proxy on the command line.
#ifndef KX_HOST_SERVE_COMMAND_H
#define KX_HOST_SERVE_COMMAND_H

#include <string>

namespace kxhost {

// argv[0] is "serve"; the exit code. The defaults: the staged worker and
// the staged client files.
int RunServe(int argc, char** argv, const char* pszDefaultWorker, const char* pszDefaultClient);
// The demo in a browser: the proxy at sListen in front of a small OWA
// look-alike serving the pages in sPages, for one user; the exit code.
int RunDemoServer(const std::string& sListen, const std::string& sWorker, const std::string& sClient,
                  const std::string& sPages);

}  // namespace kxhost

#endif  // KX_HOST_SERVE_COMMAND_H
