// OWA as far as the host tests need it, on a loopback port: the calendar
// and the item editor, an image, the product's handler pages, and answers
// that misbehave ("fake=gzip" compressed, "fake=endless" never ending,
// "fake=cut" cut off). It keeps every
// request it got.
#ifndef KX_TESTS_FAKE_OWA_H
#define KX_TESTS_FAKE_OWA_H

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A test page from tests/data.
std::string ReadTestPage(const std::string& sName);

class CFakeOwa {
public:
    CFakeOwa();
    ~CFakeOwa();
    CFakeOwa(const CFakeOwa&) = delete;
    CFakeOwa& operator=(const CFakeOwa&) = delete;

    int Port() const { return m_nPort; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }
    httplib::Request Last();
    size_t Count();

private:
    httplib::Server m_server;
    int m_nPort = 0;
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<httplib::Request> m_requests;
    std::atomic<bool> m_bStopping{false};
};

#endif  // KX_TESTS_FAKE_OWA_H
