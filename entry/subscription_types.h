// The subscription types the host gives each request (CDLLContext::m_dwSubscriptionType).
#ifndef KX_ENTRY_SUBSCRIPTION_TYPES_H
#define KX_ENTRY_SUBSCRIPTION_TYPES_H

#include <cstdint>

constexpr int32_t SUBSCRIPTION_POLL = 2;              // may be OWA notification polls
constexpr int32_t SUBSCRIPTION_REMINDER_COMMAND = 3;  // reminder commands ("cmd")
constexpr int32_t SUBSCRIPTION_OWA_PAGE = 4;          // OWA pages ("ae", "t", "a")
constexpr int32_t SUBSCRIPTION_5 = 5;
constexpr int32_t SUBSCRIPTION_OWN_COMMAND = 6;       // the worker's own pages ("qvkxcmd")
constexpr int32_t SUBSCRIPTION_31 = 31;               // holiday loading

#endif  // KX_ENTRY_SUBSCRIPTION_TYPES_H
