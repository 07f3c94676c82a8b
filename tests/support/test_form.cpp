#include "tests/support/test_form.h"

#include "base/win_errors.h"
#include "dom/dom_attribute.h"
#include "dom/dom_exception.h"
#include "dom/dom_source.h"
#include "dom/dom_vectors.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"

DWORD CTestForm::Process(CSWFormContext* pFormContext) {
    CBufferInstructionList* pList = pFormContext->m_pcobBufferInstructionList;
    CDOMSource& dom = *pFormContext->m_spDom;
    CSWFormScriptPath scriptPath("Kalyxa", "2.0");
    // A DOM exception stops the form there, as it stops a page modifier.
    try {
        m_codes.push_back(InsertJSScript(pFormContext, JS_SCRIPT));
        m_codes.push_back(InsertScriptLink(pFormContext, SCRIPT_FILE, LINK_SCRIPT, scriptPath, false, POSITION_DEFAULT));
        m_codes.push_back(InsertScriptLink(pFormContext, STYLE_FILE, LINK_STYLESHEET, scriptPath, true, POSITION_DEFAULT));
        m_codes.push_back(InsertScriptLink(pFormContext, BLOCK, LINK_DIV, POSITION_BODY));
        m_codes.push_back(PrefixLinkedScripts(pFormContext, PREFIXED_SCRIPT, true));
        const CDOMElement body = dom.getBody();
        if (body.isUndefined()) return ERROR_SUCCESS;
        const CDOMElement table = body.getFirstElementByTagName("table");
        if (!table.isUndefined()) {
            m_codes.push_back(body.insertContentDataBefore(BEFORE_TABLE, table, pList));
            m_codes.push_back(dom.insertContentDataAfter(AFTER_TABLE, table, pList));
            const CDOMElementVector rows = table.getElementsByTagName("tr");
            if (rows.size() > 0) m_codes.push_back(rows[0].appendContentData(ROW_END, pList));
        }
        const CDOMElementVector cells = body.getElementsByTagName("td");
        for (size_t n = 0; n < cells.size(); ++n) {
            const CDOMAttribute attribute = cells[n].getAttribute("CLASS");
            if (!attribute.isUndefined()) {
                m_codes.push_back(attribute.insertValueData(0, CLASS_PREFIX, pList));
                break;
            }
        }
    } catch (const CDOMParserException& e) {
        m_sException = e.what();
    }
    return ERROR_SUCCESS;
}
