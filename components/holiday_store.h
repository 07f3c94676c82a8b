// What the holiday component keeps between its instances: the holiday
// files loaded (import and delete files apart, by path) and the users'
// holiday work, run on a few threads of its own from a bounded queue.
#ifndef KX_COMPONENTS_HOLIDAY_STORE_H
#define KX_COMPONENTS_HOLIDAY_STORE_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "components/ews_transport.h"
#include "components/holiday_job.h"
#include "platform/file_time.h"

class CHolidayStore {
public:
    static constexpr size_t THREADS = 2;
    static constexpr size_t MAX_QUEUED = 64;

    CHolidayStore(CEwsTransportOptions options, std::function<CEwsCredentials()> credentials);
    ~CHolidayStore();
    CHolidayStore(const CHolidayStore&) = delete;
    CHolidayStore& operator=(const CHolidayStore&) = delete;

    // Parses the file and keeps it as the current one of its kind; false
    // with the parser's error (an earlier file of that path is dropped).
    bool Load(CHolidayWork kind, const std::string& sPath, std::string& sError);
    // Whether the file is kept as it is on disk: a file saved again since
    // it was loaded is not (its holidays would be the old ones), a file
    // gone from the disk still is until it is removed.
    bool IsLoaded(CHolidayWork kind, const std::string& sPath) const;
    bool Remove(CHolidayWork kind, const std::string& sPath);
    // The import side as GetHolidayStatus reports it.
    long ImportState() const;
    // The file of that kind loaded last and still kept; null when none.
    std::shared_ptr<const CHolidayFile> Current(CHolidayWork kind) const;

    // Queues the work: true when it is queued (in place of the same user's
    // work of that kind still waiting); false when the queue is full or the
    // store stops. One user's work of one kind never runs twice at once.
    bool Submit(CHolidayJob job);
    // Cancels the work not done (it is recorded as nothing) and waits for
    // it; later work starts threads again.
    void Stop();

private:
    struct CLoaded {
        std::shared_ptr<const CHolidayFile> spFile;
        unsigned long nOrder = 0;
        FILETIME64 written = 0;  // the file's last-write time before it was read
    };
    static std::string KeyOf(const CHolidayJob& job);
    void Work();

    CEwsTransportOptions m_options;
    std::function<CEwsCredentials()> m_credentials;
    mutable std::mutex m_lock;
    std::map<std::string, CLoaded> m_files[2];
    unsigned long m_nLoads = 0;
    long m_nLastImportLoad = 5;  // the state the last import load left
    std::condition_variable m_queued;
    std::deque<CHolidayJob> m_queue;
    std::set<std::string> m_running;  // keys of the work running
    std::vector<std::thread> m_threads;
    std::atomic<bool> m_bStopping{false};
};

#endif  // KX_COMPONENTS_HOLIDAY_STORE_H
