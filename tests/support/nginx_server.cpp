#include "tests/support/nginx_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/test_servers.h"

namespace {

void ReplaceAll(std::string& sText, const std::string& sFrom, const std::string& sTo) {
    for (size_t nAt = sText.find(sFrom); nAt != std::string::npos; nAt = sText.find(sFrom, nAt + sTo.size()))
        sText.replace(nAt, sFrom.size(), sTo);
}

}  // namespace

CNginxServer::CNginxServer(const std::string& sWorker, const std::string& sUserStore, const std::string& sHttp,
                           int nWorkerProcesses, const std::string& sMain) {
    char szTemplate[] = "/tmp/kx-nginx-XXXXXX";
    m_sPrefix = mkdtemp(szTemplate);
    std::filesystem::create_directories(m_sPrefix + "/logs");
    std::filesystem::create_directories(m_sPrefix + "/temp");
    m_nPort = FreeLoopbackPort();
    std::string sBlock = sHttp;
    ReplaceAll(sBlock, "{PORT}", std::to_string(m_nPort));
    std::ofstream conf(m_sPrefix + "/nginx.conf");
    conf << "load_module " << KX_NGINX_MODULE << ";\n"
         << "daemon off;\nworker_processes " << nWorkerProcesses << ";\nworker_shutdown_timeout 5s;\n"
         << (SingleProcess() ? "master_process off;\n" : "") << sMain << "\n"
         << "pid " << m_sPrefix << "/nginx.pid;\nerror_log " << m_sPrefix << "/logs/error.log info;\n"
         << "events { worker_connections 256; }\n"
         << "http {\n  access_log off;\n"
         << "  client_body_temp_path " << m_sPrefix << "/temp/body;\n"
         << "  proxy_temp_path " << m_sPrefix << "/temp/proxy;\n"
         << "  kalyxa_worker " << sWorker << ";\n  kalyxa_user_store " << sUserStore << ";\n"
         << sBlock << "\n}\n";
    conf.close();
    if (SingleProcess()) {
        setenv("LD_PRELOAD", KX_NGINX_PRELOAD, 1);
        setenv("LSAN_OPTIONS", "suppressions=" KX_NGINX_LSAN_SUPPRESSIONS, 1);
    }
    m_pid = Spawn({"/usr/sbin/nginx", "-p", m_sPrefix, "-c", m_sPrefix + "/nginx.conf", "-e",
                   m_sPrefix + "/logs/error.log"},
                  m_sPrefix + "/logs/stdout.log");
    if (SingleProcess()) {
        unsetenv("LD_PRELOAD");
        unsetenv("LSAN_OPTIONS");
    }
    for (int n = 0; n < 200 && !Accepts(m_nPort); ++n) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_TRUE(m_pid > 0 && Accepts(m_nPort)) << "nginx did not come up:\n" << ErrorLog();
}

CNginxServer::~CNginxServer() {
    Stop();
    std::error_code error;
    std::filesystem::remove_all(m_sPrefix, error);
}

std::string CNginxServer::ErrorLog() const {
    std::ifstream log(m_sPrefix + "/logs/error.log");
    std::ostringstream text;
    text << log.rdbuf();
    return text.str();
}

void CNginxServer::Signal(int nSignal) const {
    if (m_pid > 0) kill(m_pid, nSignal);
}

int CNginxServer::Stop() {
    if (m_pid <= 0) return -1;
    kill(m_pid, SIGQUIT);
    int nStatus = 0;
    for (int n = 0; n < 400; ++n) {
        if (waitpid(m_pid, &nStatus, WNOHANG) == m_pid) {
            m_pid = -1;
            if (nStatus != 0) {  // what it said on its way out (a sanitizer's report)
                std::ifstream log(m_sPrefix + "/logs/stdout.log");
                std::ostringstream text;
                text << log.rdbuf();
                ADD_FAILURE() << "nginx ended with status " << nStatus << ":\n" << text.str().substr(0, 8000);
            }
            return nStatus;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &nStatus, 0);
    m_pid = -1;
    ADD_FAILURE() << "nginx did not stop within 10 s";
    return nStatus;
}
