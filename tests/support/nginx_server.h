// The nginx package's binary on a loopback port with a scratch prefix and
// the module loaded: what the production host is, started for one test.
#ifndef KX_TESTS_NGINX_SERVER_H
#define KX_TESTS_NGINX_SERVER_H

#include <sys/types.h>

#include <string>

class CNginxServer {
public:
    // sHttp: the directives of the http block after the module's
    // kalyxa_worker and kalyxa_user_store, with "{PORT}" standing for the
    // listening port; sMain: more of the main context ("env NAME=value;").
    // Fails the test when nginx does not come up.
    CNginxServer(const std::string& sWorker, const std::string& sUserStore, const std::string& sHttp,
                 int nWorkerProcesses = 1, const std::string& sMain = "");
    ~CNginxServer();
    CNginxServer(const CNginxServer&) = delete;
    CNginxServer& operator=(const CNginxServer&) = delete;

    // Built with sanitizers, nginx runs as one process with their run-time
    // libraries preloaded (its workers cannot be separate processes then).
    static bool SingleProcess() { return KX_NGINX_PRELOAD[0] != '\0'; }

    int Port() const { return m_nPort; }
    bool Running() const { return m_pid > 0; }
    // The error log so far.
    std::string ErrorLog() const;
    // Sends a signal to the master process ("-s reload" is SIGHUP).
    void Signal(int nSignal) const;
    // Stops it gracefully (SIGQUIT) and waits; its exit status.
    int Stop();

private:
    std::string m_sPrefix;
    int m_nPort = 0;
    pid_t m_pid = -1;
};

#endif  // KX_TESTS_NGINX_SERVER_H
