/* Counters of every worker process in one shared zone, and the location
 * that answers them in the Prometheus text format (kalyxa_status). One
 * atomic add per event: cheap enough to leave on. */
#ifndef NGX_HTTP_KALYXA_STATUS_H
#define NGX_HTTP_KALYXA_STATUS_H

#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>

/* Why an answer left as it came. */
typedef enum {
    NGX_HTTP_KALYXA_IGNORED,     /* the worker asked for no more of the request */
    NGX_HTTP_KALYXA_NOT_HTML,    /* not an HTML page with status 200 */
    NGX_HTTP_KALYXA_COMPRESSED,  /* a compressed page */
    NGX_HTTP_KALYXA_OVER_BOUND,  /* larger than kalyxa_max_page */
    NGX_HTTP_KALYXA_NOT_OURS,    /* a page the worker does not change */
    NGX_HTTP_KALYXA_REASONS
} ngx_http_kalyxa_reason_e;

/* The zone, added while the configuration is read. */
ngx_int_t ngx_http_kalyxa_status_zone(ngx_conf_t *cf, ngx_module_t *module);
/* The status location's directive. */
char *ngx_http_kalyxa_status(ngx_conf_t *cf, ngx_command_t *cmd, void *conf);

void ngx_http_kalyxa_count_request(ngx_int_t type);
void ngx_http_kalyxa_count_unchanged(ngx_http_kalyxa_reason_e reason);
void ngx_http_kalyxa_count_changed(void);
/* A page notification of that many microseconds. */
void ngx_http_kalyxa_count_page_time(ngx_msec_t microseconds);
void ngx_http_kalyxa_count_outcome(ngx_uint_t errors, ngx_uint_t exceptions);
void ngx_http_kalyxa_count_start_failure(void);

#endif /* NGX_HTTP_KALYXA_STATUS_H */
