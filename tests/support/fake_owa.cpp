#include "tests/support/fake_owa.h"

#include <zlib.h>

#include <chrono>
#include <fstream>
#include <sstream>

std::string ReadTestPage(const std::string& sName) {
    std::ifstream file(std::string(KX_TEST_DATA) + "/" + sName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

namespace {

std::string Gzipped(const std::string& sText) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string sOut(deflateBound(&stream, sText.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(sText.data()));
    stream.avail_in = static_cast<uInt>(sText.size());
    stream.next_out = reinterpret_cast<Bytef*>(sOut.data());
    stream.avail_out = static_cast<uInt>(sOut.size());
    deflate(&stream, Z_FINISH);
    sOut.resize(stream.total_out);
    deflateEnd(&stream);
    return sOut;
}

}  // namespace

CFakeOwa::CFakeOwa() {
    m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_requests.push_back(request);
        }
        const std::string sPage = ReadTestPage(request.get_param_value("ae") == "Item" ? "basic-calendar-item-editor.html"
                                                                                       : "basic-calendar-week.html");
        if (request.path.rfind("/owa/X-Kalyxa/", 0) == 0) {
            response.set_content("handler " + request.path + " root " + request.get_header_value("x-qvkxroot"),
                                 "text/plain");
        } else if (request.path.size() > 4 && request.path.substr(request.path.size() - 4) == ".gif") {
            response.set_content(std::string("GIF89a\x01\x00\x01\x00\x00\xff", 12), "image/gif");
        } else if (request.get_param_value("fake") == "gzip") {
            response.set_header("Content-Encoding", "gzip");
            response.set_content(Gzipped(sPage), "text/html; charset=utf-8");
        } else if (request.get_param_value("fake") == "endless") {
            // Half the page, then nothing until the test ends.
            response.set_chunked_content_provider("text/html; charset=utf-8", [this, sPage](size_t nOffset,
                                                                                             httplib::DataSink& sink) {
                if (nOffset == 0) return sink.write(sPage.data(), sPage.size() / 2);
                while (!m_bStopping) std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return false;
            });
        } else if (request.get_param_value("fake") == "cut") {
            // Half the page, then the connection closes.
            response.set_chunked_content_provider("text/html; charset=utf-8",
                                                  [sPage](size_t nOffset, httplib::DataSink& sink) {
                                                      if (nOffset == 0) sink.write(sPage.data(), sPage.size() / 2);
                                                      return nOffset == 0;
                                                  });
        } else {
            response.set_content(sPage, "text/html; charset=utf-8");
        }
    });
    m_nPort = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
}

CFakeOwa::~CFakeOwa() {
    m_bStopping = true;
    m_server.stop();
    m_thread.join();
}

httplib::Request CFakeOwa::Last() {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_requests.empty() ? httplib::Request() : m_requests.back();
}

size_t CFakeOwa::Count() {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_requests.size();
}
