/* The Kalyxa worker inside nginx: its five notifications on nginx's request
 * life. Pre-processing runs in the rewrite phase, authentication complete
 * in the pre-content phase (after every access check, so that the user is
 * known), send-response in a header filter and send-raw-data in a body
 * filter that holds HTML answers up to kalyxa_max_page; end-of-request is
 * the request pool's clean-up, so it runs once for every request that
 * began, however it ends. Everything else is the host library's
 * (kalyxa_host.h). */
#include "ngx_http_kalyxa_module.h"
#include "ngx_http_kalyxa_status.h"

typedef struct {
    ngx_str_t worker;
    ngx_str_t user_store;
    ngx_str_t script_prefix;
} ngx_http_kalyxa_main_conf_t;

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

/* This worker process's worker; null when it did not start. */
static kx_worker *ngx_http_kalyxa_worker;

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
    /* Terminated, for the host library. */
    if (mcf->worker.len != 0 &&
        ngx_http_kalyxa_copy(cf->pool, &mcf->worker, ngx_http_kalyxa_text(&mcf->worker)) != NGX_OK)
        return NGX_CONF_ERROR;
    if (ngx_http_kalyxa_copy(cf->pool, &mcf->user_store, ngx_http_kalyxa_text(&mcf->user_store)) != NGX_OK)
        return NGX_CONF_ERROR;
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
    start.server_port.len =
        ngx_sprintf(port, "%ui", (ngx_uint_t)ngx_inet_get_port(r->connection->local_sockaddr)) - port;
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

/* Whether a text holds a control character (NUL, CR, LF and the others). */
static ngx_int_t ngx_http_kalyxa_has_controls(ngx_str_t *s) {
    size_t n;
    for (n = 0; n < s->len; n++)
        if (s->data[n] < 0x20 || s->data[n] == 0x7F) return 1;
    return 0;
}

/* Authentication complete, once every access check has passed: the user,
 * the worker's request headers, and its rewrite as an internal redirect. */
static ngx_int_t ngx_http_kalyxa_auth_complete_handler(ngx_http_request_t *r) {
    ngx_http_kalyxa_loc_conf_t *lcf = ngx_http_get_module_loc_conf(r, ngx_http_kalyxa_module);
    ngx_http_kalyxa_ctx_t *ctx = ngx_http_kalyxa_get_ctx(r);
    ngx_str_t user = ngx_null_string, raw, uri, args = ngx_null_string;
    kx_text url, tail;
    u_char *query, *decoded, *from;
    if (ctx == NULL || ctx->authenticated) return NGX_DECLINED;
    ctx->authenticated = 1;
    if (lcf->user != NULL && ngx_http_complex_value(r, lcf->user, &user) != NGX_OK)
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    kx_request_authenticated(ctx->request, ngx_http_kalyxa_text(&user));
    if (ngx_http_kalyxa_change_headers(r, &r->headers_in.headers, 0) != NGX_OK) return NGX_HTTP_INTERNAL_SERVER_ERROR;
    if (!kx_request_url(ctx->request, &url)) return NGX_DECLINED;

    /* The worker builds its URLs from the request's own, as sent (escaped):
     * nginx's URI is the decoded path. One that is no path, or whose path
     * or query holds control characters, is not sent anywhere. */
    query = (u_char *)ngx_strlchr((u_char *)url.data, (u_char *)url.data + url.len, '?');
    raw.data = (u_char *)url.data;
    raw.len = query != NULL ? (size_t)(query - raw.data) : url.len;
    if (query != NULL) {
        tail.data = (const char *)query + 1;
        tail.len = url.len - raw.len - 1;
        if (ngx_http_kalyxa_copy(r->pool, &args, tail) != NGX_OK) return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    uri.data = ngx_pnalloc(r->pool, raw.len + 1);
    if (uri.data == NULL) return NGX_HTTP_INTERNAL_SERVER_ERROR;
    decoded = uri.data;
    from = raw.data;
    ngx_unescape_uri(&decoded, &from, raw.len, NGX_UNESCAPE_URI);
    uri.len = decoded - uri.data;
    if (uri.len == 0 || uri.data[0] != '/' || ngx_http_kalyxa_has_controls(&uri) ||
        ngx_http_kalyxa_has_controls(&args)) {
        ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "kalyxa: the worker's URL \"%*s\" is not used", url.len,
                      url.data);
        return NGX_DECLINED;
    }
    (void)ngx_http_internal_redirect(r, &uri, &args);
    ngx_http_finalize_request(r, NGX_DONE);
    return NGX_DONE;
}

static ngx_int_t ngx_http_kalyxa_init(ngx_conf_t *cf) {
    ngx_http_core_main_conf_t *cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
    ngx_http_handler_pt *h = ngx_array_push(&cmcf->phases[NGX_HTTP_REWRITE_PHASE].handlers);
    if (h == NULL) return NGX_ERROR;
    *h = ngx_http_kalyxa_preproc_handler;
    h = ngx_array_push(&cmcf->phases[NGX_HTTP_PRECONTENT_PHASE].handlers);
    if (h == NULL) return NGX_ERROR;
    *h = ngx_http_kalyxa_auth_complete_handler;
    return ngx_http_kalyxa_filter_init(cf);
}
