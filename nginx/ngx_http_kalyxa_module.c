/* The Kalyxa worker inside nginx: its five notifications on nginx's request
 * life. Pre-processing runs in the rewrite phase, authentication complete
 * in the pre-content phase (after every access check, so that the user is
 * known), send-response in a header filter and send-raw-data in a body
 * filter that holds HTML answers up to kalyxa_max_page; end-of-request is
 * the request pool's clean-up, so it runs once for every request that
 * began, however it ends. Everything else is the host library's
 * (kalyxa_host.h). */
#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>

#include "kalyxa_host.h"
#include "ngx_http_kalyxa_status.h"

typedef struct {
    ngx_str_t worker;
    ngx_str_t user_store;
    ngx_str_t script_prefix;
} ngx_http_kalyxa_main_conf_t;

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

static ngx_int_t ngx_http_kalyxa_init(ngx_conf_t *cf);
static void *ngx_http_kalyxa_create_main_conf(ngx_conf_t *cf);
static char *ngx_http_kalyxa_init_main_conf(ngx_conf_t *cf, void *conf);
static void *ngx_http_kalyxa_create_loc_conf(ngx_conf_t *cf);
static char *ngx_http_kalyxa_merge_loc_conf(ngx_conf_t *cf, void *parent, void *child);
static ngx_int_t ngx_http_kalyxa_init_process(ngx_cycle_t *cycle);
static void ngx_http_kalyxa_exit_process(ngx_cycle_t *cycle);

static ngx_command_t ngx_http_kalyxa_commands[] = {
    {ngx_string("kalyxa_worker"), NGX_HTTP_MAIN_CONF | NGX_CONF_TAKE1, ngx_conf_set_str_slot,
     NGX_HTTP_MAIN_CONF_OFFSET, offsetof(ngx_http_kalyxa_main_conf_t, worker), NULL},
    {ngx_string("kalyxa_user_store"), NGX_HTTP_MAIN_CONF | NGX_CONF_TAKE1, ngx_conf_set_str_slot,
     NGX_HTTP_MAIN_CONF_OFFSET, offsetof(ngx_http_kalyxa_main_conf_t, user_store), NULL},
    {ngx_string("kalyxa_script_prefix"), NGX_HTTP_MAIN_CONF | NGX_CONF_TAKE1, ngx_conf_set_str_slot,
     NGX_HTTP_MAIN_CONF_OFFSET, offsetof(ngx_http_kalyxa_main_conf_t, script_prefix), NULL},
    {ngx_string("kalyxa"), NGX_HTTP_MAIN_CONF | NGX_HTTP_SRV_CONF | NGX_HTTP_LOC_CONF | NGX_CONF_FLAG,
     ngx_conf_set_flag_slot, NGX_HTTP_LOC_CONF_OFFSET, offsetof(ngx_http_kalyxa_loc_conf_t, enable), NULL},
    {ngx_string("kalyxa_type"), NGX_HTTP_MAIN_CONF | NGX_HTTP_SRV_CONF | NGX_HTTP_LOC_CONF | NGX_CONF_TAKE1,
     ngx_http_set_complex_value_slot, NGX_HTTP_LOC_CONF_OFFSET, offsetof(ngx_http_kalyxa_loc_conf_t, type), NULL},
    {ngx_string("kalyxa_user"), NGX_HTTP_MAIN_CONF | NGX_HTTP_SRV_CONF | NGX_HTTP_LOC_CONF | NGX_CONF_TAKE1,
     ngx_http_set_complex_value_slot, NGX_HTTP_LOC_CONF_OFFSET, offsetof(ngx_http_kalyxa_loc_conf_t, user), NULL},
    {ngx_string("kalyxa_max_page"), NGX_HTTP_MAIN_CONF | NGX_HTTP_SRV_CONF | NGX_HTTP_LOC_CONF | NGX_CONF_TAKE1,
     ngx_conf_set_size_slot, NGX_HTTP_LOC_CONF_OFFSET, offsetof(ngx_http_kalyxa_loc_conf_t, max_page), NULL},
    {ngx_string("kalyxa_status"), NGX_HTTP_LOC_CONF | NGX_CONF_NOARGS, ngx_http_kalyxa_status, 0, 0, NULL},
    ngx_null_command};

static ngx_http_module_t ngx_http_kalyxa_module_ctx = {
    NULL,                              /* preconfiguration */
    ngx_http_kalyxa_init,              /* postconfiguration */
    ngx_http_kalyxa_create_main_conf,  /* create main configuration */
    ngx_http_kalyxa_init_main_conf,    /* init main configuration */
    NULL,                              /* create server configuration */
    NULL,                              /* merge server configuration */
    ngx_http_kalyxa_create_loc_conf,   /* create location configuration */
    ngx_http_kalyxa_merge_loc_conf     /* merge location configuration */
};

ngx_module_t ngx_http_kalyxa_module = {NGX_MODULE_V1,
                                       &ngx_http_kalyxa_module_ctx,
                                       ngx_http_kalyxa_commands,
                                       NGX_HTTP_MODULE,
                                       NULL,                          /* init master */
                                       NULL,                          /* init module */
                                       ngx_http_kalyxa_init_process,  /* init process */
                                       NULL,                          /* init thread */
                                       NULL,                          /* exit thread */
                                       ngx_http_kalyxa_exit_process,  /* exit process */
                                       NULL,                          /* exit master */
                                       NGX_MODULE_V1_PADDING};

static ngx_http_output_header_filter_pt ngx_http_next_header_filter;
static ngx_http_output_body_filter_pt ngx_http_next_body_filter;

/* This worker process's worker; null when it did not start. */
static kx_worker *ngx_http_kalyxa_worker;

static kx_text ngx_http_kalyxa_text(ngx_str_t *s) {
    kx_text text = {(const char *)s->data, s->len};
    return text;
}

/* A terminated copy in the configuration's pool. */
static ngx_int_t ngx_http_kalyxa_terminate(ngx_conf_t *cf, ngx_str_t *s) {
    u_char *p = ngx_pnalloc(cf->pool, s->len + 1);
    if (p == NULL) return NGX_ERROR;
    ngx_memcpy(p, s->data, s->len);
    p[s->len] = '\0';
    s->data = p;
    return NGX_OK;
}

static void *ngx_http_kalyxa_create_main_conf(ngx_conf_t *cf) {
    return ngx_pcalloc(cf->pool, sizeof(ngx_http_kalyxa_main_conf_t));
}

static char *ngx_http_kalyxa_init_main_conf(ngx_conf_t *cf, void *conf) {
    ngx_http_kalyxa_main_conf_t *mcf = conf;
    if (mcf->user_store.data == NULL) {
        ngx_str_set(&mcf->user_store, "kalyxa-user-properties.sqlite");
    }
    /* A store named by a path is found from nginx's prefix, as its other files. */
    if (ngx_strncmp(mcf->user_store.data, "redis://", 8) != 0 &&
        ngx_conf_full_name(cf->cycle, &mcf->user_store, 0) != NGX_OK)
        return NGX_CONF_ERROR;
    if (mcf->script_prefix.data == NULL) {
        ngx_str_set(&mcf->script_prefix, "kx-2.0-1");
    }
    if (mcf->worker.len != 0 && ngx_http_kalyxa_terminate(cf, &mcf->worker) != NGX_OK) return NGX_CONF_ERROR;
    if (ngx_http_kalyxa_terminate(cf, &mcf->user_store) != NGX_OK) return NGX_CONF_ERROR;
    if (ngx_http_kalyxa_status_zone(cf, &ngx_http_kalyxa_module) != NGX_OK) return NGX_CONF_ERROR;
    return NGX_CONF_OK;
}

static void *ngx_http_kalyxa_create_loc_conf(ngx_conf_t *cf) {
    ngx_http_kalyxa_loc_conf_t *lcf = ngx_pcalloc(cf->pool, sizeof(ngx_http_kalyxa_loc_conf_t));
    if (lcf == NULL) return NULL;
    lcf->enable = NGX_CONF_UNSET;
    lcf->type = NGX_CONF_UNSET_PTR;
    lcf->user = NGX_CONF_UNSET_PTR;
    lcf->max_page = NGX_CONF_UNSET_SIZE;
    return lcf;
}

static char *ngx_http_kalyxa_merge_loc_conf(ngx_conf_t *cf, void *parent, void *child) {
    ngx_http_kalyxa_loc_conf_t *prev = parent;
    ngx_http_kalyxa_loc_conf_t *conf = child;
    ngx_conf_merge_value(conf->enable, prev->enable, 0);
    ngx_conf_merge_ptr_value(conf->type, prev->type, NULL);
    ngx_conf_merge_ptr_value(conf->user, prev->user, NULL);
    ngx_conf_merge_size_value(conf->max_page, prev->max_page, 4 * 1024 * 1024);
    return NGX_CONF_OK;
}

static ngx_int_t ngx_http_kalyxa_init_process(ngx_cycle_t *cycle) {
    ngx_http_kalyxa_main_conf_t *mcf = ngx_http_cycle_get_module_main_conf(cycle, ngx_http_kalyxa_module);
    char error[1024];
    if (mcf == NULL || mcf->worker.len == 0) return NGX_OK;
    ngx_http_kalyxa_worker =
        kx_worker_start((const char *)mcf->worker.data, (const char *)mcf->user_store.data, error, sizeof(error));
    if (ngx_http_kalyxa_worker == NULL) {
        ngx_log_error(NGX_LOG_ALERT, cycle->log, 0, "kalyxa: %s; requests pass through unchanged", error);
        ngx_http_kalyxa_count_start_failure();
        return NGX_OK;
    }
    ngx_log_error(NGX_LOG_NOTICE, cycle->log, 0, "kalyxa: worker %V started", &mcf->worker);
    return NGX_OK;
}

static void ngx_http_kalyxa_exit_process(ngx_cycle_t *cycle) {
    if (ngx_http_kalyxa_worker == NULL) return;
    kx_worker_stop(ngx_http_kalyxa_worker);
    ngx_http_kalyxa_worker = NULL;
    ngx_log_error(NGX_LOG_NOTICE, cycle->log, 0, "kalyxa: worker stopped");
}

/* End of request: the pool's clean-up. */
static void ngx_http_kalyxa_cleanup(void *data) {
    ngx_http_kalyxa_ctx_t *ctx = data;
    kx_request_outcome outcome;
    kx_request_end(ctx->request, &outcome);
    ctx->request = NULL;
    ngx_http_kalyxa_count_outcome(outcome.errors, outcome.exceptions);
}

/* The request's context; an internal redirect forgets module contexts, so
 * it is found again through the clean-up that owns it. */
static ngx_http_kalyxa_ctx_t *ngx_http_kalyxa_get_ctx(ngx_http_request_t *r) {
    ngx_http_kalyxa_ctx_t *ctx = ngx_http_get_module_ctx(r, ngx_http_kalyxa_module);
    ngx_pool_cleanup_t *cln;
    if (ctx != NULL || !r->internal) return ctx;
    for (cln = r->pool->cleanup; cln != NULL; cln = cln->next) {
        if (cln->handler == ngx_http_kalyxa_cleanup) {
            ctx = cln->data;
            ngx_http_set_ctx(r, ctx, ngx_http_kalyxa_module);
            return ctx;
        }
    }
    return NULL;
}

/* The entries of a header list, as the host library takes them. */
static kx_header *ngx_http_kalyxa_headers(ngx_http_request_t *r, ngx_list_t *list, ngx_str_t *content_type,
                                          size_t *count) {
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_uint_t i, n = content_type != NULL && content_type->len != 0 ? 1 : 0;
    kx_header *headers;
    for (part = &list->part; part != NULL; part = part->next) n += part->nelts;
    headers = ngx_palloc(r->pool, (n + 1) * sizeof(kx_header));
    if (headers == NULL) return NULL;
    n = 0;
    if (content_type != NULL && content_type->len != 0) {
        headers[n].name.data = "Content-Type";
        headers[n].name.len = sizeof("Content-Type") - 1;
        headers[n++].value = ngx_http_kalyxa_text(content_type);
    }
    for (part = &list->part; part != NULL; part = part->next) {
        h = part->elts;
        for (i = 0; i < part->nelts; i++) {
            if (h[i].hash == 0) continue;
            headers[n].name = ngx_http_kalyxa_text(&h[i].key);
            headers[n++].value = ngx_http_kalyxa_text(&h[i].value);
        }
    }
    *count = n;
    return headers;
}

static ngx_int_t ngx_http_kalyxa_copy(ngx_pool_t *pool, ngx_str_t *to, kx_text from) {
    to->len = from.len;
    to->data = ngx_pnalloc(pool, from.len + 1);
    if (to->data == NULL) return NGX_ERROR;
    ngx_memcpy(to->data, from.data, from.len);
    to->data[from.len] = '\0';
    return NGX_OK;
}

/* Drops every entry of a list named name (ignoring case). */
static ngx_int_t ngx_http_kalyxa_remove(ngx_pool_t *pool, ngx_list_t *list, kx_text name) {
    ngx_list_t kept;
    ngx_list_part_t *part;
    ngx_table_elt_t *h, *copy;
    ngx_uint_t i, found = 0;
    for (part = &list->part; part != NULL; part = part->next) {
        h = part->elts;
        for (i = 0; i < part->nelts; i++)
            if (h[i].key.len == name.len && ngx_strncasecmp(h[i].key.data, (u_char *)name.data, name.len) == 0)
                found = 1;
    }
    if (!found) return NGX_OK;
    if (ngx_list_init(&kept, pool, 20, sizeof(ngx_table_elt_t)) != NGX_OK) return NGX_ERROR;
    for (part = &list->part; part != NULL; part = part->next) {
        h = part->elts;
        for (i = 0; i < part->nelts; i++) {
            if (h[i].key.len == name.len && ngx_strncasecmp(h[i].key.data, (u_char *)name.data, name.len) == 0)
                continue;
            copy = ngx_list_push(&kept);
            if (copy == NULL) return NGX_ERROR;
            *copy = h[i];
        }
    }
    *list = kept;
    if (kept.last == &kept.part) list->last = &list->part; /* the copy's own first part */
    return NGX_OK;
}

static ngx_int_t ngx_http_kalyxa_push(ngx_pool_t *pool, ngx_list_t *list, kx_text name, kx_text value) {
    ngx_table_elt_t *h = ngx_list_push(list);
    if (h == NULL || ngx_http_kalyxa_copy(pool, &h->key, name) != NGX_OK ||
        ngx_http_kalyxa_copy(pool, &h->value, value) != NGX_OK)
        return NGX_ERROR;
    h->lowcase_key = ngx_pnalloc(pool, name.len);
    if (h->lowcase_key == NULL) return NGX_ERROR;
    ngx_strlow(h->lowcase_key, h->key.data, name.len);
    h->hash = ngx_hash_key(h->lowcase_key, name.len);
    return NGX_OK;
}

/* The worker's header changes on a list. A request header the worker adds
 * stands alone: one of that name sent by the browser is dropped, so that
 * OWA's handler pages never take a browser's value for the worker's. */
static ngx_int_t ngx_http_kalyxa_change_headers(ngx_http_request_t *r, ngx_list_t *list, int response) {
    const kx_header_change *changes;
    ngx_http_kalyxa_ctx_t *ctx = ngx_http_get_module_ctx(r, ngx_http_kalyxa_module);
    size_t n, count = kx_request_header_changes(ctx->request, response, &changes);
    for (n = 0; n < count; n++) {
        if ((changes[n].replace || !response) && ngx_http_kalyxa_remove(r->pool, list, changes[n].name) != NGX_OK)
            return NGX_ERROR;
        if (ngx_http_kalyxa_push(r->pool, list, changes[n].name, changes[n].value) != NGX_OK) return NGX_ERROR;
    }
    return NGX_OK;
}

/* The subscription type of a request: kalyxa_type, which may hold
 * variables (a map of the query); 0 when it is unset or no number. */
static ngx_int_t ngx_http_kalyxa_type(ngx_http_request_t *r, ngx_http_kalyxa_loc_conf_t *lcf, int *type) {
    ngx_str_t value;
    ngx_int_t n;
    *type = 0;
    if (lcf->type == NULL) return NGX_OK;
    if (ngx_http_complex_value(r, lcf->type, &value) != NGX_OK) return NGX_ERROR;
    n = value.len == 0 ? 0 : ngx_atoi(value.data, value.len);
    if (n == NGX_ERROR || n > 0x7FFFFFFF) {
        ngx_log_error(NGX_LOG_WARN, r->connection->log, 0, "kalyxa: kalyxa_type \"%V\" is no number; type 0",
                      &value);
        return NGX_OK;
    }
    *type = (int)n;
    return NGX_OK;
}

/* Pre-processing: a request of a location with "kalyxa on" begins. */
static ngx_int_t ngx_http_kalyxa_preproc_handler(ngx_http_request_t *r) {
    ngx_http_kalyxa_loc_conf_t *lcf = ngx_http_get_module_loc_conf(r, ngx_http_kalyxa_module);
    ngx_http_kalyxa_main_conf_t *mcf = ngx_http_get_module_main_conf(r, ngx_http_kalyxa_module);
    ngx_http_kalyxa_ctx_t *ctx;
    ngx_pool_cleanup_t *cln;
    kx_request_start start;
    u_char local[NGX_SOCKADDR_STRLEN], port[NGX_INT_T_LEN];
    ngx_str_t local_addr = {NGX_SOCKADDR_STRLEN, local};
    if (r != r->main || !lcf->enable || ngx_http_kalyxa_worker == NULL || ngx_http_kalyxa_get_ctx(r) != NULL)
        return NGX_DECLINED;
    ctx = ngx_pcalloc(r->pool, sizeof(ngx_http_kalyxa_ctx_t));
    cln = ngx_pool_cleanup_add(r->pool, 0);
    if (ctx == NULL || cln == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;

    ngx_memzero(&start, sizeof(start));
    start.method = ngx_http_kalyxa_text(&r->method_name);
    start.target = ngx_http_kalyxa_text(&r->unparsed_uri);
    start.headers = ngx_http_kalyxa_headers(r, &r->headers_in.headers, NULL, &start.header_count);
    if (start.headers == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
    start.remote_addr = ngx_http_kalyxa_text(&r->connection->addr_text);
    if (ngx_connection_local_sockaddr(r->connection, &local_addr, 0) != NGX_OK) local_addr.len = 0;
    start.local_addr = ngx_http_kalyxa_text(&local_addr);
    start.server_port.data = (const char *)port;
    start.server_port.len = ngx_sprintf(port, "%ui", (ngx_uint_t)ngx_inet_get_port(r->connection->local_sockaddr)) - port;
    start.host = r->headers_in.host != NULL ? ngx_http_kalyxa_text(&r->headers_in.host->value)
                                            : ngx_http_kalyxa_text(&r->headers_in.server);
#if (NGX_HTTP_SSL)
    start.https = r->connection->ssl != NULL;
#endif
    start.script_prefix = ngx_http_kalyxa_text(&mcf->script_prefix);
    if (ngx_http_kalyxa_type(r, lcf, &start.subscription_type) != NGX_OK) return NGX_HTTP_INTERNAL_SERVER_ERROR;

    ctx->request = kx_request_begin(ngx_http_kalyxa_worker, &start);
    if (ctx->request == NULL) {
        ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "kalyxa: no memory for the request; it passes unchanged");
        return NGX_DECLINED;
    }
    cln->handler = ngx_http_kalyxa_cleanup;
    cln->data = ctx;
    ngx_http_set_ctx(r, ctx, ngx_http_kalyxa_module);
    ngx_http_kalyxa_count_request(start.subscription_type);
    return NGX_DECLINED;
}

/* Authentication complete, once every access check has passed: the user,
 * the worker's request headers, and its rewrite as an internal redirect. */
static ngx_int_t ngx_http_kalyxa_auth_complete_handler(ngx_http_request_t *r) {
    ngx_http_kalyxa_loc_conf_t *lcf = ngx_http_get_module_loc_conf(r, ngx_http_kalyxa_module);
    ngx_http_kalyxa_ctx_t *ctx = ngx_http_kalyxa_get_ctx(r);
    ngx_str_t user = ngx_null_string, uri, args = ngx_null_string;
    kx_text url;
    u_char *query;
    size_t n;
    if (ctx == NULL || ctx->authenticated) return NGX_DECLINED;
    ctx->authenticated = 1;
    if (lcf->user != NULL && ngx_http_complex_value(r, lcf->user, &user) != NGX_OK)
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    kx_request_authenticated(ctx->request, ngx_http_kalyxa_text(&user));
    if (ngx_http_kalyxa_change_headers(r, &r->headers_in.headers, 0) != NGX_OK) return NGX_HTTP_INTERNAL_SERVER_ERROR;
    if (!kx_request_url(ctx->request, &url)) return NGX_DECLINED;

    /* The worker builds its URLs from the request's own; one that is no
     * path, or holds control characters, is not sent anywhere. */
    for (n = 0; n < url.len; n++)
        if ((u_char)url.data[n] < 0x20 || url.data[n] == 0x7F) break;
    if (url.len == 0 || url.data[0] != '/' || n != url.len) {
        ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "kalyxa: the worker's URL \"%*s\" is not used",
                      url.len, url.data);
        return NGX_DECLINED;
    }
    if (ngx_http_kalyxa_copy(r->pool, &uri, url) != NGX_OK) return NGX_HTTP_INTERNAL_SERVER_ERROR;
    query = ngx_strlchr(uri.data, uri.data + uri.len, '?');
    if (query != NULL) {
        args.data = query + 1;
        args.len = uri.data + uri.len - args.data;
        uri.len = query - uri.data;
    }
    (void)ngx_http_internal_redirect(r, &uri, &args);
    ngx_http_finalize_request(r, NGX_DONE);
    return NGX_DONE;
}

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
    if (r != r->main || ctx == NULL || ctx->responded) return ngx_http_next_header_filter(r);
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
        ngx_strcasecmp(encoding->value.data, (u_char *)"identity") != 0) {
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
    ctx->holding = 1;
    kx_request_page_begin(ctx->request, r->headers_out.content_length_n > 0 ? (size_t)r->headers_out.content_length_n : 0);
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
            b->memory = page.len != 0;
            held->buf = b;
            held->next = cl;
            rc = ngx_http_next_header_filter(r);
            if (rc == NGX_ERROR || rc > NGX_OK || r->header_only) return rc;
            return ngx_http_next_body_filter(r, held);
        }
        if (size != 0) kx_request_page_append(ctx->request, (const char *)b->pos, size);
        ctx->page_len += size;
        b->pos = b->last;
        if (b->last_buf) last = 1;
    }
    if (!last) return NGX_OK;
    ctx->holding = 0;
    return ngx_http_kalyxa_page(r, ctx);
}

static ngx_int_t ngx_http_kalyxa_init(ngx_conf_t *cf) {
    ngx_http_core_main_conf_t *cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
    ngx_http_handler_pt *h = ngx_array_push(&cmcf->phases[NGX_HTTP_REWRITE_PHASE].handlers);
    if (h == NULL) return NGX_ERROR;
    *h = ngx_http_kalyxa_preproc_handler;
    h = ngx_array_push(&cmcf->phases[NGX_HTTP_PRECONTENT_PHASE].handlers);
    if (h == NULL) return NGX_ERROR;
    *h = ngx_http_kalyxa_auth_complete_handler;

    ngx_http_next_header_filter = ngx_http_top_header_filter;
    ngx_http_top_header_filter = ngx_http_kalyxa_header_filter;
    ngx_http_next_body_filter = ngx_http_top_body_filter;
    ngx_http_top_body_filter = ngx_http_kalyxa_body_filter;
    return NGX_OK;
}
