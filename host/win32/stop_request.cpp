#include "host/stop_request.h"

#include <windows.h>

namespace kxhost {

namespace {

HANDLE g_hStop = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
    SetEvent(g_hStop);
    return TRUE;
}

}  // namespace

StopRequest::StopRequest() {
    if (g_hStop == nullptr) g_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void StopRequest::Wait() { WaitForSingleObject(g_hStop, INFINITE); }

}  // namespace kxhost
