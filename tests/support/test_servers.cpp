#include "tests/support/test_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t cbAddress = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &cbAddress) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("no free loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int nPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    const bool bConnected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return bConnected;
}

std::string RawExchange(int nPort, const std::string& sRequest, int nSeconds) {
    const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval timeout{nSeconds, 0};
    setsockopt(nSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    std::string sResponse;
    if (connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        for (size_t nSent = 0; nSent < sRequest.size();) {
            const ssize_t n = send(nSocket, sRequest.data() + nSent, sRequest.size() - nSent, MSG_NOSIGNAL);
            if (n <= 0) break;
            nSent += static_cast<size_t>(n);
        }
        char buffer[4096];
        for (ssize_t n; (n = recv(nSocket, buffer, sizeof(buffer), 0)) > 0;)
            sResponse.append(buffer, static_cast<size_t>(n));
    }
    close(nSocket);
    return sResponse;
}

int OpenIdleConnection(int nPort) {
    const int nSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (nSocket >= 0) connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    return nSocket;
}

pid_t Spawn(const std::vector<std::string>& arguments, const std::string& sLog) {
    std::vector<char*> argv;
    for (const std::string& sArgument : arguments) argv.push_back(const_cast<char*>(sArgument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, sLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int nError = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) throw std::runtime_error("cannot start " + arguments[0] + " (is it installed?)");
    return pid;
}

