#include "nmloop.h"

#include "hangupsignals.h"

#include <algorithm>
#include <glib-unix.h>
#include <optional>

namespace rasdial::nm {

namespace {

int outstandingCallbacks = 0;

} // namespace

struct Request::State {
    GCancellable* cancellable = g_cancellable_new();
    GAsyncResult* result = nullptr;
    ~State() {
        g_object_unref(cancellable);
        if (result) g_object_unref(result);
    }
};

Request::Request() : state_(std::make_shared<State>()) {}

Request::~Request() {
    cancel();
}

GCancellable* Request::cancellable() const {
    return state_->cancellable;
}

gpointer Request::data() {
    ++outstandingCallbacks;
    return new std::shared_ptr<State>(state_);
}

void Request::finished(GObject*, GAsyncResult* result, gpointer data) {
    auto* state = static_cast<std::shared_ptr<State>*>(data);
    if (!(*state)->result) (*state)->result = G_ASYNC_RESULT(g_object_ref(result));
    delete state;
    --outstandingCallbacks;
}

GAsyncResult* Request::result() const {
    return state_->result;
}

void Request::cancel() {
    if (!state_->result) g_cancellable_cancel(state_->cancellable);
}

int Request::outstanding() {
    return outstandingCallbacks;
}

Loop::Loop() : context_(g_main_context_new()) {
    g_main_context_push_thread_default(context_);
}

bool Loop::quiet() const {
    return Request::outstanding() == 0 &&
           std::all_of(watchers_.begin(), watchers_.end(), [](const auto& w) { return !*w; });
}

Loop::~Loop() {
    waitUntil([&] { return quiet(); }, 2000, Ends::NotOnHangUp);
    for (const auto& watcher : watchers_)
        if (*watcher)
            g_object_remove_weak_pointer(*watcher, reinterpret_cast<gpointer*>(watcher.get()));
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
}

void Loop::keepWatching(GObject* watcher) {
    if (!watcher) return;
    for (const auto& known : watchers_)
        if (*known == watcher) return;
    watchers_.push_back(std::make_unique<GObject*>(watcher));
    g_object_add_weak_pointer(watcher, reinterpret_cast<gpointer*>(watchers_.back().get()));
}

Waited Loop::waitUntil(const std::function<bool()>& done, int ms, Ends ends) {
    const bool onHangUp = ends == Ends::OnHangUp && HangUpSignals::fd() >= 0;
    const auto ended = [&]() -> std::optional<Waited> {
        if (done()) return Waited::Done;
        if (onHangUp && HangUpSignals::asked()) return Waited::HungUp;
        if (gone_ && gone_()) return Waited::Gone;
        return std::nullopt;
    };
    if (const auto early = ended()) return *early;
    bool expired = false;
    GSource* timer = g_timeout_source_new(guint(ms));
    g_source_set_callback(
        timer,
        [](gpointer flag) -> gboolean { return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE; },
        &expired, nullptr);
    g_source_attach(timer, context_);
    // The signal's pipe wakes the loop up; once is enough (the flag says the rest).
    GSource* signal = nullptr;
    if (onHangUp) {
        signal = g_unix_fd_source_new(HangUpSignals::fd(), G_IO_IN);
        g_source_set_callback(signal, G_SOURCE_FUNC(+[](int, GIOCondition, gpointer) -> gboolean {
                                  return G_SOURCE_REMOVE;
                              }),
                              nullptr, nullptr);
        g_source_attach(signal, context_);
    }
    std::optional<Waited> outcome;
    while (!(outcome = ended()) && !expired)
        g_main_context_iteration(context_, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
    if (signal) {
        g_source_destroy(signal);
        g_source_unref(signal);
    }
    return outcome ? *outcome : Waited::Expired;
}

Waited Loop::await(Request& request, int ms, Ends ends) {
    const Waited waited = waitUntil([&] { return request.result() != nullptr; }, ms, ends);
    // Given up: the callback still comes, cancelled, and finds the request's state alive.
    if (waited != Waited::Done) request.cancel();
    return waited;
}

} // namespace rasdial::nm
