#include "tests/support/redis_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/support/test_servers.h"

namespace {

std::string RedisServerProgram() {
    for (const char* pszPath : {"/usr/bin/redis-server", "/usr/sbin/redis-server"})
        if (::access(pszPath, X_OK) == 0) return pszPath;
    return "redis-server";
}

}  // namespace

CRedisServer::CRedisServer() {
    char szFolder[] = "/tmp/kx-redis-XXXXXX";
    if (::mkdtemp(szFolder) == nullptr) throw std::runtime_error("no temporary folder for redis-server");
    m_sFolder = szFolder;
    for (int nAttempt = 0; nAttempt < 3 && m_pid < 0; ++nAttempt) {
        m_nPort = FreeLoopbackPort();
        const pid_t pid = Spawn({RedisServerProgram(), "--port", std::to_string(m_nPort), "--bind", "127.0.0.1",
                                 "--save", "", "--appendonly", "no", "--dir", m_sFolder, "--daemonize", "no"},
                                m_sFolder + "/redis.log");
        for (int nWait = 0; nWait < 200; ++nWait) {
            if (Accepts(m_nPort)) {
                m_pid = pid;
                break;
            }
            int nStatus = 0;
            if (::waitpid(pid, &nStatus, WNOHANG) == pid) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        if (m_pid < 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    if (m_pid < 0) {
        std::filesystem::remove_all(m_sFolder);
        throw std::runtime_error("redis-server did not start (is it installed?)");
    }
}

void CRedisServer::Kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

void CRedisServer::Pause() {
    if (m_pid > 0) ::kill(m_pid, SIGSTOP);
}

void CRedisServer::Resume() {
    if (m_pid > 0) ::kill(m_pid, SIGCONT);
}

CRedisServer::~CRedisServer() {
    Resume();
    Kill();
    std::error_code error;
    std::filesystem::remove_all(m_sFolder, error);
}
