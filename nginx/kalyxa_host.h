/* What the nginx layer asks of the host library: a C interface over the
 * records, the user store and the loaded worker, so that the layer that
 * speaks nginx's API stays thin and the host's work is done once for both
 * hosts. Texts are counted, not terminated; everything a request makes
 * belongs to it until kx_request_end. */
#ifndef KX_NGINX_KALYXA_HOST_H
#define KX_NGINX_KALYXA_HOST_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    const char *data;
    size_t len;
} kx_text;

typedef struct {
    kx_text name;
    kx_text value;
} kx_header;

/* A header change the worker asked for; replace: "set" (else "add"). */
typedef struct {
    kx_text name; /* without the colon the worker writes */
    kx_text value;
    int replace;
} kx_header_change;

typedef struct kx_worker kx_worker;
typedef struct kx_request kx_request;

/* Loads the worker at worker_path, asks for its filter version and opens
 * the user store ("redis://..." or a SQLite file); null with a reason in
 * error (terminated, cut to error_size) when any of it fails. */
kx_worker *kx_worker_start(const char *worker_path, const char *user_store, char *error, size_t error_size);
/* TerminateFilter, then unloads the worker; requests still open keep it. */
void kx_worker_stop(kx_worker *worker);

typedef struct {
    kx_text method;
    kx_text target; /* path and "?query" as sent */
    const kx_header *headers;
    size_t header_count;
    kx_text remote_addr;
    kx_text local_addr;
    kx_text server_port;
    kx_text host; /* the authority the browser asked for */
    int https;
    kx_text script_prefix;
    int subscription_type;
} kx_request_start;

/* A request begins: the record is built and the worker pre-processes its
 * headers. Null when memory runs out. */
kx_request *kx_request_begin(kx_worker *worker, const kx_request_start *start);

/* Authentication complete for the user the host identified (empty: none).
 * Afterwards the URL, the request header changes and whether the worker
 * wants the response are known. */
void kx_request_authenticated(kx_request *request, kx_text user);
/* The request URL as the worker left it; nonzero when it changed it. */
int kx_request_url(const kx_request *request, kx_text *url);
/* The changes to the request headers (response != 0: to the response
 * headers, known after kx_request_response); the count. */
size_t kx_request_header_changes(kx_request *request, int response, const kx_header_change **changes);
/* Nonzero while the worker still wants the request's later notifications
 * (it has not said "Ignore" or "Handled"). */
int kx_request_wanted(const kx_request *request);

/* The response's status and headers as they leave: send-response. */
void kx_request_response(kx_request *request, int status, const kx_header *headers, size_t header_count);

/* A wanted HTML answer is held whole for send-raw-data: begin with the
 * length expected (0: unknown), append its pieces as they come (straight
 * into the record's buffer), then kx_request_page; the first two answer
 * -1 when memory runs out. What is held so far stays readable until the
 * request ends. Every call is safe to make: the host library throws
 * nothing across this interface, and a request whose memory ran out asks
 * the worker nothing more (kx_request_wanted answers 0). */
int kx_request_page_begin(kx_request *request, size_t expected);
int kx_request_page_append(kx_request *request, const char *data, size_t len);
kx_text kx_request_page_held(const kx_request *request);

enum {
    KX_PAGE_UNCHANGED = 0,
    KX_PAGE_BODY = 1,     /* the same status and headers, another body */
    KX_PAGE_RESPONSE = 2, /* another status, other headers and body */
    KX_PAGE_BROKEN = -1   /* the worker's answer cannot be sent; the page goes out unchanged */
};
typedef struct {
    int status;
    const kx_header *headers;
    size_t header_count;
    kx_text body;
} kx_page;
/* Send-raw-data on the held page; page receives what to send unless the
 * answer is KX_PAGE_UNCHANGED or KX_PAGE_BROKEN. */
int kx_request_page(kx_request *request, kx_page *page);

/* What the worker answered over a request's notifications: codes other
 * than success, and the unexpected failures (exceptions it caught). */
typedef struct {
    unsigned errors;
    unsigned exceptions;
} kx_request_outcome;

/* End of request, exactly once: the worker releases what it kept, and so
 * does the request; outcome (may be null) receives its answers. */
void kx_request_end(kx_request *request, kx_request_outcome *outcome);

#ifdef __cplusplus
}
#endif

#endif /* KX_NGINX_KALYXA_HOST_H */
