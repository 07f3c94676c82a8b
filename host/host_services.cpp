#include "host/host_services.h"

#include "host/host_request.h"

namespace kxhost {

namespace {

HostRequest* RequestOf(CDLLContext* pContext) { return static_cast<HostRequest*>(pContext->pHostReserved0); }

DWORD SubmitBufferCommands(CDLLContext* pContext, CBufferInstructionList* pList) {
    HostRequest* pRequest = RequestOf(pContext);
    HostServices& services = pRequest->Services();
    ++services.m_nSubmitCalls;
    if (services.m_submitResult) return *services.m_submitResult;
    return pRequest->Submit(pList);
}

BYTE LoadUserProperties(CDLLContext* pContext, DWORD /*dwPropertyId*/, BYTE /*bFlag*/) {
    HostRequest* pRequest = RequestOf(pContext);
    HostServices& services = pRequest->Services();
    ++services.m_nLoadCalls;
    return !services.m_bFailLoads && pRequest->LoadUserProperties() ? 1 : 0;
}

BYTE SaveUserProperty(CDLLContext* pContext, DWORD dwPropertyId) {
    HostRequest* pRequest = RequestOf(pContext);
    ++pRequest->Services().m_nSaveCalls;
    return pRequest->SaveUserProperty(dwPropertyId) ? 1 : 0;
}

}  // namespace

HostServices::HostServices() {
    m_table.SubmitBufferCommands = &SubmitBufferCommands;
    m_table.LoadUserProperties = &LoadUserProperties;
    m_table.SaveUserProperty = &SaveUserProperty;
}

}  // namespace kxhost
