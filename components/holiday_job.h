// One user's holiday work: the holidays of the asked sections added to the
// calendar as marked all-day appointments, or the marked ones of a delete
// file removed; afterwards the calendar folder gets the properties that
// record the work as done. Nothing is recorded for work that did not
// finish, so running it again completes it: items already made are found
// by their marker and not made twice.
#ifndef KX_COMPONENTS_HOLIDAY_JOB_H
#define KX_COMPONENTS_HOLIDAY_JOB_H

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "components/ews_soap.h"
#include "components/ews_transport.h"
#include "components/holiday_file.h"
#include "kx/win_types.h"

class CEwsClient;

enum class CHolidayWork { IMPORT, REMOVE };

// Where and for whom the work runs, from the component's configuration.
struct CHolidayConnection {
    std::string sEwsUrl;
    std::string sMailbox;  // the calendar's mailbox; empty: the connecting account's own
    long nActAsKind = 0;   // IMPERSONATE_SMTP_ADDRESS or IMPERSONATE_PRINCIPAL_NAME
    std::string sActAs;    // the user the work acts as; empty: the connecting account
    std::string sTimeZone;
    long nVersion = 1;
    std::vector<CEwsExtendedProperty> records;  // written to the calendar folder when done
};

struct CHolidayJob {
    CHolidayWork work = CHolidayWork::IMPORT;
    std::string sUser;
    CHolidayConnection connection;
    std::shared_ptr<const CHolidayFile> spFile;
    std::vector<std::string> sections;  // import: the sections asked; removal: every section of the file
};

// The marker every imported holiday carries.
const CEwsExtendedProperty& HolidayMarker();

// S_OK when the work is done and recorded; 0x80004004 when bCancelled
// stopped it between two steps; another failure with sError.
HRESULT RunHolidayJob(CEwsClient& client, const CEwsCredentials& credentials, const CHolidayJob& job,
                      const std::atomic<bool>& bCancelled, std::string& sError);

#endif  // KX_COMPONENTS_HOLIDAY_JOB_H
