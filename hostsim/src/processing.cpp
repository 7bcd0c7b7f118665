// Flight loops on the simulated clock, and the frame loop.
#include "host.h"
#include "platform.h"

#include <algorithm>
#include <cmath>

namespace hostsim {

namespace {

// Interval encoding shared by registration, rescheduling and callback returns:
// > 0 seconds, < 0 frames, 0 = not scheduled.
void Schedule(FlightLoop* loop, float interval, double base) {
    loop->next_call = -1;
    loop->frames_left = 0;
    if (interval > 0.0f) {
        loop->scheduled = true;
        loop->next_call = base + static_cast<double>(interval);
    } else if (interval < 0.0f) {
        loop->scheduled = true;
        loop->frames_left = std::max(1, static_cast<int>(std::lround(-static_cast<double>(interval))));
    } else {
        loop->scheduled = false;
    }
}

FlightLoop* FindLegacy(XPLMFlightLoop_f cb, void* refcon) {
    for (auto& l : H().loops) {
        if (l->registered && !l->created && l->cb == cb && l->refcon == refcon) return l.get();
    }
    return nullptr;
}

FlightLoop* LiveCreated(XPLMFlightLoopID id) {
    for (auto& l : H().loops) {
        if (l.get() == id && l->registered && l->created) return l.get();
    }
    return nullptr;
}

} // namespace

void RunFlightLoops() {
    Host& h = H();
    h.in_flight_loop_pass = true;
    // Loops registered during this pass wait for the next frame; entries are never removed during
    // the pass, so one callback may unregister another (or itself) safely.
    const size_t count = h.loops.size();
    for (size_t k = 0; k < count; ++k) {
        FlightLoop* loop = h.loops[k].get();
        if (!loop->registered || !loop->scheduled || loop->cb == nullptr) continue;
        bool due = false;
        if (loop->frames_left > 0) {
            due = --loop->frames_left == 0;
        } else {
            due = loop->next_call >= 0 && h.now + 1e-9 >= loop->next_call;
        }
        if (!due) continue;
        const float since_last = static_cast<float>(h.now - loop->last_call);
        loop->last_call = h.now;
        loop->calls++;
        loop->last_frame = h.frame;
        const int64_t started = platform::ThreadCpuNs();
        const float ret = loop->cb(since_last, static_cast<float>(h.frame_time), h.frame, loop->refcon);
        loop->last_cpu_ns = platform::ThreadCpuNs() - started;
        loop->cpu_ns += loop->last_cpu_ns;
        if (!loop->registered) continue;
        loop->last_return = ret;
        Schedule(loop, ret, h.now);
    }
    h.in_flight_loop_pass = false;
}

void SetFrameTime(double seconds) {
    if (seconds > 0) H().frame_time = seconds;
}
double FrameTime() {
    return H().frame_time;
}
double Now() {
    return H().now;
}
int FrameCount() {
    return H().frame;
}

void RunFrames(int frames) {
    Host& h = H();
    for (int k = 0; k < frames; ++k) {
        h.frame++;
        h.now += h.frame_time; // accumulated, so a changed frame time never moves the clock back
        RunFlightLoops();
        DrawWindows();
    }
}

void RunSeconds(double seconds) {
    Host& h = H();
    const double end = h.now + seconds - 1e-9;
    while (h.now < end)
        RunFrames(1);
}

std::vector<FlightLoopInfo> FlightLoops() {
    std::vector<FlightLoopInfo> out;
    for (const auto& l : H().loops) {
        FlightLoopInfo info;
        info.callback = reinterpret_cast<void*>(l->cb);
        info.refcon = l->refcon;
        if (l->cb != nullptr)
            platform::DescribeAddress(reinterpret_cast<void*>(l->cb), &info.symbol, &info.where);
        info.registered_interval = l->registered_interval;
        info.registered = l->registered;
        info.scheduled = l->scheduled;
        info.next_call = l->next_call;
        info.frames_left = l->frames_left;
        info.calls = l->calls;
        info.last_return = l->last_return;
        info.registered_at = l->registered_at;
        info.unregistered_at = l->unregistered_at;
        info.cpu_seconds = static_cast<double>(l->cpu_ns) * 1e-9;
        info.last_cpu_seconds = static_cast<double>(l->last_cpu_ns) * 1e-9;
        info.last_frame = l->last_frame;
        out.push_back(info);
    }
    return out;
}

} // namespace hostsim

using hostsim::FlightLoop;
using hostsim::H;

float XPLMGetElapsedTime(void) {
    return static_cast<float>(H().now);
}
int XPLMGetCycleNumber(void) {
    return H().frame;
}

void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval, void* inRefcon) {
    if (inFlightLoop == nullptr) return;
    hostsim::Host& h = H();
    auto loop = std::make_unique<FlightLoop>();
    loop->cb = inFlightLoop;
    loop->refcon = inRefcon;
    loop->registered_at = h.now;
    loop->registered_interval = inInterval;
    loop->last_call = h.now;
    hostsim::Schedule(loop.get(), inInterval, h.now);
    h.loops.push_back(std::move(loop));
}

void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon) {
    FlightLoop* loop = hostsim::FindLegacy(inFlightLoop, inRefcon);
    if (loop == nullptr) return;
    loop->registered = false;
    loop->scheduled = false;
    loop->unregistered_at = H().now;
}

void XPLMSetFlightLoopCallbackInterval(XPLMFlightLoop_f inFlightLoop, float inInterval, int inRelativeToNow,
                                       void* inRefcon) {
    FlightLoop* loop = hostsim::FindLegacy(inFlightLoop, inRefcon);
    if (loop == nullptr) return;
    hostsim::Schedule(loop, inInterval, inRelativeToNow != 0 ? H().now : loop->last_call);
}

XPLMFlightLoopID XPLMCreateFlightLoop(XPLMCreateFlightLoop_t* inParams) {
    if (inParams == nullptr || inParams->callbackFunc == nullptr) return nullptr;
    hostsim::Host& h = H();
    auto loop = std::make_unique<FlightLoop>();
    loop->cb = inParams->callbackFunc;
    loop->refcon = inParams->refcon;
    loop->created = true;
    loop->scheduled = false; // created unscheduled
    loop->registered_at = h.now;
    loop->last_call = h.now;
    FlightLoop* raw = loop.get();
    h.loops.push_back(std::move(loop));
    return raw;
}

void XPLMDestroyFlightLoop(XPLMFlightLoopID inFlightLoopID) {
    FlightLoop* loop = hostsim::LiveCreated(inFlightLoopID);
    if (loop == nullptr) return;
    loop->registered = false;
    loop->scheduled = false;
    loop->unregistered_at = H().now;
}

void XPLMScheduleFlightLoop(XPLMFlightLoopID inFlightLoopID, float inInterval, int inRelativeToNow) {
    FlightLoop* loop = hostsim::LiveCreated(inFlightLoopID);
    if (loop == nullptr) return;
    hostsim::Schedule(loop, inInterval, inRelativeToNow != 0 ? H().now : loop->last_call);
}
