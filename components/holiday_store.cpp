#include "components/holiday_store.h"

#include "base/win_errors.h"
#include "components/ews_client.h"
#include "diagnostics/trace.h"
#include "platform/file_time.h"
#include "platform/signal_mask.h"

namespace {

size_t IndexOf(CHolidayWork kind) { return kind == CHolidayWork::IMPORT ? 0 : 1; }

}  // namespace

CHolidayStore::CHolidayStore(CEwsTransportOptions options, std::function<CEwsCredentials()> credentials)
    : m_options(std::move(options)), m_credentials(std::move(credentials)) {}

CHolidayStore::~CHolidayStore() { Stop(); }

bool CHolidayStore::Load(CHolidayWork kind, const std::string& sPath, std::string& sError) {
    FILETIME64 written = 0;
    GetFileLastWriteTime(sPath, written);
    auto spFile = std::make_shared<CHolidayFile>();
    const bool bParsed = spFile->Load(sPath);
    const std::lock_guard<std::mutex> guard(m_lock);
    std::map<std::string, CLoaded>& files = m_files[IndexOf(kind)];
    if (kind == CHolidayWork::IMPORT) m_nLastImportLoad = bParsed ? 0 : spFile->Unreadable() ? 3 : 4;
    if (!bParsed) {
        sError = spFile->Error();
        files.erase(sPath);
        return false;
    }
    files[sPath] = CLoaded{std::move(spFile), ++m_nLoads, written};
    return true;
}

bool CHolidayStore::IsLoaded(CHolidayWork kind, const std::string& sPath) const {
    FILETIME64 written = 0;
    const bool bOnDisk = GetFileLastWriteTime(sPath, written) == ERROR_SUCCESS;
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_files[IndexOf(kind)].find(sPath);
    return it != m_files[IndexOf(kind)].end() && (!bOnDisk || it->second.written == written);
}

bool CHolidayStore::Remove(CHolidayWork kind, const std::string& sPath) {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_files[IndexOf(kind)].erase(sPath) != 0;
}

long CHolidayStore::ImportState() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto isImport = [](const std::string& sKey) { return sKey.rfind("import|", 0) == 0; };
    for (const std::string& sKey : m_running)
        if (isImport(sKey)) return 2;
    for (const CHolidayJob& job : m_queue)
        if (job.work == CHolidayWork::IMPORT) return 2;
    if (m_nLastImportLoad == 0 && m_files[0].empty()) return 5;  // loaded, then removed
    return m_nLastImportLoad;
}

std::shared_ptr<const CHolidayFile> CHolidayStore::Current(CHolidayWork kind) const {
    const std::lock_guard<std::mutex> guard(m_lock);
    const CLoaded* pLatest = nullptr;
    for (const auto& [sPath, loaded] : m_files[IndexOf(kind)])
        if (pLatest == nullptr || loaded.nOrder > pLatest->nOrder) pLatest = &loaded;
    return pLatest == nullptr ? nullptr : pLatest->spFile;
}

std::string CHolidayStore::KeyOf(const CHolidayJob& job) {
    return std::string(job.work == CHolidayWork::IMPORT ? "import|" : "remove|") + job.sUser + "|" +
           job.connection.sMailbox;
}

bool CHolidayStore::Submit(CHolidayJob job) {
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_bStopping) return false;
    const std::string sKey = KeyOf(job);
    for (CHolidayJob& waiting : m_queue)
        if (KeyOf(waiting) == sKey) {
            waiting = std::move(job);
            return true;
        }
    if (m_queue.size() >= MAX_QUEUED) return false;
    if (m_threads.empty()) {
        const CAllSignalsBlocked blocked;
        for (size_t n = 0; n < THREADS; ++n) m_threads.emplace_back(&CHolidayStore::Work, this);
    }
    m_queue.push_back(std::move(job));
    m_queued.notify_one();
    return true;
}

void CHolidayStore::Stop() {
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_bStopping = true;
        m_queue.clear();
    }
    m_queued.notify_all();
    for (std::thread& thread : m_threads)
        if (thread.joinable()) thread.join();
    m_threads.clear();
    // A worker started again in the same process queues work anew.
    const std::lock_guard<std::mutex> guard(m_lock);
    m_bStopping = false;
}

void CHolidayStore::Work() {
    for (;;) {
        CHolidayJob job;
        {
            // The first work whose user's work of its kind is not running.
            std::unique_lock<std::mutex> lock(m_lock);
            auto itNext = m_queue.end();
            m_queued.wait(lock, [&] {
                itNext = m_queue.begin();
                while (itNext != m_queue.end() && m_running.count(KeyOf(*itNext)) != 0) ++itNext;
                return m_bStopping || itNext != m_queue.end();
            });
            if (m_bStopping) return;
            job = std::move(*itNext);
            m_queue.erase(itNext);
            m_running.insert(KeyOf(job));
        }
        CEwsClient client(m_options);
        std::string sError;
        const HRESULT hr = RunHolidayJob(client, m_credentials(), job, m_bStopping, sError);
        Trace("[HolidayImport] %s for user %s, mailbox <%s>: hr 0x%x %s",
              job.work == CHolidayWork::IMPORT ? "import" : "removal", job.sUser.c_str(),
              job.connection.sMailbox.c_str(), static_cast<unsigned>(hr), sError.c_str());
        const std::lock_guard<std::mutex> guard(m_lock);
        m_running.erase(KeyOf(job));
        m_queued.notify_all();  // the user's next work may run now
    }
}
