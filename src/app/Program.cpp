#include "app/Program.h"

namespace wm {

Program::Program(Platform platformIn, ProgramPaths pathsIn)
    : platform(platformIn), paths(std::move(pathsIn)),
      txn(link, x, platform.port, platform.clock, platform.pump),
      conn(link, platform.port, txn, platform.op, paths.settingsFile, paths.portOverride) {
    traffic.Watch(txn);
}

void Program::AttachNode(NodeSockets& sockets) {
    txn.SetNodeLink(nullptr);
    node = std::make_unique<NodeConnection>(link, x, conn, platform.op, platform.clock, platform.pump, sockets);
    txn.SetNodeLink(node.get());
    traffic.Watch(*node);
}

void Program::StartUp() {
    link.MeterRevision = 0;
    conn.OpenConnection();
    setup.text = std::string(176, '0');
    if (link.EthernetLink == 1) x.NodeConnectPending = 1;
}

} // namespace wm
