#pragma once
// The TCP connection from the Ethernet node, as the transaction layer sees
// it: one more byte pipe. Data the node delivers lands in
// Exchange::NodeRxBuffer (each delivery replaces it; node notifications are
// dropped before that).
#include <string>

namespace wm {

class NodeLink {
public:
    virtual ~NodeLink() = default;
    virtual void SendData(const std::string& bytes) = 0;
    // True while the TCP connection stands. When it has broken, tells the
    // operator ("Node communications appears broken.  Restart program.")
    // and returns false.
    virtual bool NodeConnected() = 0;
};

} // namespace wm
