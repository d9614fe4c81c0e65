// The agent's module as an earlier build made it: the factory only, no build of its own to tell. Its
// objects would not fit this build's, so calling it ends the process.
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) void* rackmind_snmp_agent_create()
{
    std::abort();
}
