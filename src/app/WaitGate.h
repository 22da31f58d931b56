#pragma once

// Whether the controller is waiting on something that runs the event loop: a device exchange of
// the search or of an update, or a download. Timer ticks, clicks and removals are delivered
// inside such a wait; each entry point asks the gate before it starts work of its own, so that
// no piece of work starts inside another one and no resumed wait finds its state replaced.
class WaitGate {
public:
    // Holds the gate closed for as long as it lives. Scopes nest: the gate opens again when the
    // outermost one ends.
    class Scope {
    public:
        explicit Scope(WaitGate& gate) : gate_(&gate) { ++gate_->depth_; }
        ~Scope() {
            if (gate_)
                --gate_->depth_;
        }
        Scope(Scope&& other) noexcept : gate_(other.gate_) { other.gate_ = nullptr; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        Scope& operator=(Scope&&) = delete;

    private:
        WaitGate* gate_;
    };

    WaitGate() = default;
    WaitGate(const WaitGate&) = delete;
    WaitGate& operator=(const WaitGate&) = delete;

    // True while no wait is in progress: an entry point may start its work.
    bool isOpen() const { return depth_ == 0; }
    [[nodiscard]] Scope close() { return Scope(*this); }

private:
    int depth_ = 0;
};
