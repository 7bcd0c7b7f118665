// The input path runs on the transport's reader thread and must not allocate: count every
// operator new made on this thread while reports are delivered.
#include "devlib_fixture.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool tCounting = false;
thread_local int tAllocations = 0;
} // namespace

void* operator new(std::size_t size) {
    if (tCounting) ++tAllocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    std::abort(); // out of memory in a test: nothing sensible left to do
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using devtest::DevlibTest;

bool QuietInput(tagQDDevHWType, uint16_t, const void*) {
    return false;
}

using InputPath = DevlibTest;

TEST_F(InputPath, DeliveringReportsDoesNotAllocate) {
    Start();
    QDDev_RegisterInputCallback(&QuietInput);
    const std::pair<tagQDDevHWType, fake::Bytes> units[] = {
        {QDHW_RSX, {0, 1, 2, 3}},
        {QDHW_APX, {0, 0x11, 0x22, 0x33, 1, 2, 3, 4}},
        {QDHW_ECP, {0, 0x44, 0, 0}},
        {QDHW_ANP, {0, 1}},
        {QDHW_THQ, {0, 1, 2, 3, 4, 5, 6, 7}},
        {QDHW_NDC, {0, 0, 0, 1, 1, 0x7f, 0x18, 0x3f}},
    };
    std::vector<std::shared_ptr<fake::Unit>> plugged;
    for (const auto& [type, report] : units) {
        plugged.push_back(NewUnit(type));
        fake::Plug(plugged.back());
    }
    for (size_t i = 0; i < plugged.size(); ++i) {
        tAllocations = 0;
        tCounting = true;
        for (int n = 0; n < 3; ++n)
            plugged[i]->Inject(units[i].second);
        tCounting = false;
        EXPECT_EQ(tAllocations, 0) << QDHWType2Text(units[i].first);
    }
}

} // namespace
