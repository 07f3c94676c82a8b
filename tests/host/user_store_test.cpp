// Where the host keeps users' properties: SQLite by default, Redis shared
// by several servers (a real redis-server on loopback).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "host/user_store.h"
#include "tests/support/redis_server.h"

namespace {

TEST(UserStores, RedisIsSharedAndADownStoreFailsTheCall) {
    CRedisServer redis;
    std::string sError;
    const std::unique_ptr<kxhost::UserStore> spFirst = kxhost::OpenUserStore(redis.Uri(), sError);
    const std::unique_ptr<kxhost::UserStore> spSecond = kxhost::OpenUserStore(redis.Uri() + "/0", sError);
    ASSERT_TRUE(spFirst && spSecond) << sError;
    ASSERT_TRUE(spFirst->Save("ana.lima", 0x8602, "3"));
    std::map<DWORD, std::string> values;
    ASSERT_TRUE(spSecond->Load("ana.lima", values));
    EXPECT_EQ(values[0x8602], "3");
    redis.Kill();
    EXPECT_FALSE(spSecond->Load("ana.lima", values));
    EXPECT_FALSE(spFirst->Save("ana.lima", 0x8602, "4"));
    EXPECT_FALSE(kxhost::OpenUserStore("redis://:pw@/0", sError)) << "no host";
    EXPECT_FALSE(kxhost::OpenUserStore("redis://host:99999", sError)) << "no port";
}

TEST(UserStores, SqliteKeepsValuesAcrossOpens) {
    char szFolder[] = "/tmp/kx-store-XXXXXX";
    ASSERT_NE(mkdtemp(szFolder), nullptr);
    const std::string sPath = std::string(szFolder) + "/store.sqlite";
    std::string sError;
    {
        const std::unique_ptr<kxhost::UserStore> spStore = kxhost::OpenUserStore(sPath, sError);
        ASSERT_TRUE(spStore) << sError;
        ASSERT_TRUE(spStore->Save("ana.lima", 0x8602, "2"));
        ASSERT_TRUE(spStore->Save("ana.lima", 0x8602, "4"));
        ASSERT_TRUE(spStore->Save("bo'b; DROP TABLE user_property;--", 0x8601, std::string("a\0b", 3)));
    }
    const std::unique_ptr<kxhost::UserStore> spStore = kxhost::OpenUserStore(sPath, sError);
    std::map<DWORD, std::string> values;
    ASSERT_TRUE(spStore->Load("ana.lima", values));
    EXPECT_EQ(values, (std::map<DWORD, std::string>{{0x8602, "4"}}));
    values.clear();
    ASSERT_TRUE(spStore->Load("bo'b; DROP TABLE user_property;--", values));
    EXPECT_EQ(values[0x8601], std::string("a\0b", 3));
    EXPECT_FALSE(kxhost::OpenUserStore(std::string(szFolder) + "/missing/store.sqlite", sError));
    std::filesystem::remove_all(szFolder);
}

}  // namespace
