// How the component wrappers turn whatever a component call raises into
// data: a COM error (CHResultError), a standard exception, or anything
// else, in that order. Each wrapper writes its own texts for the kind.
#ifndef KX_SETTINGS_COMPONENT_CALL_H
#define KX_SETTINGS_COMPONENT_CALL_H

#include <exception>
#include <string>

#include "platform/error_text.h"
#include "platform/hresult_error.h"

struct CComponentFailure {
    enum Kind { NONE, COM_ERROR, STD_EXCEPTION, GENERAL } kind = NONE;
    HRESULT hr = 0;
    std::string sMessage;      // the system's text of the HRESULT, or what()
    std::string sDescription;  // the component's own text
};

// Runs the call; false with the failure filled when it raised something.
template <class TCall>
bool RunComponentCall(TCall&& call, CComponentFailure& failure) {
    try {
        call();
        return true;
    } catch (const CHResultError& error) {
        failure = {CComponentFailure::COM_ERROR, error.Error(), ComErrorMessage(error.Error()), error.Description()};
    } catch (const std::exception& error) {
        failure = {CComponentFailure::STD_EXCEPTION, static_cast<HRESULT>(0x8000FFFF), error.what(), {}};
    } catch (...) {
        failure = {CComponentFailure::GENERAL, static_cast<HRESULT>(0x8000FFFF), {}, {}};
    }
    return false;
}

class CEventLog;

// A wrapper's texts for each kind of failure: trace line and event. Every
// format takes the operation's name first; the COM-error ones then the
// HRESULT, the system's text and the component's description, the others
// what() (standard exception) or nothing more.
struct CComponentTexts {
    const char* pszComTrace;
    const char* pszComEvent;
    const char* pszStdTrace;
    const char* pszStdEvent;
    const char* pszGeneralTrace;
    const char* pszGeneralEvent;
};

// Writes the failure's trace line and error event; its HRESULT.
HRESULT ReportComponentFailure(CEventLog& eventLog, const CComponentTexts& texts, const char* pszOperation,
                               const CComponentFailure& failure);

#endif  // KX_SETTINGS_COMPONENT_CALL_H
