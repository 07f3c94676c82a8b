// Arbitrary bytes as an outgoing page: the test form's DOM queries and
// edits never throw past the form layer, and the host can always apply the
// list they make (positions inside the buffer, in the promised order).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dom/dom_source.h"
#include "dom/dom_vectors.h"
#include "forms/sw_form_context.h"
#include "host/host_request.h"
#include "tests/support/test_form.h"

namespace {

// More queries than the form makes, over the page's first elements.
void Browse(CDOMSource& dom) {
    CDOMElement element = dom.getHtml();
    if (element.isUndefined()) element = dom.getEnclosingElement(dom.getBeginPos());
    for (int n = 0; n < 8 && !element.isUndefined(); ++n) {
        element.getInnerText();
        element.getElementsByTagName("td");
        element.parentNode();
        const CDOMElement child = element.lastChild();
        element = child.isUndefined() ? element.nextSibling() : child;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    kxhost::HostServices services;
    kxhost::RequestSpec spec;
    spec.sBody.assign(reinterpret_cast<const char*>(pData), cbData);
    spec.serverVariables["HEADER_QV_CSMPREFIX"] = "v1234abc";
    kxhost::HostRequest request(services, spec);
    request.Context()->m_dwNotificationType = SF_NOTIFY_SEND_RAW_DATA;
    CTestForm form;
    CFormNotifications notifications([&](CSWFormContext* pFormContext) {
        Browse(*pFormContext->m_spDom);
        return form.Process(pFormContext);
    });
    const DWORD dwResult = notifications.NotifySendRawData(request.Context());
    // 7: a page comment naming a template of no known kind.
    if (dwResult != 0 && dwResult != 7) {
        std::fprintf(stderr, "send-raw-data failed with %u\n", dwResult);
        std::abort();
    }
    if (!request.SubmitError().empty()) {
        std::fprintf(stderr, "the host refused the list: %s\n", request.SubmitError().c_str());
        std::abort();
    }
    return 0;
}
