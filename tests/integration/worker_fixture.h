// Loads the built worker library for integration tests.
#ifndef KX_TESTS_WORKER_FIXTURE_H
#define KX_TESTS_WORKER_FIXTURE_H

#include <map>
#include <memory>
#include <string>

#include "host/worker_module.h"

// The staged worker library.
const char* WorkerPath();

// A product tree in a fresh temporary folder holding a copy of the worker
// and, when asked, the sample settings files; removed again on destruction.
class TemporaryProduct {
public:
    // settings replaces the values of those sample settings (by id; an id
    // the sample lacks is added).
    explicit TemporaryProduct(bool bWithSettingsFolder, const std::map<int, std::string>& settings = {});
    ~TemporaryProduct();
    // Edits SWSettings.xml as the constructor does and makes it newer, as
    // an operator's save between two requests.
    void Change(const std::map<int, std::string>& settings);
    const std::string& WorkerCopy() const { return m_sWorker; }
    // The product folder, with its trailing "/".
    std::string ProductFolder() const { return m_sRoot + "/Quorvane/Kalyxa/"; }

private:
    std::string m_sRoot;
    std::string m_sWorker;
};

// The worker's trace log in sLogFolder (setting 39); the worker is stopped
// first, which writes the lines it keeps back.
std::string StopAndReadTraceLog(std::unique_ptr<kxhost::WorkerModule>& spWorker, const std::string& sLogFolder);
// How often sText occurs in sLog.
int Occurrences(const std::string& sLog, const std::string& sText);

// Loads the product's copy of the worker and asks for its filter version, as
// a host starts it; fails the test when it does not start.
std::unique_ptr<kxhost::WorkerModule> StartWorker(const TemporaryProduct& product);

#endif  // KX_TESTS_WORKER_FIXTURE_H
