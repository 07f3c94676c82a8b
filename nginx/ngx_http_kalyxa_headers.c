/* The header lists of a request as the host library takes and changes them. */
#include "ngx_http_kalyxa_module.h"

kx_header *ngx_http_kalyxa_headers(ngx_http_request_t *r, ngx_list_t *list, ngx_str_t *content_type, size_t *count) {
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

ngx_int_t ngx_http_kalyxa_copy(ngx_pool_t *pool, ngx_str_t *to, kx_text from) {
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

ngx_int_t ngx_http_kalyxa_push(ngx_pool_t *pool, ngx_list_t *list, kx_text name, kx_text value) {
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
ngx_int_t ngx_http_kalyxa_change_headers(ngx_http_request_t *r, ngx_list_t *list, int response) {
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
