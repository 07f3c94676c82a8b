// Chooses and runs the page modifier for an outgoing page.
#ifndef KX_FORMS_KX_FORM_FACTORY_H
#define KX_FORMS_KX_FORM_FACTORY_H

#include "kx/win_types.h"

class CSWFormContext;

class CKXFormFactory {
public:
    // 7 when the context lacks a piece a page modifier needs; otherwise the
    // result of the form that ran (0 when none did).
    static DWORD Process(CSWFormContext* pFormContext);
};

#endif  // KX_FORMS_KX_FORM_FACTORY_H
