// The contract between the Kalyxa worker and the host filter that loads it.
//
// Everything the two modules share in memory is declared here, with the
// Windows x64 layout the host was designed for. Every offset and width that
// the contract fixes is checked below with static_assert; nothing else is
// shared between worker and host.
//
// Conventions
// - Little-endian, 64-bit pointers. Gaps named "host" belong to the host:
//   the worker neither reads nor writes them.
// - A host callback that fails sets the calling thread's last error, which on
//   this platform is errno (KxSetLastError / KxGetLastError).
// - Host strings (KxHostString) own their text with malloc/free, so either
//   module may assign a string the other created.
// - IRequestInfo::GetQueryParameter returns a value exactly as it stands in
//   the query string: it is NOT percent-decoded. The worker's checks on
//   query values rely on seeing the raw text.
// - Shared pointers are three words (KxSharedSlot). The worker reads only the
//   object word of the host's slots; the host reads only the object word of
//   the worker's.
#ifndef KX_HOST_ABI_H
#define KX_HOST_ABI_H

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "kx/win_types.h"

inline void KxSetLastError(DWORD dwError) { errno = static_cast<int>(dwError); }
inline DWORD KxGetLastError() { return static_cast<DWORD>(errno); }

// ---------------------------------------------------------------------------
// IIS filter interface (IIS SDK member names, types and order).
constexpr DWORD SF_NOTIFY_SEND_RESPONSE = 0x00000040;
constexpr DWORD SF_NOTIFY_END_OF_REQUEST = 0x00000080;
constexpr DWORD SF_NOTIFY_SEND_RAW_DATA = 0x00000400;
constexpr DWORD SF_NOTIFY_AUTHENTICATION = 0x00002000;
constexpr DWORD SF_NOTIFY_PREPROC_HEADERS = 0x00004000;
constexpr DWORD SF_NOTIFY_ORDER_LOW = 0x00020000;
constexpr DWORD SF_NOTIFY_AUTH_COMPLETE = 0x04000000;

constexpr size_t SF_MAX_FILTER_DESC_LEN = 256 + 1;

struct HTTP_FILTER_VERSION {
    DWORD dwServerFilterVersion;
    DWORD dwFilterVersion;
    CHAR lpszFilterDesc[SF_MAX_FILTER_DESC_LEN];
    DWORD dwFlags;
};
static_assert(offsetof(HTTP_FILTER_VERSION, lpszFilterDesc) == 8);
static_assert(offsetof(HTTP_FILTER_VERSION, dwFlags) == 268);
static_assert(sizeof(HTTP_FILTER_VERSION) == 272);

struct HTTP_FILTER_CONTEXT {
    DWORD cbSize;
    DWORD Revision;
    PVOID ServerContext;
    DWORD ulReserved;
    BOOL fIsSecurePort;
    PVOID pFilterContext;
    BOOL (*GetServerVariable)(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszVariableName, LPVOID lpvBuffer,
                              LPDWORD lpdwSize);
    BOOL (*AddResponseHeaders)(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszHeaders, DWORD dwReserved);
    BOOL (*WriteClient)(HTTP_FILTER_CONTEXT* pfc, LPVOID Buffer, LPDWORD lpdwBytes, DWORD dwReserved);
    LPVOID (*AllocMem)(HTTP_FILTER_CONTEXT* pfc, DWORD cbSize, DWORD dwReserved);
    BOOL (*ServerSupportFunction)(HTTP_FILTER_CONTEXT* pfc, DWORD sfReq, PVOID pData, ULONG_PTR ul1,
                                  ULONG_PTR ul2);
};
static_assert(offsetof(HTTP_FILTER_CONTEXT, ServerContext) == 8);
static_assert(offsetof(HTTP_FILTER_CONTEXT, pFilterContext) == 24);
static_assert(offsetof(HTTP_FILTER_CONTEXT, GetServerVariable) == 32);
static_assert(offsetof(HTTP_FILTER_CONTEXT, ServerSupportFunction) == 64);
static_assert(sizeof(HTTP_FILTER_CONTEXT) == 72);

typedef BOOL (*PFN_GET_HEADER)(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPVOID lpvBuffer,
                               LPDWORD lpdwSize);
typedef BOOL (*PFN_SET_HEADER)(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue);
typedef BOOL (*PFN_ADD_HEADER)(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue);

// Pre-process headers and send response share one structure in IIS.
struct HTTP_FILTER_PREPROC_HEADERS {
    PFN_GET_HEADER GetHeader;
    PFN_SET_HEADER SetHeader;
    PFN_ADD_HEADER AddHeader;
    DWORD HttpStatus;
    DWORD dwReserved;
};
typedef HTTP_FILTER_PREPROC_HEADERS HTTP_FILTER_SEND_RESPONSE;
static_assert(offsetof(HTTP_FILTER_PREPROC_HEADERS, AddHeader) == 16);
static_assert(offsetof(HTTP_FILTER_PREPROC_HEADERS, HttpStatus) == 24);
static_assert(sizeof(HTTP_FILTER_PREPROC_HEADERS) == 32);

struct HTTP_FILTER_AUTH_COMPLETE_INFO {
    PFN_GET_HEADER GetHeader;
    PFN_SET_HEADER SetHeader;
    PFN_ADD_HEADER AddHeader;
    BOOL (*GetUserToken)(HTTP_FILTER_CONTEXT* pfc, HANDLE* phToken);
    DWORD HttpStatus;
    BOOL fResetAuth;
    DWORD dwReserved;
};
static_assert(offsetof(HTTP_FILTER_AUTH_COMPLETE_INFO, AddHeader) == 16);
static_assert(offsetof(HTTP_FILTER_AUTH_COMPLETE_INFO, HttpStatus) == 32);
static_assert(sizeof(HTTP_FILTER_AUTH_COMPLETE_INFO) == 48);

struct HTTP_FILTER_RAW_DATA {
    PVOID pvInData;
    DWORD cbInData;
    DWORD cbInBuffer;
    DWORD dwReserved;
};
static_assert(sizeof(HTTP_FILTER_RAW_DATA) == 24);

// The first three members of every notification structure the worker is
// handed are GetHeader, SetHeader and AddHeader, in that order.
struct KxHeaderFunctions {
    PFN_GET_HEADER GetHeader;
    PFN_SET_HEADER SetHeader;
    PFN_ADD_HEADER AddHeader;
};
static_assert(offsetof(KxHeaderFunctions, AddHeader) == offsetof(HTTP_FILTER_PREPROC_HEADERS, AddHeader));
static_assert(offsetof(KxHeaderFunctions, AddHeader) == offsetof(HTTP_FILTER_AUTH_COMPLETE_INFO, AddHeader));

// ---------------------------------------------------------------------------
// The host's 40-byte string: text of up to 15 bytes lives in the inline
// buffer, longer text in a malloc'd block. The text is always NUL-terminated.
struct KxHostString {
    void* pHostReserved;  // host
    union {
        char szInline[16];
        char* pHeap;
    } bx;
    uint64_t cbSize;      // bytes of text, without the NUL
    uint64_t cbCapacity;  // bytes the text may hold; 15 means inline
};
static_assert(std::is_standard_layout_v<KxHostString>);
static_assert(sizeof(KxHostString) == 40);

constexpr uint64_t KX_HOST_STRING_INLINE = 15;

inline void KxHostStringInit(KxHostString* pString) {
    std::memset(pString, 0, sizeof(*pString));
    pString->cbCapacity = KX_HOST_STRING_INLINE;
}

inline const char* KxHostStringData(const KxHostString* pString) {
    return pString->cbCapacity > KX_HOST_STRING_INLINE ? pString->bx.pHeap : pString->bx.szInline;
}

inline void KxHostStringFree(KxHostString* pString) {
    if (pString->cbCapacity > KX_HOST_STRING_INLINE) std::free(pString->bx.pHeap);
    KxHostStringInit(pString);
}

// Replaces the text; returns false (string unchanged) when memory runs out.
inline bool KxHostStringAssign(KxHostString* pString, const char* pText, size_t cbText) {
    if (cbText <= KX_HOST_STRING_INLINE) {
        char szCopy[KX_HOST_STRING_INLINE + 1] = {};
        if (cbText != 0) std::memcpy(szCopy, pText, cbText);  // pText may alias the old text
        KxHostStringFree(pString);
        std::memcpy(pString->bx.szInline, szCopy, cbText + 1);
    } else {
        char* pHeap = static_cast<char*>(std::malloc(cbText + 1));
        if (pHeap == nullptr) return false;
        std::memcpy(pHeap, pText, cbText);
        pHeap[cbText] = '\0';
        KxHostStringFree(pString);
        pString->bx.pHeap = pHeap;
        pString->cbCapacity = cbText;
    }
    pString->cbSize = cbText;
    return true;
}

// ---------------------------------------------------------------------------
// Three-word shared pointer: object, shared 32-bit use count (changed with
// atomic operations), one-byte ownership tag.
struct KxSharedSlot {
    void* pObject;
    int32_t* pUseCount;
    uint8_t* pTag;
};
static_assert(std::is_standard_layout_v<KxSharedSlot>);
static_assert(sizeof(KxSharedSlot) == 24);

// ---------------------------------------------------------------------------
// Buffer instructions. The worker's objects are polymorphic: one v-table
// word, then the fields below. The host reads the fields through
// KxInstructionFields() and KxListFields() and never calls the v-table.
constexpr DWORD KX_INSTRUCTION_INSERT = 0;
constexpr DWORD KX_INSTRUCTION_DELETE = 1;
constexpr DWORD KX_INSTRUCTION_NONE = 0xFFFFFFFF;

struct KxBufferInstructionFields {
    DWORD dwType;          // record offset 8
    uint64_t qwPosition;   // 16: address of the byte in the host's buffer
    const char* pData;     // 24: insert: NUL-terminated text; delete: null
    int32_t bOwned;        // 32
    DWORD dwLength;        // 36: delete: bytes to remove; insert: 0
};
static_assert(std::is_standard_layout_v<KxBufferInstructionFields>);
static_assert(8 + offsetof(KxBufferInstructionFields, dwType) == 8);
static_assert(8 + offsetof(KxBufferInstructionFields, qwPosition) == 16);
static_assert(8 + offsetof(KxBufferInstructionFields, pData) == 24);
static_assert(8 + offsetof(KxBufferInstructionFields, bOwned) == 32);
static_assert(8 + offsetof(KxBufferInstructionFields, dwLength) == 36);
static_assert(8 + sizeof(KxBufferInstructionFields) == 40);

// Circular doubly linked list with a sentinel; sentinel->pNext is the first node.
struct KxBufferInstructionNode {
    KxBufferInstructionNode* pNext;
    KxBufferInstructionNode* pPrev;
    KxSharedSlot spInstruction;
};
static_assert(std::is_standard_layout_v<KxBufferInstructionNode>);
static_assert(offsetof(KxBufferInstructionNode, spInstruction) == 16);
static_assert(sizeof(KxBufferInstructionNode) == 40);

struct KxBufferInstructionListFields {
    KxBufferInstructionNode* pHead;  // record offset 8: the sentinel
    uint64_t qwCount;                // 16
};
static_assert(8 + offsetof(KxBufferInstructionListFields, pHead) == 8);
static_assert(8 + offsetof(KxBufferInstructionListFields, qwCount) == 16);

class CBufferInstruction;
class CBufferInstructionList;

inline const KxBufferInstructionFields* KxInstructionFields(const void* pInstruction) {
    return reinterpret_cast<const KxBufferInstructionFields*>(static_cast<const char*>(pInstruction) + 8);
}
inline const KxBufferInstructionListFields* KxListFields(const CBufferInstructionList* pList) {
    return reinterpret_cast<const KxBufferInstructionListFields*>(reinterpret_cast<const char*>(pList) + 8);
}

// ---------------------------------------------------------------------------
// Host records reached from CDLLContext.

// One user property; the entries lie contiguously between the context's
// begin and end pointers.
struct CUserPropertyEntry {
    BYTE reserved0[8];  // host
    DWORD dwId;
    BYTE reserved1[4];  // host
    KxHostString sValue;
    BYTE reserved2[80];  // host
    BYTE bChanged;       // set to 1 by the worker when it assigns a value
    BYTE reserved3[7];   // host
};
static_assert(offsetof(CUserPropertyEntry, dwId) == 8);
static_assert(offsetof(CUserPropertyEntry, sValue) == 16);
static_assert(offsetof(CUserPropertyEntry, bChanged) == 136);
static_assert(sizeof(CUserPropertyEntry) == 144);

// The buffered response and where the host found its main tags.
struct CCommonPointers {
    BYTE reserved0[8];  // host
    BYTE* m_pBufferStart;
    BYTE* m_pBufferLast;  // inclusive
    BYTE reserved1[8];    // host
    BYTE* m_pHtmlDataStart;  // null: the HTML starts at m_pBufferStart
    DWORD m_cbResponseHead;
    BYTE reserved2[76];  // host
    BYTE* m_pHtmlTag;
    BYTE* m_pHeadTag;
    BYTE* m_pHeadEndTag;
    DWORD m_cbHead;
    BYTE reserved3[4];  // host
    BYTE* m_pBodyTag;
    BYTE reserved4[8];  // host
    BYTE* m_pBodyEndTag;
};
static_assert(offsetof(CCommonPointers, m_pBufferStart) == 8);
static_assert(offsetof(CCommonPointers, m_pBufferLast) == 16);
static_assert(offsetof(CCommonPointers, m_pHtmlDataStart) == 32);
static_assert(offsetof(CCommonPointers, m_cbResponseHead) == 40);
static_assert(offsetof(CCommonPointers, m_pHtmlTag) == 120);
static_assert(offsetof(CCommonPointers, m_pHeadTag) == 128);
static_assert(offsetof(CCommonPointers, m_pHeadEndTag) == 136);
static_assert(offsetof(CCommonPointers, m_cbHead) == 144);
static_assert(offsetof(CCommonPointers, m_pBodyTag) == 152);
static_assert(offsetof(CCommonPointers, m_pBodyEndTag) == 168);
static_assert(sizeof(CCommonPointers) == 176);

// The host's view of the response being sent.
struct COutboundContext {
    BYTE reserved0[44];  // host
    DWORD m_dwHttpStatus;
    CCommonPointers* m_pCommonPointers;
};
static_assert(offsetof(COutboundContext, m_dwHttpStatus) == 44);
static_assert(offsetof(COutboundContext, m_pCommonPointers) == 48);

// The Exchange URLs of this request.
struct CExchangeURL {
    KxHostString m_sBase;
    KxHostString m_sIntRoot;
    KxHostString m_sRoot;
    BYTE reserved0[40];  // host
    KxHostString m_sOwaPath;
};
static_assert(offsetof(CExchangeURL, m_sIntRoot) == 40);
static_assert(offsetof(CExchangeURL, m_sRoot) == 80);
static_assert(offsetof(CExchangeURL, m_sOwaPath) == 160);

// A read-only view of host-owned text, valid while the request lasts.
struct KxStringView {
    const char* pData;
    uint64_t cbSize;
};

// The host's parsed request. Both look-ups report found or not found.
class IRequestInfo {
public:
    // A request header or server variable by its IIS name ("HTTP_URL",
    // "QUERY_STRING", "HTTP_COOKIE", ...). An exact match; a name that is not
    // found and does not end with ':' is tried again with ':' appended.
    virtual bool GetRequestHeader(const char* pszName, KxStringView* pValue) const = 0;
    // A query parameter's value as it stands in the URL (not percent-decoded).
    virtual bool GetQueryParameter(const char* pszName, KxStringView* pValue) const = 0;

protected:
    ~IRequestInfo() = default;
};

// ---------------------------------------------------------------------------
// The per-request record.
struct CDLLContext;

typedef DWORD (*PFN_SUBMIT_BUFFER_COMMANDS)(CDLLContext* pContext, CBufferInstructionList* pList);
typedef BYTE (*PFN_LOAD_USER_PROPERTIES)(CDLLContext* pContext, DWORD dwPropertyId, BYTE bFlag);
typedef BYTE (*PFN_SAVE_USER_PROPERTY)(CDLLContext* pContext, DWORD dwPropertyId);

// Host services; the worker calls only the three named slots.
struct CCoreServices {
    void* reserved0[2];  // host
    PFN_SUBMIT_BUFFER_COMMANDS SubmitBufferCommands;
    void* reserved1[2];  // host
    PFN_LOAD_USER_PROPERTIES LoadUserProperties;
    PFN_SAVE_USER_PROPERTY SaveUserProperty;
};
static_assert(offsetof(CCoreServices, SubmitBufferCommands) == 16);
static_assert(offsetof(CCoreServices, LoadUserProperties) == 40);
static_assert(offsetof(CCoreServices, SaveUserProperty) == 48);

// Control messages from worker to host.
constexpr DWORD KX_CONTROL_NONE = 0;
constexpr DWORD KX_CONTROL_IGNORE = 1;
constexpr DWORD KX_CONTROL_HANDLED = 2;
constexpr DWORD KX_CONTROL_REPLACE = 3;
constexpr DWORD KX_CONTROL_COMPLETED = 4;

// Per-request feature bits.
constexpr DWORD KX_FEATURE_POST = 0x1;
constexpr DWORD KX_FEATURE_USER_CONTEXT = 0x2;
constexpr DWORD KX_FEATURE_NO_PRODUCT_HEADER = 0x10;
constexpr DWORD KX_FEATURE_QVKXDGI_RB = 0x20;
constexpr DWORD KX_FEATURE_OPTIONS = 0x100;
constexpr DWORD KX_FEATURE_CALENDAR_OPTIONS = 0x200;
constexpr DWORD KX_FEATURE_SUBSCRIPTION_31 = 0x400;

struct CDLLContext {
    void* pHostReserved0;  // host
    DWORD m_dwNotificationType;
    BYTE reserved1[44];  // host
    CUserPropertyEntry* m_pUserPropertiesBegin;
    CUserPropertyEntry* m_pUserPropertiesEnd;
    BYTE reserved2[16];  // host
    DWORD m_dwFeatureFlags;
    BYTE reserved3[4];      // host
    void* m_pMyOwnContext;  // the worker's per-request object
    DWORD m_dwControlMessage;
    DWORD m_cbReplaceBuffer;
    BYTE* m_pReplaceBuffer;  // a complete raw HTTP response, allocated by the worker (new[])
    CCoreServices* m_pCoreServices;
    BYTE reserved4[16];  // host
    KxSharedSlot m_spOutboundContext;  // COutboundContext
    KxSharedSlot m_spRequestInfo;      // IRequestInfo
    KxSharedSlot m_spExchangeURL;      // CExchangeURL
    HTTP_FILTER_CONTEXT* m_pfc;
    void* m_pvNotification;  // starts with KxHeaderFunctions
    BYTE reserved5[20];      // host
    int32_t m_dwSubscriptionType;
};
static_assert(std::is_standard_layout_v<CDLLContext>);
static_assert(offsetof(CDLLContext, m_dwNotificationType) == 8);
static_assert(offsetof(CDLLContext, m_pUserPropertiesBegin) == 56);
static_assert(offsetof(CDLLContext, m_pUserPropertiesEnd) == 64);
static_assert(offsetof(CDLLContext, m_dwFeatureFlags) == 88);
static_assert(offsetof(CDLLContext, m_pMyOwnContext) == 96);
static_assert(offsetof(CDLLContext, m_dwControlMessage) == 104);
static_assert(offsetof(CDLLContext, m_cbReplaceBuffer) == 108);
static_assert(offsetof(CDLLContext, m_pReplaceBuffer) == 112);
static_assert(offsetof(CDLLContext, m_pCoreServices) == 120);
static_assert(offsetof(CDLLContext, m_spOutboundContext) == 144);
static_assert(offsetof(CDLLContext, m_spRequestInfo) == 168);
static_assert(offsetof(CDLLContext, m_spExchangeURL) == 192);
static_assert(offsetof(CDLLContext, m_pfc) == 216);
static_assert(offsetof(CDLLContext, m_pvNotification) == 224);
static_assert(offsetof(CDLLContext, m_dwSubscriptionType) == 252);
static_assert(sizeof(CDLLContext) == 256);

// ---------------------------------------------------------------------------
// The worker's exports.
extern "C" {
typedef BOOL (*PFN_GET_FILTER_VERSION)(HTTP_FILTER_VERSION* pVer);
typedef DWORD (*PFN_HTTP_FILTER_PROC)(CDLLContext* pContext);
typedef BOOL (*PFN_TERMINATE_FILTER)(DWORD dwFlags);
}

#endif  // KX_HOST_ABI_H
