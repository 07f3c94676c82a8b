#include "tests/integration/worker_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/system.h"

const char* WorkerPath() { return KX_WORKER_PATH; }

TemporaryProduct::TemporaryProduct(bool bWithSettingsFolder, const std::map<int, std::string>& settings) {
    m_sRoot = MakeTemporaryFolder("kx-product-");
    const std::filesystem::path product = std::filesystem::path(m_sRoot) / "Quorvane" / "Kalyxa";
    std::filesystem::create_directories(product / "bin");
    if (bWithSettingsFolder) {
        const std::filesystem::path samples = KX_SAMPLE_SETTINGS;
        const std::filesystem::path common = std::filesystem::path(m_sRoot) / "Quorvane" / "Common Files" / "Settings";
        std::filesystem::create_directories(product / "Settings");
        std::filesystem::create_directories(common);
        std::filesystem::copy_file(samples / "SWSettings.xml", product / "Settings" / "SWSettings.xml");
        Change(settings);
        std::filesystem::copy_file(samples / "LinkCriteriaSettings.xml", common / "LinkCriteriaSettings.xml");
        std::filesystem::create_directories(product / "Resource");
        std::filesystem::copy_file(KX_RESOURCE_MODULE, product / "Resource" / "KXRes.dll");
        // The logging library, whose lock serialises the trace log's writers.
        std::filesystem::create_directories(common.parent_path() / "bin");
        std::filesystem::copy_file(KX_LOG_MODULE,
                                   common.parent_path() / "bin" / std::filesystem::path(KX_LOG_MODULE).filename());
    }
    m_sWorker = (product / "bin" / std::filesystem::path(WorkerPath()).filename()).generic_string();
    std::filesystem::copy_file(WorkerPath(), m_sWorker);
}

void TemporaryProduct::Change(const std::map<int, std::string>& settings) {
    const std::string sPath = ProductFolder() + "Settings/SWSettings.xml";
    std::ifstream current(sPath);
    std::string sText((std::istreambuf_iterator<char>(current)), std::istreambuf_iterator<char>());
    current.close();
    for (const auto& [nId, sValue] : settings) {
        const std::string sOpen = "<ITEM ID=\"" + std::to_string(nId) + "\"";
        const std::string sItem = sOpen + " DESCR=\"test\" VALUE=\"" + sValue + "\"/>";
        const size_t nAt = sText.find(sOpen);
        if (nAt != std::string::npos)
            sText.replace(nAt, sText.find("/>", nAt) + 2 - nAt, sItem);
        else
            sText.insert(sText.find("</GENERALSETTINGS>"), sItem + "\n");
    }
    const auto written = std::filesystem::last_write_time(sPath);
    std::ofstream(sPath) << sText;
    // Later than the time the worker saw, however coarse the clock.
    std::filesystem::last_write_time(sPath, written + std::chrono::seconds(1));
}

TemporaryProduct::~TemporaryProduct() {
    std::error_code error;
    std::filesystem::remove_all(m_sRoot, error);
}

std::unique_ptr<kxhost::WorkerModule> StartWorker(const TemporaryProduct& product) {
    auto spWorker = std::make_unique<kxhost::WorkerModule>(product.WorkerCopy());
    EXPECT_TRUE(spWorker->IsLoaded()) << spWorker->Error();
    HTTP_FILTER_VERSION version{};
    EXPECT_TRUE(spWorker->IsLoaded() && spWorker->GetFilterVersion(&version));
    return spWorker;
}

std::string StopAndReadTraceLog(std::unique_ptr<kxhost::WorkerModule>& spWorker, const std::string& sLogFolder) {
    if (spWorker != nullptr) spWorker->TerminateFilter(0);
    spWorker.reset();
    std::ifstream file(sLogFolder + "/QuorvaneLogs/Kalyxa.log", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

int Occurrences(const std::string& sLog, const std::string& sText) {
    int nCount = 0;
    for (size_t nAt = sLog.find(sText); nAt != std::string::npos; nAt = sLog.find(sText, nAt + 1)) ++nCount;
    return nCount;
}
