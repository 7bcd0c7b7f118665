// The input hand-over ring and the change-only text helper.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "modules/module_base.h"

namespace {

void Collect(const QD_Last_Input::Entry& e, void* context) {
    static_cast<std::vector<QD_Last_Input::Entry>*>(context)->push_back(e);
}

TEST(InputRing, DeliversInOrderAndDropsNewInputWhileFull) {
    auto ring = std::make_unique<QD_Last_Input>();
    std::vector<QD_Last_Input::Entry> got;
    EXPECT_FALSE(ring->Process(Collect, &got)) << "an empty ring handles nothing";

    for (int i = 0; i < QD_Last_Input::kCapacity; ++i)
        EXPECT_TRUE(ring->SetQueue(2, 0, i, -i));
    // Full: further input is refused rather than overwriting pending events.
    EXPECT_FALSE(ring->SetQueue(2, 0, 999, 0));
    EXPECT_FALSE(ring->SetQueue(2, 0, 1000, 0));
    EXPECT_EQ(ring->Pending(), QD_Last_Input::kCapacity);
    EXPECT_EQ(ring->Dropped(), 2u);

    EXPECT_TRUE(ring->Process(Collect, &got));
    ASSERT_EQ(got.size(), static_cast<size_t>(QD_Last_Input::kCapacity));
    for (int i = 0; i < QD_Last_Input::kCapacity; ++i) {
        EXPECT_EQ(got[static_cast<size_t>(i)].button, i);
        EXPECT_EQ(got[static_cast<size_t>(i)].extra, -i);
    }
    EXPECT_EQ(ring->Pending(), 0);

    // Room again after draining, and the indices wrap correctly.
    got.clear();
    EXPECT_TRUE(ring->SetQueue(19, 3, 55, 1));
    EXPECT_TRUE(ring->Process(Collect, &got));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 19);
    EXPECT_EQ(got[0].unit, 3);
    EXPECT_EQ(got[0].button, 55);
}

TEST(InputRing, ProducerAndConsumerOnTwoThreadsLoseAndReorderNothing) {
    auto ring = std::make_unique<QD_Last_Input>();
    constexpr int kEvents = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kEvents;) {
            if (ring->SetQueue(1, 0, i, i ^ 0x5a5a))
                ++i;
            else
                std::this_thread::yield();
        }
    });
    std::vector<QD_Last_Input::Entry> got;
    got.reserve(kEvents);
    while (got.size() < static_cast<size_t>(kEvents))
        ring->Process(Collect, &got);
    producer.join();
    for (int i = 0; i < kEvents; ++i) {
        ASSERT_EQ(got[static_cast<size_t>(i)].button, i);
        ASSERT_EQ(got[static_cast<size_t>(i)].extra, i ^ 0x5a5a) << "entry torn at " << i;
    }
}

TEST(ChangeOnlyText, SendsOnlyDifferencesAndKeepsLongTextsStable) {
    char kept[6] = {};
    EXPECT_TRUE(DRAV_TextChanged(kept, "12"));
    EXPECT_FALSE(DRAV_TextChanged(kept, "12"));
    EXPECT_TRUE(DRAV_TextChanged(kept, "13"));
    EXPECT_TRUE(DRAV_TextChanged(kept, "")); // blank after text
    EXPECT_FALSE(DRAV_TextChanged(kept, nullptr));
    EXPECT_TRUE(DRAV_TextChanged(kept, "123"));
    EXPECT_TRUE(DRAV_TextChanged(kept, "12")); // a shorter text that the kept one starts with
    EXPECT_STREQ(kept, "12");
    EXPECT_TRUE(DRAV_TextChanged(kept, "123"));
    EXPECT_STREQ(kept, "123");
    // A text longer than the kept copy is compared as it would be kept: no endless resending.
    EXPECT_TRUE(DRAV_TextChanged(kept, "123456789"));
    EXPECT_STREQ(kept, "12345");
    EXPECT_FALSE(DRAV_TextChanged(kept, "123456789"));

    char blank[8];
    DRAV_BlankText(blank, sizeof blank, 5);
    EXPECT_STREQ(blank, "     ");
    DRAV_BlankText(blank, sizeof blank, 20);
    EXPECT_STREQ(blank, "       ");
}

} // namespace
