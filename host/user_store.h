// Where the host keeps users' properties between requests: the view type a
// user chose, the holiday hash. A store that cannot answer makes the
// worker's property call fail; the page still goes out.
#ifndef KX_HOST_USER_STORE_H
#define KX_HOST_USER_STORE_H

#include <map>
#include <memory>
#include <string>

#include "kx/win_types.h"

namespace kxhost {

class UserStore {
public:
    virtual ~UserStore() = default;
    // The user's stored values by property id; false when the store cannot answer.
    virtual bool Load(const std::string& sUser, std::map<DWORD, std::string>& values) = 0;
    virtual bool Save(const std::string& sUser, DWORD dwId, const std::string& sValue) = 0;
};

// "redis://[:password@]host[:port][/db]" or the path of a SQLite file
// (created when missing); null with sError when it cannot be opened.
std::unique_ptr<UserStore> OpenUserStore(const std::string& sLocation, std::string& sError);

}  // namespace kxhost

#endif  // KX_HOST_USER_STORE_H
