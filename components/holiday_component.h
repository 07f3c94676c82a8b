// The holiday component: loads holiday files into the shared store and
// queues users' imports and removals there.
//
// The configuration (Configure with kind 1) is a list of key=value pairs
// separated by ";", each value percent-encoded (%3B for ";", %25 for "%"):
//   ews=<EWS address>       where the calendar is
//   mailbox=<mailbox>       whose calendar; empty: the acting user's own
//   actas=<kind>|<name>     the user the work acts as (1: SMTP address,
//                           2: principal name); empty: the service account
//   tz=<time zone>          the user's OWA time zone, for all-day items
//   version=<n>             Exchange version value (4: Exchange 2007 SP1)
//   record=<guid>|<name>|<value>
//                           a calendar-folder property written when the
//                           work is done (repeatable)
// Unknown keys are refused, so a mistyped key is not silently ignored.
#ifndef KX_COMPONENTS_HOLIDAY_COMPONENT_H
#define KX_COMPONENTS_HOLIDAY_COMPONENT_H

#include <memory>
#include <string>

#include "components/holiday_store.h"
#include "platform/component_interfaces.h"

class CHolidayComponent : public IHoliday2 {
public:
    explicit CHolidayComponent(std::shared_ptr<CHolidayStore> spStore) : m_spStore(std::move(spStore)) {}

    HRESULT Initialize(const std::u16string& sPath, long nFlags) override;
    HRESULT AddHolidays(const std::u16string& sUser, const std::vector<std::u16string>& sections,
                        const std::u16string& sMailbox, int16_t nFlag, long& nResult) override;
    HRESULT DeleteHolidays(const std::u16string& sRequest, long& nResult) override;
    HRESULT Configure(long nKind, const std::u16string& sConfiguration, long& nResult) override;
    HRESULT GetHolidayStatus(long& nState) override;
    HRESULT LoadHolidayFile(const std::u16string& sPath, uint16_t& nResult) override;
    HRESULT LoadDeleteFile(const std::u16string& sPath, uint16_t& nResult) override;
    HRESULT IsHolydayFileLoaded(const std::u16string& sPath, VARIANT_BOOL& bLoaded) override;
    HRESULT IsDeleteFileLoaded(const std::u16string& sPath, VARIANT_BOOL& bLoaded) override;
    HRESULT GetErrorDescription(std::u16string& sDescription, std::u16string& sSource) override;
    HRESULT RemoveHolidayFile(const std::u16string& sPath, VARIANT_BOOL& bRemoved) override;
    HRESULT RemoveDeleteHolidayFile(const std::u16string& sPath, VARIANT_BOOL& bRemoved) override;

    // Results of AddHolidays and DeleteHolidays other than 0.
    enum : long { RESULT_NOT_CONFIGURED = 1, RESULT_NO_FILE = 2, RESULT_BUSY = 3, RESULT_BAD_REQUEST = 4 };

    // The configuration's values; false (with the reason) for a malformed one.
    static bool ParseConfiguration(const std::string& sText, CHolidayConnection& connection, std::string& sWhy);

private:
    HRESULT LoadFile(CHolidayWork kind, const std::u16string& sPath, uint16_t& nResult);
    long Queue(CHolidayJob job);

    std::shared_ptr<CHolidayStore> m_spStore;
    bool m_bConfigured = false;
    CHolidayConnection m_connection;
    std::string m_sError;
    std::string m_sSource;
};

#endif  // KX_COMPONENTS_HOLIDAY_COMPONENT_H
