// A test directory shared by the tests of one process, and peers that
// misbehave: one that never answers and one that drops the connection.
#ifndef KX_TESTS_DIRECTORY_TEST_SUPPORT_H
#define KX_TESTS_DIRECTORY_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/slapd_directory.h"

class DirectoryTest : public ::testing::Test {
protected:
    // Starts slapd once per process (libldap reads its default address
    // once) and points libldap's default and the Global Catalog at it.
    static void SetUpTestSuite() { Directory(); }
    static CSlapdDirectory& Directory();
};

// A loopback peer that accepts connections and then either never answers
// (bHang) or answers the bind and closes the connection at the next request.
class MisbehavingPeer {
public:
    explicit MisbehavingPeer(bool bHang);
    ~MisbehavingPeer();
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(m_nPort); }
    int Connections() const { return m_nConnections; }

private:
    void Serve();

    bool m_bHang;
    int m_listener = -1;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nConnections{0};
    std::thread m_thread;
};

#endif  // KX_TESTS_DIRECTORY_TEST_SUPPORT_H
