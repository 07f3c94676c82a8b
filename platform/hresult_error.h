// An error carrying an HRESULT, raised where the design raises a COM/ATL
// error; it may carry the component's description of the failure.
#ifndef KX_PLATFORM_HRESULT_ERROR_H
#define KX_PLATFORM_HRESULT_ERROR_H

#include <exception>
#include <string>

#include "kx/win_types.h"

class CHResultError : public std::exception {
public:
    explicit CHResultError(HRESULT hr, std::string sDescription = {})
        : m_hr(hr), m_sDescription(std::move(sDescription)) {}
    HRESULT Error() const { return m_hr; }
    const std::string& Description() const { return m_sDescription; }
    const char* what() const noexcept override { return "HRESULT error"; }

private:
    HRESULT m_hr;
    std::string m_sDescription;
};

#endif  // KX_PLATFORM_HRESULT_ERROR_H
