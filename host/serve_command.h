// kx-host serve: the reverse proxy on the command line.
#ifndef KX_HOST_SERVE_COMMAND_H
#define KX_HOST_SERVE_COMMAND_H

namespace kxhost {

// argv[0] is "serve"; the exit code. The defaults: the staged worker and
// the staged client files.
int RunServe(int argc, char** argv, const char* pszDefaultWorker, const char* pszDefaultClient);

}  // namespace kxhost

#endif  // KX_HOST_SERVE_COMMAND_H
