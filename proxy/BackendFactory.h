#pragma once
// The unit backends jvo-proxy can serve, and their command-line options. This is where the
// backends for the simulated unit and for a unit on a serial port plug in.
#include <memory>
#include <string>

#include "proxy/ProgramOptions.h"
#include "proxy/UnitBackend.h"

namespace jvo {

// Takes the backend options at argv[index] (see BackendArgParser).
int ParseBackendArgs(int argc, const char* const* argv, int index, ProxyProgramOptions& options,
                     std::string& error);
// Usage lines of the backend options (each ending in "\n").
std::string BackendUsage();
// The backend the options choose; null with a message in `error` when there is none.
std::unique_ptr<IUnitBackend> MakeUnitBackend(const ProxyProgramOptions& options,
                                              std::string& error);

}  // namespace jvo
