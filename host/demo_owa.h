// A small OWA look-alike for the demo: the basic calendar (showing the view
// the request asks for) and the product's handler pages, from the page
// files in a folder.
#ifndef KX_HOST_DEMO_OWA_H
#define KX_HOST_DEMO_OWA_H

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace kxhost {

class DemoOwa {
public:
    // sPages holds calendar.html and handler.html.
    explicit DemoOwa(std::string sPages);
    ~DemoOwa();
    DemoOwa(const DemoOwa&) = delete;
    DemoOwa& operator=(const DemoOwa&) = delete;

    // Serves on sHost:nPort (0: a free port) from a thread of its own; the
    // port, or -1.
    int Start(const std::string& sHost = "127.0.0.1", int nPort = 0);
    std::string Url() const { return "http://" + m_sHost + ":" + std::to_string(m_nPort); }

private:
    std::string m_sPages;
    std::unique_ptr<httplib::Server> m_spServer;
    std::thread m_thread;
    std::string m_sHost;
    int m_nPort = -1;
};

}  // namespace kxhost

#endif  // KX_HOST_DEMO_OWA_H
