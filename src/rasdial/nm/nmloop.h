#pragma once

#include "libnm.h"

#include <functional>
#include <memory>
#include <vector>

// Waiting on NetworkManager: the dial's own main context, the requests made in it and the
// waits for their answers. Every wait of a dial ends early when a hang-up is asked for (by a
// signal, see HangUpSignals) or NetworkManager leaves the bus, whichever step it is in.
namespace rasdial::nm {

// A reference of ours on a GObject, given up with the holder.
template <typename T> class Ref {
public:
    Ref() = default;
    // Takes a new reference on `object` (none for null).
    explicit Ref(T* object) : object_(object) {
        if (object_) g_object_ref(object_);
    }
    // Adopts a reference the caller already owns.
    static Ref adopt(T* object) {
        Ref ref;
        ref.object_ = object;
        return ref;
    }
    Ref(const Ref& other) : Ref(other.object_) {}
    Ref(Ref&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() {
        if (object_) g_object_unref(object_);
    }
    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// One asynchronous request (a libnm call that takes a cancellable, a callback and its data).
// Its state belongs to the request and to the callback alike: a request given up (cancelled,
// or the Request object gone) leaves the callback, which always comes, a state of its own to
// write into, freed only once both are done with it.
class Request {
public:
    Request();
    ~Request(); // cancels the call if its answer has not come yet
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    GCancellable* cancellable() const;
    // The callback and its data for the call: once per call.
    static void finished(GObject* source, GAsyncResult* result, gpointer data);
    gpointer data();
    // The answer once it came; null until then.
    GAsyncResult* result() const;
    void cancel();

    // Callbacks still to come, of every Request: a main context must be iterated until none is
    // left before it goes.
    static int outstanding();

private:
    struct State;
    std::shared_ptr<State> state_;
};

// How a wait ended.
enum class Waited {
    Done,
    Expired,
    HungUp, // a hang-up was asked for (only where the wait lets it end)
    Gone,   // NetworkManager left the bus (only where the wait is told how to tell)
};

class Loop {
public:
    // A new main context, the thread's default from now on: libnm's objects made meanwhile
    // call back in it, and only while we wait.
    Loop();
    // Iterates, at most 2 s, until every request's callback has come and every watched object
    // has gone, then gives the context up.
    ~Loop();
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    GMainContext* context() const { return context_; }
    // How to tell that NetworkManager has gone (the client's view); none: never.
    void setGone(std::function<bool()> gone) { gone_ = std::move(gone); }

    enum class Ends { OnHangUp, NotOnHangUp };
    // Iterates until `done`, `ms` pass, NetworkManager goes or (OnHangUp) a hang-up is asked
    // for; a hang-up is seen at once, however long the wait.
    Waited waitUntil(const std::function<bool()>& done, int ms, Ends ends = Ends::OnHangUp);
    // Waits for the request's answer; gives the request up (cancels it) unless it came.
    Waited await(Request& request, int ms, Ends ends = Ends::OnHangUp);

    // An object whose finalisation says that an object of libnm's is done with our context (a
    // busy watcher): the loop lives until it has gone.
    void keepWatching(GObject* watcher);

private:
    bool quiet() const;
    GMainContext* context_ = nullptr;
    std::function<bool()> gone_;
    // The busy watchers, nulled as each is finalised.
    std::vector<std::unique_ptr<GObject*>> watchers_;
};

} // namespace rasdial::nm
