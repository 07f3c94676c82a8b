// A real Redis for tests: redis-server on a free loopback port, without
// persistence, stopped on destruction (or earlier, to test an outage).
#ifndef KX_TESTS_REDIS_SERVER_H
#define KX_TESTS_REDIS_SERVER_H

#include <sys/types.h>

#include <string>

class CRedisServer {
public:
    // Throws std::runtime_error when it cannot start.
    CRedisServer();
    ~CRedisServer();
    CRedisServer(const CRedisServer&) = delete;
    CRedisServer& operator=(const CRedisServer&) = delete;

    int Port() const { return m_nPort; }
    std::string Uri() const { return "redis://127.0.0.1:" + std::to_string(m_nPort); }
    // Kills the server at once (SIGKILL), as a crash would.
    void Kill();
    // Suspends (SIGSTOP) or resumes it: connections stay open, nothing answers.
    void Pause();
    void Resume();

private:
    std::string m_sFolder;
    int m_nPort = 0;
    pid_t m_pid = -1;
};

#endif  // KX_TESTS_REDIS_SERVER_H
