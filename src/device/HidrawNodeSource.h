#pragma once

#include "device/HidrawNode.h"

// Where HidrawHidService finds its device nodes, how it opens them and how it hears of nodes
// coming and going. udev in the program; descriptors handed in from elsewhere in tests, or by a
// caller that obtained them through a privileged helper.
class HidrawNodeSource {
public:
    struct Watchers {
        std::function<void(const HidrawNode& node)> added;
        std::function<void(const QString& devnode)> removed;
    };

    virtual ~HidrawNodeSource() = default;

    virtual std::vector<HidrawNode> enumerate() = 0;
    // A descriptor for reading and writing reports, non-blocking and close-on-exec, owned by the
    // caller; or a negative errno.
    virtual int openNode(const QString& devnode) = 0;
    // Starts announcing nodes through `watchers`, on the GUI thread from the event loop. 0 when
    // it will, otherwise a negative errno: the caller then has to look for itself.
    virtual int32_t startWatching(Watchers watchers) = 0;
};
