// Signals and slots: receivers' lifetimes, call order, re-entry, and emission from
// many threads while others connect and disconnect.
#include <pubfunc/sigslot.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Signal = xsignals::signal<void()>;

struct Named : sigslot::has_slots {
    Named(std::string* log, const char* name) : log(log), name(name) {}
    void on() { *log += name; }
    void onArg(int v) { *log += name + std::to_string(v); }
    // Emits the signal once more from inside its own call.
    void again() {
        *log += name;
        if (depth++ == 0) inner->emit();
    }
    std::string* log;
    std::string name;
    Signal* inner = nullptr;
    int depth = 0;
};

struct Case {
    const char* what;
    std::function<void(std::string&)> run;
    const char* want;
};

const Case kCases[] = {
    {"calls follow connection order, twice connected is called twice",
     [](std::string& log) {
         Signal s;
         Named a(&log, "a"), b(&log, "b");
         s.connect(&a, &Named::on);
         s.connect(&b, &Named::on);
         s.connect(&b, &Named::on);
         s.emit();
     },
     "abb"},
    {"a destroyed receiver is not called and its connection is purged",
     [](std::string& log) {
         Signal s;
         Named a(&log, "a");
         auto gone = std::make_unique<Named>(&log, "x");
         s.connect(gone.get(), &Named::on);
         s.connect(&a, &Named::on);
         gone.reset();
         s.emit();
         log += std::to_string(s.connection_count());
     },
     "a1"},
    {"disconnect_all ends earlier connections, not later ones",
     [](std::string& log) {
         Signal s, t;
         Named a(&log, "a"), b(&log, "b");
         s.connect(&a, &Named::on);
         t.connect(&a, &Named::on);
         s.connect(&b, &Named::on);
         a.disconnect_all();
         s.emit();
         t.emit();
         s.connect(&a, &Named::on);
         s.emit();
     },
     "bba"},
    {"disconnect ends a receiver's connections to one signal only",
     [](std::string& log) {
         Signal s, t;
         Named a(&log, "a"), b(&log, "b");
         s.connect(&a, &Named::on);
         s.connect(&b, &Named::on);
         s.connect(&a, &Named::on);
         t.connect(&a, &Named::on);
         log += std::to_string(s.disconnect(&a));
         s.emit();
         t.emit();
     },
     "2ba"},
    {"a receiver that emits its own signal works on a snapshot of its own",
     [](std::string& log) {
         Signal s;
         Named a(&log, "a"), b(&log, "b");
         a.inner = &s;
         s.connect(&a, &Named::again);
         s.connect(&b, &Named::on);
         s.emit();
     },
     "aabb"},
    {"one-argument signals pass the argument",
     [](std::string& log) {
         xsignals::signal<void(int)> s;
         Named a(&log, "a");
         s.connect(&a, &Named::onArg);
         s.emit(7);
     },
     "a7"},
    {"holders copied and assigned each own one connection",
     [](std::string& log) {
         using Holder = sigslot::_connection_base::connection_holder;
         Named a(&log, "a");
         using Conn = sigslot::_connection<Named, Named>;
         Holder h1(new Conn(a.get_receiver(), &Named::on)),
             h2(new Conn(a.get_receiver(), &Named::on));
         Holder h3(h1);
         h2 = h1;
         h1 = std::move(h3);
         Holder& same = h1;
         h1 = same;
         for (Holder* h : {&h1, &h2})
             log += (*h)->getdest() == &a ? "y" : "n";
         log += h3 == nullptr ? "0" : "?";
     },
     "yy0"},
};

TEST(Sigslot, ReceiversOrderAndLifetime) {
    for (const Case& c : kCases) {
        std::string log;
        c.run(log);
        EXPECT_EQ(log, c.want) << c.what;
    }
}

// Four threads emit while two others connect their receivers and end their
// connections. Each emitting thread also makes receivers of its own, which only it
// emits to and destroys: once their disconnect_all has returned they must not be
// called again. A receiver connected before the threads counts every emission.
TEST(Sigslot, EmitWhileConnectingRace) {
    constexpr int kEmitters = 4, kEmissions = 100000, kReceivers = 8;
    struct Counter : sigslot::has_slots {
        std::atomic<int> calls{0};
        std::atomic<bool> cut{false};
        std::atomic<int> callsAfterCut{0};
        void on() {
            ++calls;
            if (cut) ++callsAfterCut;
        }
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
                for (int r = 0; r < kReceivers; ++r) {
                    if (r % 2 == 0) {
                        set[r].disconnect_all();
                        continue;
                    }
                    shared.disconnect(&set[r]);
                    own[(round + r) % kEmitters].disconnect(&set[r]);
                }
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(sentinel.calls, kEmitters * kEmissions);
    EXPECT_EQ(lateCalls, 0);
}

} // namespace
