// A page modifier for tests: every DOM query, edit and insertion the form
// layer offers, applied to whatever page it is given.
#ifndef KX_TESTS_TEST_FORM_H
#define KX_TESTS_TEST_FORM_H

#include <functional>
#include <string>

#include "entry/notifications.h"
#include "forms/sw_form.h"

class CTestForm : public CSWForm {
public:
    // The texts the form inserts, so tests can place them independently.
    static constexpr const char* JS_SCRIPT = "var kxTest = 1;";
    static constexpr const char* SCRIPT_FILE = "kxtest.js";
    static constexpr const char* STYLE_FILE = "kxtest.css";
    static constexpr const char* BLOCK = "kx-block";
    static constexpr const char* PREFIXED_SCRIPT = "cdayvw.js";
    static constexpr const char* BEFORE_TABLE = "<!--kx-before-table-->";
    static constexpr const char* AFTER_TABLE = "<!--kx-after-table-->";
    static constexpr const char* ROW_END = "<!--kx-row-end-->";
    static constexpr const char* CLASS_PREFIX = "kx ";

    DWORD Process(CSWFormContext* pFormContext) override;

    // The codes of the insertions, in call order; DOM exceptions as their text.
    std::vector<DWORD> m_codes;
    std::string m_sException;
};

// Send-raw-data handling with the page modifiers replaced by a function.
class CFormNotifications : public CNotifications {
public:
    explicit CFormNotifications(std::function<DWORD(CSWFormContext*)> fnForms) : m_fnForms(std::move(fnForms)) {}

protected:
    DWORD RunForms(CSWFormContext* pFormContext) override { return m_fnForms(pFormContext); }
    bool IsPageForForms(const CDLLContext*, const CCommonPointers&) override { return true; }

private:
    std::function<DWORD(CSWFormContext*)> m_fnForms;
};

#endif  // KX_TESTS_TEST_FORM_H
