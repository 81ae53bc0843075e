#include "pulse_sources.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/timeval.h>

#include <chrono>
#include <memory>

namespace telvane {
namespace {

constexpr std::chrono::milliseconds kAnswerTime{1000};

struct Query {
    PulseSources found;
    int pending = 2;  // the server's info and its source list
    bool failed = false;
};

struct ContextDeleter {
    void operator()(pa_context* context) const {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};
struct MainloopDeleter {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* query = static_cast<Query*>(userdata);
    if (info != nullptr && info->default_source_name != nullptr) {
        query->found.defaultSource = info->default_source_name;
    }
    --query->pending;
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int last, void* userdata) {
    auto* query = static_cast<Query*>(userdata);
    if (last != 0) {
        query->failed = query->failed || last < 0;
        --query->pending;
        return;
    }
    query->found.sources.push_back({info->name, QString::fromUtf8(info->description),
                                    static_cast<int>(info->sample_spec.rate),
                                    info->monitor_of_sink != PA_INVALID_INDEX});
}

// Runs `loop` until `done` holds or the deadline passes; false on the deadline or an error.
template <typename Done>
bool RunUntil(pa_mainloop* loop, std::chrono::steady_clock::time_point deadline, Done done) {
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0 ||
            pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

PulseSources ListPulseSources() {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    Query query;  // outlives the context, whose teardown may still answer it
    const std::unique_ptr<pa_mainloop, MainloopDeleter> loop(pa_mainloop_new());
    const std::unique_ptr<pa_context, ContextDeleter> context(
        pa_context_new(pa_mainloop_get_api(loop.get()), "Telvane"));
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return {};
    }
    const auto settled = [&context] {
        const pa_context_state_t state = pa_context_get_state(context.get());
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    };
    if (!RunUntil(loop.get(), deadline, settled) ||
        pa_context_get_state(context.get()) != PA_CONTEXT_READY) {
        return {};
    }
    bool asked = true;
    for (pa_operation* operation :
         {pa_context_get_server_info(context.get(), OnServerInfo, &query),
          pa_context_get_source_info_list(context.get(), OnSourceInfo, &query)}) {
        asked = asked && operation != nullptr;
        if (operation != nullptr) {
            pa_operation_unref(operation);
        }
    }
    if (!asked || !RunUntil(loop.get(), deadline, [&query] { return query.pending == 0; }) ||
        query.failed) {
        return {};
    }
    return query.found;
}

}  // namespace telvane
