// Signals and slots: a sender owns a signal, receivers derive from
// sigslot::has_slots and are connected to it, emitting calls every connected
// receiver.
//
// Receivers are referenced weakly. Each receiver owns a shared cell (slot_wrapper)
// that points back to it; connections count references to the cell, not to the
// receiver. When the receiver dies or calls disconnect_all, the cell's back pointer
// is cleared and every connection through it is dead: the signal drops it at its
// next emission. A receiver never has to tell its signals that it goes away.
//
// Emission never holds the signal's lock while receivers run: under the lock the
// signal only purges dead connections and clones the live ones into a private list,
// and the calls are made from that copy. A receiver may therefore emit, connect to
// or disconnect from any signal, this one included, from inside its call, and
// several threads may emit one signal at once.
//
// Threads: emitting is safe from any thread, and so is connecting and
// disconnecting, on the thread that owns the receiver (connect and disconnect
// read the receiver's current cell, which its disconnect_all replaces). The
// back pointer is read just before each call, so a receiver that called
// disconnect_all is not called again by emissions on its own thread, nor by any
// emission that starts after the call returned. A receiver must not be destroyed
// while another thread's emission may reach it: destroy receivers on the thread
// that emits to them, or after the emitting threads have stopped.
//
// Connecting: signal.connect(&receiver, &Receiver::method) appends a connection at
// the end of the list, so receivers are called in the order they were connected; a
// receiver connected twice is called twice. signal.disconnect(&receiver) ends the
// receiver's connections to that one signal; receiver.disconnect_all() ends all.
#pragma once

#include <pubfunc/export.h>

#include <atomic>
#include <cstddef>
#include <iterator>
#include <list>
#include <vector>

class CSwitchEvent;

namespace sigslot {

// Base class of every receiver.
class PUBFUNC_API has_slots {
public:
    // The receiver's shared identity cell. Always on the heap; the library
    // allocates and frees it, so it may cross module boundaries.
    class PUBFUNC_API slot_wrapper {
    public:
        explicit slot_wrapper(has_slots* owner) : owner(owner), refs(0) {}
        long addref() { return refs.fetch_add(1) + 1; }
        // Deletes the cell when the count reaches 0; returns the new count.
        long release() {
            const long n = refs.fetch_sub(1) - 1;
            if (n == 0) destroy();
            return n;
        }
        // The receiver, or null once it is gone or has disconnected everything.
        has_slots* get() const { return owner.load(); }

    private:
        friend class has_slots;
        void destroy();
        std::atomic<has_slots*> owner;
        std::atomic<int> refs;
    };

    // A counted pointer to a cell.
    class slot_holder {
    public:
        slot_holder(slot_wrapper* w = nullptr) : ptr(w) {
            if (ptr) ptr->addref();
        }
        slot_holder(const slot_holder& o) : slot_holder(o.ptr) {}
        ~slot_holder() {
            if (ptr) ptr->release();
        }
        slot_holder& operator=(slot_wrapper* w) {
            if (w == ptr) return *this;
            slot_wrapper* old = ptr;
            ptr = w;
            if (ptr) ptr->addref();
            if (old) old->release();
            return *this;
        }
        slot_holder& operator=(const slot_holder& o) { return *this = o.ptr; }
        operator slot_wrapper*() { return ptr; }
        operator const slot_wrapper*() const { return ptr; }
        slot_wrapper* operator->() const { return ptr; }

    private:
        slot_wrapper* ptr;
    };

    has_slots();
    // A copy shares the cell of the object it was copied from (its back pointer
    // stays that object): destroying or disconnecting either ends the connections
    // of both.
    has_slots(const has_slots&) = default;
    has_slots& operator=(const has_slots&) = default;
    virtual ~has_slots();

    // Ends every connection made so far; connections made afterwards are live.
    void disconnect_all();
    // What a new connection copies. Its cell is null only when memory ran out at
    // construction or at disconnect_all; connecting such a receiver fails.
    const slot_holder& get_receiver() const { return holder; }

private:
    slot_holder holder;
};

// One connection of one signal to one receiver. Concrete types add the call.
class _connection_base {
public:
    // Owns one connection; the element type of every connection list. A copy
    // holds a clone; assignment clones too, and move transfers, so no connection
    // ever has two owners.
    class connection_holder {
    public:
        connection_holder(const _connection_base* c = nullptr)
            : ptr(const_cast<_connection_base*>(c)) {}
        connection_holder(const connection_holder& o) : ptr(o.ptr->clone()) {}
        connection_holder(connection_holder&& o) noexcept : ptr(o.ptr) { o.ptr = nullptr; }
        connection_holder& operator=(const connection_holder& o) {
            if (this != &o) reset(o.ptr ? o.ptr->clone() : nullptr);
            return *this;
        }
        connection_holder& operator=(connection_holder&& o) noexcept {
            if (this != &o) {
                reset(o.ptr);
                o.ptr = nullptr;
            }
            return *this;
        }
        ~connection_holder() { delete ptr; }
        operator _connection_base*() { return ptr; }
        operator const _connection_base*() const { return ptr; }
        _connection_base* operator->() { return ptr; }
        const _connection_base* operator->() const { return ptr; }

    private:
        void reset(_connection_base* c) {
            delete ptr;
            ptr = c;
        }
        _connection_base* ptr;
    };

    _connection_base() : emitter(nullptr) {}
    _connection_base(const has_slots::slot_holder& receiver, void* emitter)
        : receiver(receiver), emitter(emitter) {}
    _connection_base(const _connection_base&) = default;
    _connection_base& operator=(const _connection_base&) = default;
    virtual ~_connection_base() {}

    // A new heap copy: same receiver cell, same emitter.
    virtual _connection_base* clone() const = 0;
    // Whether other calls the same member function through the same cell.
    // The signals never call it; it is there for hosts that compare connections.
    virtual bool same_slot(const _connection_base& other) const = 0;
    // The number of arguments the connection's call takes (0 or 1); for hosts too.
    virtual int arity() const = 0;

    has_slots* getdest() const {
        const has_slots::slot_wrapper* w = receiver;
        return w ? w->get() : nullptr;
    }
    void* get_emitter() const { return emitter; }
    // Whether the connection goes through cell w.
    bool goes_to(const has_slots::slot_wrapper* w) const {
        return static_cast<const has_slots::slot_wrapper*>(receiver) == w;
    }

protected:
    has_slots::slot_holder receiver;
    void* emitter;
};

// The lock of a signal: a platform critical section of its own.
class PUBFUNC_API multi_threaded_local {
public:
    multi_threaded_local();
    multi_threaded_local(const multi_threaded_local&) = delete;
    multi_threaded_local& operator=(const multi_threaded_local&) = delete;
    virtual ~multi_threaded_local();
    virtual void lock();
    virtual void unlock();

private:
    alignas(8) unsigned char record[40];
};

// Holds a signal's lock for one scope.
template <class mt_policy> class lock_block {
public:
    explicit lock_block(mt_policy* m) : m(m) { m->lock(); }
    ~lock_block() { m->unlock(); }
    lock_block(const lock_block&) = delete;
    lock_block& operator=(const lock_block&) = delete;

private:
    mt_policy* m;
};

template <class mt_policy> class _signal_base : public mt_policy {
public:
    using connections_list = std::list<_connection_base::connection_holder>;

    _signal_base() {}
    // Virtual only when the lock policy's destructor is: a policy need not have one.
    ~_signal_base() { // NOLINT(modernize-use-override)
        lock_block<mt_policy> guard(this);
        connections.clear();
    }

    // Ends every connection of receiver r to this signal; returns how many ended.
    int disconnect(const has_slots* r) {
        if (!r) return 0;
        const has_slots::slot_wrapper* cell = r->get_receiver();
        lock_block<mt_policy> guard(this);
        int ended = 0;
        for (auto it = connections.begin(); it != connections.end();)
            if ((*it)->goes_to(cell)) {
                it = connections.erase(it);
                ++ended;
            } else {
                ++it;
            }
        return ended;
    }

    // Connections in the list, dead ones not yet purged included.
    std::size_t connection_count() {
        lock_block<mt_policy> guard(this);
        return connections.size();
    }

protected:
    using snapshot = std::vector<_connection_base::connection_holder>;

    // Appends c; false (and c is freed) when the receiver has no cell.
    bool append(_connection_base* c) {
        _connection_base::connection_holder owned(c);
        if (!c->getdest()) return false;
        lock_block<mt_policy> guard(this);
        connections.push_back(std::move(owned));
        return true;
    }

    // Under the lock: purge dead connections, clone the live ones into out.
    void take_snapshot(snapshot& out) {
        lock_block<mt_policy> guard(this);
        for (auto it = connections.begin(); it != connections.end();)
            it = (*it)->getdest() ? std::next(it) : connections.erase(it);
        out.reserve(connections.size());
        for (const auto& c : connections)
            out.emplace_back(c->clone());
    }

    connections_list connections;
};

// A connection that calls a member function of receiver type R (declared in R or
// in its base C) with the arguments A... (none or one).
template <class R, class C, class... A> class _connection : public _connection_base {
public:
    using method_type = void (C::*)(A...);

    _connection(const has_slots::slot_holder& r, method_type m)
        : _connection_base(r, reinterpret_cast<void*>(&call)), method(m) {}
    _connection_base* clone() const override { return new _connection(*this); }
    bool same_slot(const _connection_base& other) const override {
        const _connection* o = dynamic_cast<const _connection*>(&other);
        return o && o->receiver.operator->() == receiver.operator->() && o->method == method;
    }
    int arity() const override { return int(sizeof...(A)); }

private:
    // The emitter: calls the receiver while its cell still names it.
    static void call(_connection_base* c, A... args) {
        const _connection& self = *static_cast<_connection*>(c);
        const method_type m = self.method;
        if (has_slots* dest = self.getdest()) (static_cast<R*>(dest)->*m)(args...);
    }
    method_type method;
};

template <class mt_policy> class signal0 : public _signal_base<mt_policy> {
public:
    // False when receiver is null or has no cell.
    template <class R, class C> bool connect(R* receiver, void (C::*method)()) {
        if (!receiver) return false;
        return this->append(new _connection<R, C>(receiver->get_receiver(), method));
    }
    void emit() {
        typename _signal_base<mt_policy>::snapshot copy;
        this->take_snapshot(copy);
        for (auto& c : copy)
            reinterpret_cast<void (*)(_connection_base*)>(c->get_emitter())(c);
    }
    void operator()() { emit(); }
};

template <class A1, class mt_policy> class signal1 : public _signal_base<mt_policy> {
public:
    template <class R, class C> bool connect(R* receiver, void (C::*method)(A1)) {
        if (!receiver) return false;
        return this->append(new _connection<R, C, A1>(receiver->get_receiver(), method));
    }
    void emit(A1 a1) {
        typename _signal_base<mt_policy>::snapshot copy;
        this->take_snapshot(copy);
        for (auto& c : copy)
            reinterpret_cast<void (*)(_connection_base*, A1)>(c->get_emitter())(c, a1);
    }
    void operator()(A1 a1) { emit(a1); }
};

} // namespace sigslot

namespace xsignals {
namespace details {

template <class Sig> struct arity;
template <class... A> struct arity<void(A...)> { static constexpr int value = int(sizeof...(A)); };

template <class Sig, int N> class sigslot_signal;
template <>
class sigslot_signal<void(), 0> : public sigslot::signal0<sigslot::multi_threaded_local> {};
template <class A1>
class sigslot_signal<void(A1), 1> : public sigslot::signal1<A1, sigslot::multi_threaded_local> {};

} // namespace details

// The typed signal that senders expose: signal<void()> or signal<void(A1)>.
template <class Sig>
class signal : public details::sigslot_signal<Sig, details::arity<Sig>::value> {};

} // namespace xsignals
