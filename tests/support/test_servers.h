// What the tests need to run servers of their own on loopback ports.
#ifndef KX_TESTS_TEST_SERVERS_H
#define KX_TESTS_TEST_SERVERS_H

#include <sys/types.h>

#include <string>
#include <vector>

// A loopback port that was free a moment ago; throws when there is none.
int FreeLoopbackPort();
// Whether something accepts connections on the loopback port.
bool Accepts(int nPort);
// Sends raw bytes to the loopback port and reads what comes back until the
// peer closes or nSeconds pass without a byte.
std::string RawExchange(int nPort, const std::string& sRequest, int nSeconds = 2);
// A connection to the loopback port that sends nothing; its descriptor.
int OpenIdleConnection(int nPort);
// Starts a program (searched on PATH) with its output appended to sLog;
// throws when it cannot be started.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& sLog);

#endif  // KX_TESTS_TEST_SERVERS_H
