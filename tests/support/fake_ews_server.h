// A fake Exchange Web Services server for tests: cpp-httplib on a free
// loopback port. It checks the shape of every SOAP request (envelope and
// namespaces, operation, the ids and values passed), answers from a small
// in-memory mailbox, and can misbehave on request.
#ifndef KX_TESTS_FAKE_EWS_SERVER_H
#define KX_TESTS_FAKE_EWS_SERVER_H

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}
namespace pugi {
class xml_node;
}

class CFakeEwsServer {
public:
    enum class Mode {
        NORMAL,
        SOAP_FAULT,       // HTTP 500 with a SOAP fault
        ERROR_RESPONSE,   // ResponseClass="Error", ErrorItemNotFound
        UNAUTHORIZED,     // HTTP 401 whatever the credentials
        SERVER_ERROR,     // HTTP 500 with a plain body
        ENDLESS_BODY,     // a chunked body that never ends
        SLOW,             // answers after 5 s
        REDIRECT,         // 302 to another host
        HUGE_BODY,        // 1 MB of answer
        INVALID_UTF8,     // a well-formed answer with a byte that is not UTF-8
        WRONG_NAMESPACE,  // the messages in another namespace
        MISSING_ELEMENTS  // a success without the asked values
    };
    struct CItem {
        bool bReminderSet = false;
        long nMinutes = 15;
    };

    // An appointment of a calendar as the holiday import makes it.
    struct CCalendarItem {
        std::string sSubject;
        std::string sLocation;
        std::string sStart;
        std::string sEnd;
        std::string sTimeZone;
        std::string sCategory;
        std::string sMarker;  // the value of the one extended property; empty for the user's own items
    };

    CFakeEwsServer();
    ~CFakeEwsServer();
    CFakeEwsServer(const CFakeEwsServer&) = delete;
    CFakeEwsServer& operator=(const CFakeEwsServer&) = delete;

    std::string Url() const;  // "http://127.0.0.1:<port>/EWS/exchange.asmx"
    void SetMode(Mode mode);
    // Asks for Basic authentication with these credentials ("domain\\user").
    void RequireBasic(const std::string& sUser, const std::string& sPassword);

    // The mailbox; change it only while no request runs.
    std::map<std::string, CItem> m_items;                // EWS id -> calendar item
    std::map<std::string, std::string> m_owaToEws;       // OWA id -> EWS id
    using CDictionary = std::vector<std::pair<std::string, std::string>>;
    std::map<std::string, CDictionary> m_configurations;  // name -> dictionary, of every mailbox
    std::map<std::string, std::map<std::string, CDictionary>> m_mailboxConfigurations;  // one mailbox's own
    // The mailboxes are named by the impersonated user's address, or by the
    // address a folder id names.
    // Mailbox -> "guid|name" -> value of the calendar folder's properties.
    std::map<std::string, std::map<std::string, std::string>> m_folderProperties;
    // Mailbox -> item id -> appointment.
    std::map<std::string, std::map<std::string, CCalendarItem>> m_calendars;
    // OWA's pages on the same server, by path (the query is not looked at);
    // set them before the first request.
    std::map<std::string, std::string> m_pages;
    // Each CreateItem answers only after this many milliseconds.
    int m_nCreateDelayMs = 0;
    // This operation answers with an error response (whatever the mode).
    std::string m_sFailingOperation;
    // A consistent copy of one mailbox's calendar, taken under the lock.
    std::map<std::string, CCalendarItem> Calendar(const std::string& sMailbox) const;
    std::map<std::string, std::string> FolderProperties(const std::string& sMailbox) const;

    int Requests(const std::string& sOperation) const;
    // Requests that broke the expected shape, with what was wrong.
    std::vector<std::string> ShapeErrors() const;
    std::string LastImpersonated() const;
    // Each request's operation and how it impersonated: "GetFolder
    // PrimarySmtpAddress=ana@x", "GetItem PrincipalName=uma@x", "GetItem none".
    std::vector<std::string> Impersonations() const;
    std::string LastRequest() const;

private:
    std::string Answer(const std::string& sRequest, int& nStatus);
    // The calendar operations of the holiday import; an empty text when the
    // request is well-formed, else the shape error.
    std::string AnswerCalendar(const std::string& sOperation, pugi::xml_node operation, pugi::xml_node message);

    std::unique_ptr<httplib::Server> m_spServer;
    std::thread m_thread;
    int m_nPort = 0;
    mutable std::mutex m_lock;
    std::condition_variable m_stopped;
    bool m_bStopping = false;
    Mode m_mode = Mode::NORMAL;
    std::string m_sAuthorization;
    std::map<std::string, int> m_requests;
    int m_nNextItem = 0;
    std::vector<std::string> m_shapeErrors;
    std::string m_sLastImpersonated;
    std::string m_sMailbox;
    std::vector<std::string> m_impersonations;
    std::string m_sLastRequest;
};

#endif  // KX_TESTS_FAKE_EWS_SERVER_H
