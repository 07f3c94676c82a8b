/* Send-response and send-raw-data: a header filter that holds HTML answers
 * for the worker, and a body filter that collects them whole, runs the
 * worker's page notification and sends the page as the worker left it. */
#include "ngx_http_kalyxa_module.h"
#include "ngx_http_kalyxa_status.h"

static ngx_http_output_header_filter_pt ngx_http_next_header_filter;
static ngx_http_output_body_filter_pt ngx_http_next_body_filter;

static ngx_int_t ngx_http_kalyxa_is_html(ngx_http_request_t *r) {
    ngx_str_t *type = &r->headers_out.content_type;
    return type->len >= sizeof("text/html") - 1 && ngx_strncasecmp(type->data, (u_char *)"text/html", 9) == 0;
}

/* Send-response, and whether the answer is a page for the worker. */
static ngx_int_t ngx_http_kalyxa_header_filter(ngx_http_request_t *r) {
    ngx_http_kalyxa_loc_conf_t *lcf = ngx_http_get_module_loc_conf(r, ngx_http_kalyxa_module);
    ngx_http_kalyxa_ctx_t *ctx = ngx_http_get_module_ctx(r, ngx_http_kalyxa_module);
    kx_header *headers;
    size_t count;
    ngx_table_elt_t *encoding = r->headers_out.content_encoding;
    if (r != r->main || ctx == NULL) return ngx_http_next_header_filter(r);
    if (ctx->responded) { /* nginx's own answer (an error page) in place of the held one */
        ctx->holding = 0;
        return ngx_http_next_header_filter(r);
    }
    ctx->responded = 1;
    if (!kx_request_wanted(ctx->request)) {
        ngx_http_kalyxa_count_unchanged(NGX_HTTP_KALYXA_IGNORED);
        return ngx_http_next_header_filter(r);
    }
    headers = ngx_http_kalyxa_headers(r, &r->headers_out.headers, &r->headers_out.content_type, &count);
    if (headers == NULL) return NGX_ERROR;
    kx_request_response(ctx->request, (int)r->headers_out.status, headers, count);
    if (ngx_http_kalyxa_change_headers(r, &r->headers_out.headers, 1) != NGX_OK) return NGX_ERROR;

    if (!kx_request_wanted(ctx->request)) {
        ngx_http_kalyxa_count_unchanged(NGX_HTTP_KALYXA_IGNORED);
        return ngx_http_next_header_filter(r);
    }
    if (r->headers_out.status != NGX_HTTP_OK || r->header_only || !ngx_http_kalyxa_is_html(r)) {
        ngx_http_kalyxa_count_unchanged(NGX_HTTP_KALYXA_NOT_HTML);
        return ngx_http_next_header_filter(r);
    }
    if (encoding != NULL && encoding->hash != 0 && encoding->value.len != 0 &&
        !(encoding->value.len == 8 && ngx_strncasecmp(encoding->value.data, (u_char *)"identity", 8) == 0)) {
        ngx_log_error(NGX_LOG_WARN, r->connection->log, 0,
                      "kalyxa: the page is compressed (\"%V\"); sent unedited (ask the upstream for identity)",
                      &encoding->value);
        ngx_http_kalyxa_count_unchanged(NGX_HTTP_KALYXA_COMPRESSED);
        return ngx_http_next_header_filter(r);
    }
    if (r->headers_out.content_length_n > (off_t)lcf->max_page) {
        ngx_log_error(NGX_LOG_WARN, r->connection->log, 0,
                      "kalyxa: a page of %O bytes is over kalyxa_max_page; sent unedited",
                      r->headers_out.content_length_n);
        ngx_http_kalyxa_count_unchanged(NGX_HTTP_KALYXA_OVER_BOUND);
        return ngx_http_next_header_filter(r);
    }
    if (kx_request_page_begin(ctx->request,
                              r->headers_out.content_length_n > 0 ? (size_t)r->headers_out.content_length_n : 0) != 0)
        return ngx_http_next_header_filter(r);
    ctx->holding = 1;
    r->main_filter_need_in_memory = 1;
    r->allow_ranges = 0;
    return NGX_OK;
}

/* Sends the held headers and the body in one buffer. */
static ngx_int_t ngx_http_kalyxa_send(ngx_http_request_t *r, u_char *body, size_t len) {
    ngx_chain_t out;
    ngx_buf_t *b = ngx_calloc_buf(r->pool);
    ngx_int_t rc;
    if (b == NULL) return NGX_ERROR;
    b->pos = body;
    b->last = body + len;
    b->memory = len != 0;
    b->last_buf = 1;
    b->last_in_chain = 1;
    out.buf = b;
    out.next = NULL;
    rc = ngx_http_next_header_filter(r);
    if (rc == NGX_ERROR || rc > NGX_OK || r->header_only) return rc;
    return ngx_http_next_body_filter(r, &out);
}

/* The worker's whole response in place of the one held. */
static ngx_int_t ngx_http_kalyxa_replace_headers(ngx_http_request_t *r, const kx_page *page) {
    ngx_http_headers_out_t *out = &r->headers_out;
    ngx_table_elt_t *h;
    size_t n;
    if (ngx_list_init(&out->headers, r->pool, 20, sizeof(ngx_table_elt_t)) != NGX_OK) return NGX_ERROR;
    out->status = (ngx_uint_t)page->status;
    out->status_line.len = 0;
    out->server = out->date = out->content_length = out->content_encoding = NULL;
    out->location = out->refresh = out->last_modified = out->content_range = NULL;
    out->accept_ranges = out->www_authenticate = out->expires = out->etag = NULL;
    out->cache_control.nelts = 0;
    out->link.nelts = 0;
    out->content_type.len = 0;
    out->content_type_len = 0;
    out->content_type_lowcase = NULL;
    out->charset.len = 0;
    out->last_modified_time = -1;
    for (n = 0; n < page->header_count; n++) {
        kx_text name = page->headers[n].name;
        if (name.len == 12 && ngx_strncasecmp((u_char *)name.data, (u_char *)"Content-Type", 12) == 0) {
            if (ngx_http_kalyxa_copy(r->pool, &out->content_type, page->headers[n].value) != NGX_OK) return NGX_ERROR;
            out->content_type_len = out->content_type.len;
            continue;
        }
        /* Framing and the connection are nginx's. */
        if ((name.len == 14 && ngx_strncasecmp((u_char *)name.data, (u_char *)"Content-Length", 14) == 0) ||
            (name.len == 10 && ngx_strncasecmp((u_char *)name.data, (u_char *)"Connection", 10) == 0) ||
            (name.len == 10 && ngx_strncasecmp((u_char *)name.data, (u_char *)"Keep-Alive", 10) == 0) ||
            (name.len == 17 && ngx_strncasecmp((u_char *)name.data, (u_char *)"Transfer-Encoding", 17) == 0))
            continue;
        if (ngx_http_kalyxa_push(r->pool, &out->headers, name, page->headers[n].value) != NGX_OK) return NGX_ERROR;
        h = (ngx_table_elt_t *)out->headers.last->elts + out->headers.last->nelts - 1;
        if (name.len == 8 && ngx_strncasecmp((u_char *)name.data, (u_char *)"Location", 8) == 0) out->location = h;
    }
    return NGX_OK;
}

/* Send-raw-data on the whole page, then the page as the worker left it. */
static ngx_int_t ngx_http_kalyxa_page(ngx_http_request_t *r, ngx_http_kalyxa_ctx_t *ctx) {
    kx_page page;
    kx_text held;
    struct timespec start, end;
    int result;
    clock_gettime(CLOCK_MONOTONIC, &start);
    result = kx_request_page(ctx->request, &page);
    clock_gettime(CLOCK_MONOTONIC, &end);
    ngx_http_kalyxa_count_page_time((ngx_msec_t)((end.tv_sec - start.tv_sec) * 1000000 +
                                                 (end.tv_nsec - start.tv_nsec) / 1000));
    if (result == KX_PAGE_BROKEN) {
        ngx_log_error(NGX_LOG_ERR, r->connection->log, 0,
                      "kalyxa: the worker's changes could not be read back; the page is sent unedited");
        ngx_http_kalyxa_count_outcome(1, 0);
    }
    if (result == KX_PAGE_UNCHANGED) ngx_http_kalyxa_count_unchanged(NGX_HTTP_KALYXA_NOT_OURS);
    if (result == KX_PAGE_UNCHANGED || result == KX_PAGE_BROKEN) {
        held = kx_request_page_held(ctx->request);
        return ngx_http_kalyxa_send(r, (u_char *)held.data, held.len);
    }
    ngx_http_kalyxa_count_changed();
    if (result == KX_PAGE_RESPONSE && ngx_http_kalyxa_replace_headers(r, &page) != NGX_OK) return NGX_ERROR;
    ngx_http_clear_content_length(r);
    ngx_http_clear_accept_ranges(r);
    ngx_http_clear_last_modified(r);
    ngx_http_clear_etag(r);
    r->headers_out.content_length_n = (off_t)page.body.len;
    return ngx_http_kalyxa_send(r, (u_char *)page.body.data, page.body.len);
}

static ngx_int_t ngx_http_kalyxa_body_filter(ngx_http_request_t *r, ngx_chain_t *in) {
    ngx_http_kalyxa_loc_conf_t *lcf = ngx_http_get_module_loc_conf(r, ngx_http_kalyxa_module);
    ngx_http_kalyxa_ctx_t *ctx = ngx_http_get_module_ctx(r, ngx_http_kalyxa_module);
    ngx_chain_t *cl, *held;
    ngx_buf_t *b;
    size_t size;
    kx_text page;
    ngx_int_t last = 0, rc;
    if (ctx == NULL || !ctx->holding || r != r->main) return ngx_http_next_body_filter(r, in);

    for (cl = in; cl != NULL; cl = cl->next) {
        b = cl->buf;
        size = ngx_buf_in_memory(b) ? (size_t)(b->last - b->pos) : 0;
        if (!ngx_buf_in_memory(b) && ngx_buf_size(b) != 0) {
            ngx_log_error(NGX_LOG_ALERT, r->connection->log, 0, "kalyxa: a page buffer is not in memory");
            return NGX_ERROR;
        }
        if (ctx->page_len + size > lcf->max_page) {
            /* Over the bound: what was held goes out as it came, then the rest. */
            ngx_log_error(NGX_LOG_WARN, r->connection->log, 0,
                          "kalyxa: a page over kalyxa_max_page (%uz bytes); sent unedited", lcf->max_page);
            ctx->holding = 0;
            ngx_http_kalyxa_count_unchanged(NGX_HTTP_KALYXA_OVER_BOUND);
            held = ngx_alloc_chain_link(r->pool);
            b = ngx_calloc_buf(r->pool);
            if (held == NULL || b == NULL) return NGX_ERROR;
            page = kx_request_page_held(ctx->request);
            b->pos = (u_char *)page.data;
            b->last = b->pos + page.len;
            b->memory = 1;
            held->buf = b;
            held->next = cl;
            rc = ngx_http_next_header_filter(r);
            if (rc == NGX_ERROR || rc > NGX_OK || r->header_only) return rc;
            return ngx_http_next_body_filter(r, page.len != 0 ? held : cl);
        }
        if (size != 0 && kx_request_page_append(ctx->request, (const char *)b->pos, size) != 0) return NGX_ERROR;
        ctx->page_len += size;
        b->pos = b->last;
        if (b->last_buf) last = 1;
    }
    if (!last) return NGX_OK;
    ctx->holding = 0;
    return ngx_http_kalyxa_page(r, ctx);
}

ngx_int_t ngx_http_kalyxa_filter_init(ngx_conf_t *cf) {
    ngx_http_next_header_filter = ngx_http_top_header_filter;
    ngx_http_top_header_filter = ngx_http_kalyxa_header_filter;
    ngx_http_next_body_filter = ngx_http_top_body_filter;
    ngx_http_top_body_filter = ngx_http_kalyxa_body_filter;
    return NGX_OK;
}
