#include "tests/directory/directory_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

CSlapdDirectory& DirectoryTest::Directory() {
    static CSlapdDirectory directory;  // stopped at exit
    static const bool bPointed = [] {
        ::setenv("LDAPURI", directory.Uri().c_str(), 1);
        ::setenv("QV_GC_URI", directory.Uri().c_str(), 1);
        ::setenv("QV_LDAP_TIMEOUT", "2", 1);
        return true;
    }();
    (void)bPointed;
    return directory;
}

MisbehavingPeer::MisbehavingPeer(bool bHang) : m_bHang(bHang) {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t cbAddress = sizeof address;
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listener, 8);
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &cbAddress);
    m_nPort = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

MisbehavingPeer::~MisbehavingPeer() {
    m_bStop = true;
    m_thread.join();
    ::close(m_listener);
}

void MisbehavingPeer::Serve() {
    std::vector<int> connections;
    while (!m_bStop) {
        pollfd listener{m_listener, POLLIN, 0};
        if (::poll(&listener, 1, 50) <= 0) continue;
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) continue;
        ++m_nConnections;
        if (m_bHang) {
            connections.push_back(fd);
            continue;
        }
        // The bind request: SEQUENCE { INTEGER messageID, ... }; answer success.
        unsigned char request[512];
        pollfd peer{fd, POLLIN, 0};
        if (::poll(&peer, 1, 2000) > 0 && ::read(fd, request, sizeof request) > 4 && request[2] == 0x02) {
            const unsigned char nId = request[4];
            const unsigned char response[] = {0x30, 0x0c, 0x02, 0x01, nId, 0x61, 0x07, 0x0a,
                                              0x01, 0x00, 0x04, 0x00, 0x04, 0x00};
            if (::write(fd, response, sizeof response) == static_cast<ssize_t>(sizeof response) &&
                ::poll(&peer, 1, 2000) > 0)
                ::read(fd, request, sizeof request);  // the next request, left unanswered
        }
        ::close(fd);
    }
    for (int fd : connections) ::close(fd);
}
