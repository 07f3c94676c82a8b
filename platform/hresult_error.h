// An error carrying an HRESULT, raised where the design raises a COM/ATL error.
#ifndef KX_PLATFORM_HRESULT_ERROR_H
#define KX_PLATFORM_HRESULT_ERROR_H

#include <exception>

#include "kx/win_types.h"

class CHResultError : public std::exception {
public:
    explicit CHResultError(HRESULT hr) : m_hr(hr) {}
    HRESULT Error() const { return m_hr; }
    const char* what() const noexcept override { return "HRESULT error"; }

private:
    HRESULT m_hr;
};

#endif  // KX_PLATFORM_HRESULT_ERROR_H
