// The request to stop a serving host: SIGINT or SIGTERM on POSIX, Ctrl+C or
// the console closing on Windows.
#ifndef KX_HOST_STOP_REQUEST_H
#define KX_HOST_STOP_REQUEST_H

namespace kxhost {

// Made before the serving threads start, so that none of them takes the
// request instead of the waiting one.
class StopRequest {
public:
    StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;
    // Returns once a stop is asked for.
    void Wait();
};

}  // namespace kxhost

#endif  // KX_HOST_STOP_REQUEST_H
