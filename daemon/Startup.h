#pragma once
// What start-up builds and binds, in its order: main and the tests that meet
// the control commands as the daemon does share it.
namespace CtrlSrv {
class Server;
}

namespace Startup {

// The slot factories. Each links itself at the head of the chain, so they
// are asked newest first; the trunk factories, globals built before main,
// are asked last.
void buildSlotFactories();

// Binds the control services to the server in the order it asks them.
void bindControlServices(CtrlSrv::Server& server);

} // namespace Startup
