#include "settings/component_call.h"

#include "diagnostics/event_log.h"
#include "diagnostics/trace.h"

HRESULT ReportComponentFailure(CEventLog& eventLog, const CComponentTexts& texts, const char* pszOperation,
                               const CComponentFailure& failure) {
    const char* pszMessage = failure.sMessage.c_str();
    switch (failure.kind) {
        case CComponentFailure::COM_ERROR:
            Trace(texts.pszComTrace, pszOperation, failure.hr, pszMessage, failure.sDescription.c_str());
            eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, texts.pszComEvent, pszOperation, failure.hr, pszMessage,
                                  failure.sDescription.c_str());
            break;
        case CComponentFailure::STD_EXCEPTION:
            Trace(texts.pszStdTrace, pszOperation, pszMessage);
            eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, texts.pszStdEvent, pszOperation, pszMessage);
            break;
        default:
            Trace(texts.pszGeneralTrace, pszOperation);
            eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, texts.pszGeneralEvent, pszOperation);
            break;
    }
    return failure.hr;
}
