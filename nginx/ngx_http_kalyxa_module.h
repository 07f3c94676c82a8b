/* What the parts of the nginx module share: the location's configuration,
 * the request's context, and the header-list helpers. */
#ifndef NGX_HTTP_KALYXA_MODULE_H
#define NGX_HTTP_KALYXA_MODULE_H

#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>

#include "kalyxa_host.h"

typedef struct {
    ngx_flag_t enable;
    ngx_http_complex_value_t *type;
    ngx_http_complex_value_t *user;
    size_t max_page;
} ngx_http_kalyxa_loc_conf_t;

typedef struct {
    kx_request *request;
    size_t page_len; /* held so far */
    unsigned authenticated : 1;
    unsigned responded : 1;
    unsigned holding : 1;
} ngx_http_kalyxa_ctx_t;

extern ngx_module_t ngx_http_kalyxa_module;

static ngx_inline kx_text ngx_http_kalyxa_text(ngx_str_t *s) {
    kx_text text = {(const char *)s->data, s->len};
    return text;
}

/* The entries of a header list (and a content type, when given), as the
 * host library takes them; null when memory runs out. */
kx_header *ngx_http_kalyxa_headers(ngx_http_request_t *r, ngx_list_t *list, ngx_str_t *content_type, size_t *count);
/* A terminated copy in the pool. */
ngx_int_t ngx_http_kalyxa_copy(ngx_pool_t *pool, ngx_str_t *to, kx_text from);
/* Adds a header to a list, copied into the pool. */
ngx_int_t ngx_http_kalyxa_push(ngx_pool_t *pool, ngx_list_t *list, kx_text name, kx_text value);
/* The worker's changes to the request's (response 0) or the response's headers. */
ngx_int_t ngx_http_kalyxa_change_headers(ngx_http_request_t *r, ngx_list_t *list, int response);

/* The header and body filters (send-response, send-raw-data). */
ngx_int_t ngx_http_kalyxa_filter_init(ngx_conf_t *cf);

#endif /* NGX_HTTP_KALYXA_MODULE_H */
