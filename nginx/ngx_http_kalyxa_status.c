#include "ngx_http_kalyxa_status.h"

#define NGX_HTTP_KALYXA_TYPES 64 /* types 0 to 63 by number; others together */
#define NGX_HTTP_KALYXA_BUCKETS 12

/* Upper bounds of the page-time histogram, in microseconds. */
static const ngx_msec_t ngx_http_kalyxa_bounds[NGX_HTTP_KALYXA_BUCKETS] = {
    25, 50, 100, 250, 500, 1000, 2500, 5000, 10000, 25000, 100000, 1000000};

static const char *const ngx_http_kalyxa_reasons[NGX_HTTP_KALYXA_REASONS] = {"ignored", "not_html", "compressed",
                                                                           "over_bound", "not_our_page"};

typedef struct {
    ngx_atomic_t requests[NGX_HTTP_KALYXA_TYPES + 1];
    ngx_atomic_t changed;
    ngx_atomic_t unchanged[NGX_HTTP_KALYXA_REASONS];
    ngx_atomic_t errors;
    ngx_atomic_t exceptions;
    ngx_atomic_t start_failures;
    ngx_atomic_t buckets[NGX_HTTP_KALYXA_BUCKETS];
    ngx_atomic_t page_count;
    ngx_atomic_t page_microseconds;
} ngx_http_kalyxa_counters_t;

/* This process's view of the zone; null until the zone is mapped. */
static ngx_http_kalyxa_counters_t *ngx_http_kalyxa_counters;

static ngx_int_t ngx_http_kalyxa_init_zone(ngx_shm_zone_t *zone, void *data) {
    ngx_slab_pool_t *pool = (ngx_slab_pool_t *)zone->shm.addr;
    if (data != NULL) { /* a reload keeps the counts */
        zone->data = data;
        ngx_http_kalyxa_counters = data;
        return NGX_OK;
    }
    if (zone->shm.exists) {
        zone->data = pool->data;
        ngx_http_kalyxa_counters = pool->data;
        return NGX_OK;
    }
    zone->data = ngx_slab_calloc(pool, sizeof(ngx_http_kalyxa_counters_t));
    if (zone->data == NULL) return NGX_ERROR;
    pool->data = zone->data;
    ngx_http_kalyxa_counters = zone->data;
    return NGX_OK;
}

ngx_int_t ngx_http_kalyxa_status_zone(ngx_conf_t *cf, ngx_module_t *module) {
    static ngx_str_t name = ngx_string("kalyxa_status");
    ngx_shm_zone_t *zone = ngx_shared_memory_add(cf, &name, 64 * 1024, module);
    if (zone == NULL) return NGX_ERROR;
    zone->init = ngx_http_kalyxa_init_zone;
    return NGX_OK;
}

#define ngx_http_kalyxa_add(field, n)                                                       \
    do {                                                                                    \
        if (ngx_http_kalyxa_counters != NULL) (void)ngx_atomic_fetch_add(&ngx_http_kalyxa_counters->field, n); \
    } while (0)

void ngx_http_kalyxa_count_request(ngx_int_t type) {
    ngx_http_kalyxa_add(requests[type >= 0 && type < NGX_HTTP_KALYXA_TYPES ? type : NGX_HTTP_KALYXA_TYPES], 1);
}

void ngx_http_kalyxa_count_unchanged(ngx_http_kalyxa_reason_e reason) { ngx_http_kalyxa_add(unchanged[reason], 1); }

void ngx_http_kalyxa_count_changed(void) { ngx_http_kalyxa_add(changed, 1); }

void ngx_http_kalyxa_count_page_time(ngx_msec_t microseconds) {
    ngx_uint_t n;
    for (n = 0; n < NGX_HTTP_KALYXA_BUCKETS; n++)
        if (microseconds <= ngx_http_kalyxa_bounds[n]) ngx_http_kalyxa_add(buckets[n], 1);
    ngx_http_kalyxa_add(page_count, 1);
    ngx_http_kalyxa_add(page_microseconds, microseconds);
}

void ngx_http_kalyxa_count_outcome(ngx_uint_t errors, ngx_uint_t exceptions) {
    if (errors != 0) ngx_http_kalyxa_add(errors, errors);
    if (exceptions != 0) ngx_http_kalyxa_add(exceptions, exceptions);
}

void ngx_http_kalyxa_count_start_failure(void) { ngx_http_kalyxa_add(start_failures, 1); }

/* Room for the whole answer: every line is short. */
#define NGX_HTTP_KALYXA_STATUS_SIZE 8192

static ngx_int_t ngx_http_kalyxa_status_handler(ngx_http_request_t *r) {
    ngx_http_kalyxa_counters_t *c = ngx_http_kalyxa_counters;
    ngx_buf_t *b;
    ngx_chain_t out;
    ngx_uint_t n;
    ngx_int_t rc;
    u_char *p;
    if (!(r->method & (NGX_HTTP_GET | NGX_HTTP_HEAD))) return NGX_HTTP_NOT_ALLOWED;
    if (c == NULL) return NGX_HTTP_SERVICE_UNAVAILABLE;
    rc = ngx_http_discard_request_body(r);
    if (rc != NGX_OK) return rc;
    b = ngx_create_temp_buf(r->pool, NGX_HTTP_KALYXA_STATUS_SIZE);
    if (b == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
    p = b->last;
    p = ngx_sprintf(p, "# HELP kalyxa_requests_total Requests the worker was given, by subscription type.\n"
                       "# TYPE kalyxa_requests_total counter\n");
    for (n = 0; n < NGX_HTTP_KALYXA_TYPES; n++)
        if (c->requests[n] != 0) p = ngx_sprintf(p, "kalyxa_requests_total{type=\"%ui\"} %uA\n", n, c->requests[n]);
    p = ngx_sprintf(p, "kalyxa_requests_total{type=\"other\"} %uA\n", c->requests[NGX_HTTP_KALYXA_TYPES]);
    p = ngx_sprintf(p, "# HELP kalyxa_pages_changed_total Pages sent as the worker changed or replaced them.\n"
                       "# TYPE kalyxa_pages_changed_total counter\nkalyxa_pages_changed_total %uA\n",
                    c->changed);
    p = ngx_sprintf(p, "# HELP kalyxa_pages_unchanged_total Answers sent as they came, by reason.\n"
                       "# TYPE kalyxa_pages_unchanged_total counter\n");
    for (n = 0; n < NGX_HTTP_KALYXA_REASONS; n++)
        p = ngx_sprintf(p, "kalyxa_pages_unchanged_total{reason=\"%s\"} %uA\n", ngx_http_kalyxa_reasons[n],
                        c->unchanged[n]);
    p = ngx_sprintf(p, "# HELP kalyxa_worker_errors_total Notifications the worker answered with an error code.\n"
                       "# TYPE kalyxa_worker_errors_total counter\nkalyxa_worker_errors_total %uA\n"
                       "# HELP kalyxa_worker_exceptions_total Notifications that ended in an exception the worker"
                       " caught.\n"
                       "# TYPE kalyxa_worker_exceptions_total counter\nkalyxa_worker_exceptions_total %uA\n"
                       "# HELP kalyxa_worker_start_failures_total Worker processes whose worker did not start.\n"
                       "# TYPE kalyxa_worker_start_failures_total counter\nkalyxa_worker_start_failures_total %uA\n",
                    c->errors, c->exceptions, c->start_failures);
    p = ngx_sprintf(p, "# HELP kalyxa_page_seconds Time in the worker's page notification.\n"
                       "# TYPE kalyxa_page_seconds histogram\n");
    for (n = 0; n < NGX_HTTP_KALYXA_BUCKETS; n++)
        p = ngx_sprintf(p, "kalyxa_page_seconds_bucket{le=\"%ui.%06ui\"} %uA\n", ngx_http_kalyxa_bounds[n] / 1000000,
                        ngx_http_kalyxa_bounds[n] % 1000000, c->buckets[n]);
    p = ngx_sprintf(p, "kalyxa_page_seconds_bucket{le=\"+Inf\"} %uA\nkalyxa_page_seconds_sum %uA.%06uA\n"
                       "kalyxa_page_seconds_count %uA\n",
                    c->page_count, c->page_microseconds / 1000000, c->page_microseconds % 1000000, c->page_count);
    b->last = p;
    b->last_buf = 1;
    b->last_in_chain = 1;
    r->headers_out.status = NGX_HTTP_OK;
    r->headers_out.content_length_n = b->last - b->pos;
    ngx_str_set(&r->headers_out.content_type, "text/plain; version=0.0.4");
    r->headers_out.content_type_len = r->headers_out.content_type.len;
    rc = ngx_http_send_header(r);
    if (rc == NGX_ERROR || rc > NGX_OK || r->header_only) return rc;
    out.buf = b;
    out.next = NULL;
    return ngx_http_output_filter(r, &out);
}

char *ngx_http_kalyxa_status(ngx_conf_t *cf, ngx_command_t *cmd, void *conf) {
    ngx_http_core_loc_conf_t *clcf = ngx_http_conf_get_module_loc_conf(cf, ngx_http_core_module);
    clcf->handler = ngx_http_kalyxa_status_handler;
    return NGX_CONF_OK;
}
