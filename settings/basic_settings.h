// What the two settings files share: where the file lies, when it was last
// looked at, and the rule by which a changed file is reloaded.
#ifndef KX_SETTINGS_BASIC_SETTINGS_H
#define KX_SETTINGS_BASIC_SETTINGS_H

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "kx/win_types.h"
#include "platform/file_time.h"
#include "platform/variant.h"

// One attribute of an element as the element walker hands it on: its name
// and its value (empty when the element lacks it).
typedef std::pair<std::u16string, CVariant> CAttributeItem;
typedef std::vector<CAttributeItem> CAttributeItems;

// A handler of the element walker: a member function of T taking the
// attribute items of one element and the table being built.
template <class T, class Table>
class _functTrans {
public:
    typedef HRESULT (T::*Handler)(const CAttributeItems& items, Table& table);
    _functTrans(T* pObject, Handler pfnHandler) : m_pObject(pObject), m_pfnHandler(pfnHandler) {}
    HRESULT operator()(const CAttributeItems& items, Table& table) const { return (m_pObject->*m_pfnHandler)(items, table); }

private:
    T* m_pObject;
    Handler m_pfnHandler;
};

class CBasicSettings {
public:
    static constexpr int DEFAULT_REFRESH_MINUTES = 15;

    virtual ~CBasicSettings() = default;
    virtual HRESULT Load(const std::string& sPath) = 0;

    // Once refreshMinutes have passed since the last check, compares the
    // file's date with the one last seen. A newer date sets bReload and is
    // handed back, not stored: CommitCheck stores it when the reload runs, so
    // a reload that cannot run now is retried at the next check.
    HRESULT IsRefreshNeeded(bool& bReload, FILETIME64& newFileDate);
    // The same question without a trace line or a stored time, safe while
    // another thread checks or reloads.
    bool PeekRefreshNeeded() const;
    // Whether the refresh interval has passed since the last check; no lock.
    bool IsCheckDue() const;
    void CommitCheck(FILETIME64 newFileDate);
    // Loads the file again; whatever the outcome, the file is not tried
    // again until its date changes.
    HRESULT Reload();
    // Reads the file date and stores its hash.
    void HashFileDate();
    static HRESULT GetFileDate(const std::string& sPath, FILETIME64& fileDate);

    const std::string& Path() const { return m_path; }
    // Why the last load failed, with the file's path; for operators.
    const std::string& LastFailure() const { return m_sLastFailure; }
    const std::string& Hash() const { return m_hash; }
    FILETIME64 FileDate() const { return m_fileDate.load(); }
    int RefreshMinutes() const { return m_refreshMinutes.load(); }
    void SetRefreshMinutes(int nMinutes) { m_refreshMinutes = nMinutes; }

protected:
    // After a successful load: checked and dated now, hash updated.
    void MarkLoaded(const std::string& sPath);

    // Read by PeekRefreshNeeded outside the reload lock.
    std::atomic<FILETIME64> m_fileDate{0};
    std::atomic<FILETIME64> m_lastCheck{0};
    std::atomic<int> m_refreshMinutes{DEFAULT_REFRESH_MINUTES};
    std::string m_path;  // set by the first load; later loads of the same file leave it alone
    std::string m_hash;
    std::string m_sLastFailure;
};

// The C library's decimal conversion of a text: leading blanks, a sign,
// leading digits; 0 when there are none ("12abc" is 12).
int32_t DecimalValue(std::u16string_view sText);

#endif  // KX_SETTINGS_BASIC_SETTINGS_H
