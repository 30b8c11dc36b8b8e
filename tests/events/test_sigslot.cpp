// Signals and slots: receivers' lifetimes, call order, re-entry, and emission from
// many threads while others connect and disconnect.
#include <pubfunc/sigslot.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Signal = xsignals::signal<void()>;

// Two signals and two receivers that write their names into one log.
struct World {
    struct Named : sigslot::has_slots {
        Named(World* w, char name) : w(w), name(name) {}
        void on() { w->log += name; }
        void again() { // emits s once more from inside its own call
            w->log += name;
            if (w->log.size() == 1) w->s.emit();
        }
        World* w;
        char name;
    };
    std::string log;
    Signal s, t;
    Named a{this, 'a'}, b{this, 'b'};
    void link(Signal& sig, std::initializer_list<Named*> rs) {
        for (Named* r : rs)
            sig.connect(r, &Named::on);
    }
};

struct Case {
    const char* want;
    const char* what;
    void (*run)(World&);
};

const Case kCases[] = {
    {"abb3", "in connection order, once a connection; a destroyed receiver is purged, not called",
     [](World& w) {
         auto gone = std::make_unique<World::Named>(&w, 'x');
         w.link(w.s, {gone.get(), &w.a, &w.b, &w.b});
         gone.reset();
         w.s.emit();
         w.log += std::to_string(w.s.connection_count());
     }},
    {"2babba", "disconnect ends a receiver's connections to one signal, disconnect_all to all",
     [](World& w) {
         w.link(w.s, {&w.a, &w.b, &w.a});
         w.link(w.t, {&w.a});
         w.log += std::to_string(w.s.disconnect(&w.a));
         w.s.emit();
         w.t.emit();
         w.a.disconnect_all(); // then the later connection stands
         w.t.emit();
         w.s.emit();
         w.link(w.s, {&w.a});
         w.s.emit();
     }},
    {"aabb", "a receiver that emits its own signal works on a snapshot of its own",
     [](World& w) {
         w.s.connect(&w.a, &World::Named::again);
         w.link(w.s, {&w.b});
         w.s.emit();
     }},
    {"yy0", "holders copied and assigned each own one connection",
     [](World& w) {
         using Holder = sigslot::_connection_base::connection_holder;
         using Conn = sigslot::_connection<World::Named, World::Named>;
         Holder h1(new Conn(w.a.get_receiver(), &World::Named::on)), h3(h1), h2;
         h2 = h1;
         h1 = std::move(h3);
         Holder& same = h1;
         h1 = same;
         for (Holder* h : {&h1, &h2})
             w.log += (*h)->getdest() == &w.a ? "y" : "n";
         w.log += h3 == nullptr ? "0" : "?";
     }},
};

TEST(Sigslot, ReceiversOrderAndLifetime) {
    for (const Case& c : kCases) {
        World w;
        c.run(w);
        EXPECT_EQ(w.log, c.want) << c.what;
    }
}

// Four threads emit while two others connect their receivers and end their
// connections. Each emitting thread also makes receivers of its own, which only it
// emits to and destroys: once their disconnect_all has returned they must not be
// called again. A receiver connected before the threads counts every emission.
TEST(Sigslot, EmitWhileConnectingRace) {
    constexpr int kEmitters = 4, kEmissions = 100000, kReceivers = 8;
    struct Counter : sigslot::has_slots {
        std::atomic<int> calls{0}, callsAfterCut{0};
        std::atomic<bool> cut{false};
        void on() { callsAfterCut += cut, ++calls; }
    };
    Signal shared, own[kEmitters];
    Counter sentinel, connectors[2][kReceivers];
    shared.connect(&sentinel, &Counter::on);
    std::atomic<int> emitting{kEmitters}, lateCalls{0};
    std::vector<std::thread> threads;
    for (int e = 0; e < kEmitters; ++e)
        threads.emplace_back([&, e] {
            for (int i = 0; i < kEmissions; ++i) {
                shared.emit();
                own[e].emit();
                if (i % 512 != 0) continue;
                auto mine = std::make_unique<Counter>();
                own[e].connect(mine.get(), &Counter::on);
                own[e].emit();
                if (i % 1024 == 0) continue; // destroyed while still connected
                mine->disconnect_all();
                mine->cut = true;
                own[e].emit();
                lateCalls += mine->callsAfterCut;
            }
            --emitting;
        });
    for (Counter* set : connectors)
        threads.emplace_back([&, set] {
            for (int round = 0; emitting > 0; ++round) {
                for (int r = 0; r < kReceivers; ++r) {
                    shared.connect(&set[r], &Counter::on);
                    own[(round + r) % kEmitters].connect(&set[r], &Counter::on);
                }
                std::this_thread::yield();
                for (int r = 0; r < kReceivers; ++r)
                    if (r % 2 == 0)
                        set[r].disconnect_all();
                    else
                        for (Signal* sig : {&shared, &own[(round + r) % kEmitters]})
                            sig->disconnect(&set[r]);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(sentinel.calls, kEmitters * kEmissions);
    EXPECT_EQ(lateCalls, 0);
}

} // namespace
