// The host library behind the nginx layer's C interface.
#include "nginx/kalyxa_host.h"

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_request.h"
#include "host/host_services.h"
#include "host/host_text.h"
#include "host/raw_response.h"
#include "host/user_store.h"
#include "host/worker_module.h"

namespace {

// What HttpFilterProc answers for an exception it caught.
constexpr DWORD UNEXPECTED_FAILURE = 0x8000FFFF;

std::string Text(kx_text text) { return std::string(text.data != nullptr ? text.data : "", text.len); }

kx_text View(const std::string& sText) { return kx_text{sText.data(), sText.size()}; }

// "x-qvkxroot:" as the worker names headers, without the colon.
std::string WithoutColon(std::string sName) {
    if (!sName.empty() && sName.back() == ':') sName.pop_back();
    return sName;
}

void CopyError(const std::string& sError, char* pszError, size_t cbError) {
    if (pszError != nullptr && cbError != 0) std::snprintf(pszError, cbError, "%s", sError.c_str());
}

// The loaded worker and the user store of one nginx worker process. Open
// requests hold it too, so a request that ends after the process stopped
// the worker still finds the library loaded.
struct LoadedWorker {
    std::unique_ptr<kxhost::WorkerModule> spModule;
    std::unique_ptr<kxhost::UserStore> spStore;
};

}  // namespace

struct kx_worker {
    std::shared_ptr<LoadedWorker> spLoaded;
};

struct kx_request {
    std::shared_ptr<LoadedWorker> spWorker;
    kxhost::HostServices services;
    std::unique_ptr<kxhost::HostRequest> spRecord;
    std::string sInitialUrl;
    std::vector<kx_header_change> changes;  // views into the record's header actions
    std::string sHead;                      // the response head the worker saw
    kxhost::RawResponse sent;
    std::vector<kx_header> sentHeaders;
    kx_request_outcome outcome{};
    bool bFailed = false;  // memory ran out in the host: the worker is asked nothing more

    // Runs a step of the host's; nothing is thrown across the C interface.
    template <class Fn>
    bool Guarded(Fn fn) noexcept {
        if (bFailed) return false;
        try {
            fn();
            return true;
        } catch (...) {
            bFailed = true;
            return false;
        }
    }

    void Notify(DWORD dwNotification) {
        const DWORD dwResult = spRecord->Notify(spWorker->spModule->FilterProc(), dwNotification);
        if (dwResult == UNEXPECTED_FAILURE)
            ++outcome.exceptions;
        else if (dwResult != 0)
            ++outcome.errors;
    }
};

extern "C" {

kx_worker* kx_worker_start(const char* pszWorkerPath, const char* pszUserStore, char* pszError, size_t cbError) {
    // A page passes as two buffers of its size (the record's and the edited
    // page), freed at the end of each request: kept in the allocator's heap
    // instead of being mapped, or trimmed from its top, and faulted in again
    // page by page on every request.
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    try {
        auto spModule = std::make_unique<kxhost::WorkerModule>(pszWorkerPath != nullptr ? pszWorkerPath : "");
        if (!spModule->IsLoaded()) {
            CopyError("cannot load the worker " + std::string(pszWorkerPath) + ": " + spModule->Error(), pszError,
                      cbError);
            return nullptr;
        }
        std::string sError;
        std::unique_ptr<kxhost::UserStore> spStore =
            kxhost::OpenUserStore(pszUserStore != nullptr ? pszUserStore : "", sError);
        if (!spStore) {
            CopyError(sError, pszError, cbError);
            return nullptr;
        }
        HTTP_FILTER_VERSION version{};
        if (!spModule->GetFilterVersion(&version)) {
            CopyError("the worker " + std::string(pszWorkerPath) +
                          " did not start (GetFilterVersion answered FALSE; its trace log and events say why)",
                      pszError, cbError);
            return nullptr;
        }
        auto spLoaded = std::make_shared<LoadedWorker>();
        spLoaded->spModule = std::move(spModule);
        spLoaded->spStore = std::move(spStore);
        return new kx_worker{std::move(spLoaded)};
    } catch (const std::exception& e) {
        CopyError(e.what(), pszError, cbError);
    } catch (...) {
        CopyError("an unknown failure", pszError, cbError);
    }
    return nullptr;
}

void kx_worker_stop(kx_worker* pWorker) {
    if (pWorker == nullptr) return;
    pWorker->spLoaded->spModule->TerminateFilter(0);
    delete pWorker;
}

kx_request* kx_request_begin(kx_worker* pWorker, const kx_request_start* pStart) {
    try {
        auto spRequest = std::make_unique<kx_request>();
        spRequest->spWorker = pWorker->spLoaded;
        spRequest->services.m_pUserStore = pWorker->spLoaded->spStore.get();
        kxhost::RequestSpec spec;
        spec.sMethod = Text(pStart->method);
        spec.sUrl = Text(pStart->target);
        spec.headers.clear();
        // What only the host may say: a browser's "Set-Cookie" never stands
        // for the response's.
        for (size_t n = 0; n < pStart->header_count; ++n)
            if (!kxhost::SameNoCase(Text(pStart->headers[n].name), "Set-Cookie"))
                spec.headers.emplace_back(Text(pStart->headers[n].name), Text(pStart->headers[n].value));
        spec.serverVariables = {{"REMOTE_ADDR", Text(pStart->remote_addr)},
                                {"LOCAL_ADDR", Text(pStart->local_addr)},
                                {"SERVER_PORT", Text(pStart->server_port)},
                                {"HTTPS", pStart->https ? "on" : "off"},
                                {"REQUEST_METHOD", spec.sMethod},
                                {"HEADER_QV_CSMPREFIX", Text(pStart->script_prefix)}};
        spec.nSubscriptionType = pStart->subscription_type;
        spec.sRoot = (pStart->https ? "https://" : "http://") + Text(pStart->host);
        spec.sIntRoot = spec.sRoot;
        spec.sResponseHead.clear();
        spRequest->sInitialUrl = spec.sUrl;
        spRequest->spRecord = std::make_unique<kxhost::HostRequest>(spRequest->services, std::move(spec));
        spRequest->Notify(SF_NOTIFY_PREPROC_HEADERS);
        return spRequest.release();
    } catch (...) {
        return nullptr;
    }
}

void kx_request_authenticated(kx_request* pRequest, kx_text user) {
    pRequest->Guarded([&] {
        const std::string sUser = Text(user);
        // A request of no one keeps nothing: its choices last for itself only.
        if (sUser.empty()) pRequest->services.m_pUserStore = nullptr;
        pRequest->spRecord->SetUser(sUser);
        pRequest->Notify(SF_NOTIFY_AUTH_COMPLETE);
    });
}

int kx_request_url(const kx_request* pRequest, kx_text* pUrl) {
    const std::string& sUrl = pRequest->spRecord->Spec().sUrl;
    *pUrl = View(sUrl);
    return sUrl != pRequest->sInitialUrl ? 1 : 0;
}

size_t kx_request_header_changes(kx_request* pRequest, int nResponse, const kx_header_change** ppChanges) {
    pRequest->changes.clear();
    const bool bListed = pRequest->Guarded([&] {
        for (const kxhost::HeaderAction& action : pRequest->spRecord->HeaderActions()) {
            const bool bResponse = action.dwNotification == SF_NOTIFY_SEND_RESPONSE;
            if (bResponse != (nResponse != 0) || kxhost::SameNoCase(WithoutColon(action.sName), "URL")) continue;
            // The name without its colon is a prefix of the worker's text.
            const size_t cbName = action.sName.size() - (action.sName.ends_with(':') ? 1 : 0);
            pRequest->changes.push_back(
                kx_header_change{kx_text{action.sName.data(), cbName}, View(action.sValue), action.sAction == "set"});
        }
    });
    *ppChanges = pRequest->changes.data();
    return bListed ? pRequest->changes.size() : 0;
}

int kx_request_wanted(const kx_request* pRequest) {
    if (pRequest->bFailed) return 0;
    const DWORD dwControl = pRequest->spRecord->Context()->m_dwControlMessage;
    return dwControl != KX_CONTROL_IGNORE && dwControl != KX_CONTROL_HANDLED ? 1 : 0;
}

void kx_request_response(kx_request* pRequest, int nStatus, const kx_header* pHeaders, size_t cHeaders) {
    pRequest->Guarded([&] {
        std::string& sHead = pRequest->sHead;
        sHead = "HTTP/1.1 " + std::to_string(nStatus) + (nStatus == 200 ? " OK" : "") + "\r\n";
        bool bCookie = false;
        for (size_t n = 0; n < cHeaders; ++n) {
            sHead.append(pHeaders[n].name.data, pHeaders[n].name.len).append(": ");
            sHead.append(pHeaders[n].value.data, pHeaders[n].value.len).append("\r\n");
            // The cookie OWA sets survives a page the worker replaces.
            if (!bCookie && kxhost::SameNoCase(Text(pHeaders[n].name), "Set-Cookie")) {
                pRequest->spRecord->SetRequestValue("Set-Cookie", Text(pHeaders[n].value));
                bCookie = true;
            }
        }
        pRequest->spRecord->SetResponse(static_cast<DWORD>(nStatus), std::string(), std::string());
        pRequest->Notify(SF_NOTIFY_SEND_RESPONSE);
    });
}

int kx_request_page_begin(kx_request* pRequest, size_t cbExpected) {
    return pRequest->Guarded([&] {
        kxhost::HostRequest& record = *pRequest->spRecord;
        // The head as it leaves, with the worker's own response headers.
        std::string sHead = pRequest->sHead;
        for (const kxhost::HeaderAction& action : record.HeaderActions())
            if (action.dwNotification == SF_NOTIFY_SEND_RESPONSE)
                sHead.append(WithoutColon(action.sName)).append(": ").append(action.sValue).append("\r\n");
        sHead.append("\r\n");
        record.BeginBody(record.Spec().dwHttpStatus, std::move(sHead), cbExpected);
    }) ? 0 : -1;
}

int kx_request_page_append(kx_request* pRequest, const char* pData, size_t cbData) {
    return pRequest->Guarded([&] { pRequest->spRecord->AppendBody(pData, cbData); }) ? 0 : -1;
}

kx_text kx_request_page_held(const kx_request* pRequest) {
    const std::string_view sBody = pRequest->spRecord->Body();
    return kx_text{sBody.data(), sBody.size()};
}

int kx_request_page(kx_request* pRequest, kx_page* pPage) {
    int nResult = KX_PAGE_BROKEN;
    pRequest->Guarded([&] {
        kxhost::HostRequest& record = *pRequest->spRecord;
        record.EndBody();
        pRequest->Notify(SF_NOTIFY_SEND_RAW_DATA);
        if (!record.Changed()) {
            nResult = KX_PAGE_UNCHANGED;
            return;
        }
        const std::string& sSent = record.SentResponse();
        if (!kxhost::ParseRawResponse(sSent, pRequest->sent)) return;
        pRequest->sentHeaders.clear();
        for (const auto& [sName, sValue] : pRequest->sent.headers)
            pRequest->sentHeaders.push_back(kx_header{View(sName), View(sValue)});
        pPage->status = pRequest->sent.nStatus;
        pPage->headers = pRequest->sentHeaders.data();
        pPage->header_count = pRequest->sentHeaders.size();
        pPage->body = kx_text{sSent.data() + pRequest->sent.nBody, sSent.size() - pRequest->sent.nBody};
        const size_t cbHead = record.Buffer().size() - record.Body().size();
        const bool bSameHead =
            pRequest->sent.nBody == cbHead && sSent.compare(0, cbHead, record.Buffer(), 0, cbHead) == 0;
        nResult = bSameHead ? KX_PAGE_BODY : KX_PAGE_RESPONSE;
    });
    return nResult;
}

void kx_request_end(kx_request* pRequest, kx_request_outcome* pOutcome) {
    if (pRequest == nullptr) return;
    pRequest->bFailed = false;  // the worker releases what it kept in any case
    pRequest->Guarded([&] { pRequest->Notify(SF_NOTIFY_END_OF_REQUEST); });
    if (pOutcome != nullptr) *pOutcome = pRequest->outcome;
    delete pRequest;
}

}  // extern "C"
